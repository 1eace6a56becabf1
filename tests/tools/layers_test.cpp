// zelto's folders are layers: cli -> analysis -> hosting -> audio -> common.
// A file may include its own folder and the folders below it, never one
// above; otherwise the layers stop meaning anything and cycles creep in.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::map<std::string, int>& layerRanks() {
    static const std::map<std::string, int> ranks = {
        {"common", 0}, {"audio", 1}, {"hosting", 2}, {"analysis", 3}, {"cli", 4}};
    return ranks;
}

struct Include {
    std::string file, target;
    int line;
};

std::vector<Include> toolIncludes() {
    std::vector<Include> found;
    const fs::path root = fs::path(ZELTO_SOURCE_DIR) / "tools";
    const std::regex include(R"re(^\s*#\s*include\s*"tools/([a-z]+)/)re");
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        const std::string ext = entry.path().extension().string();
        if (ext != ".h" && ext != ".cpp") continue;
        std::ifstream in(entry.path());
        std::string text;
        for (int line = 1; std::getline(in, text); ++line) {
            std::smatch m;
            if (std::regex_search(text, m, include)) {
                found.push_back({fs::relative(entry.path(), root).string(), m[1].str(), line});
            }
        }
    }
    return found;
}

TEST(ToolLayers, EveryFileLivesInALayerAndIncludesOnlyItsOwnOrLower) {
    const auto& ranks = layerRanks();
    const fs::path root = fs::path(ZELTO_SOURCE_DIR) / "tools";
    for (const auto& entry : fs::directory_iterator(root)) {
        if (entry.is_regular_file()) {
            ADD_FAILURE() << entry.path().filename() << " lies outside the layer folders";
        } else {
            EXPECT_TRUE(ranks.count(entry.path().filename().string()))
                << "unknown tools folder " << entry.path().filename();
        }
    }
    const std::vector<Include> includes = toolIncludes();
    ASSERT_GT(includes.size(), 50u) << "the scan found too few includes to be looking right";
    for (const Include& inc : includes) {
        const std::string folder = inc.file.substr(0, inc.file.find('/'));
        ASSERT_TRUE(ranks.count(folder)) << inc.file;
        ASSERT_TRUE(ranks.count(inc.target))
            << inc.file << ":" << inc.line << " includes tools/" << inc.target;
        EXPECT_LE(ranks.at(inc.target), ranks.at(folder))
            << inc.file << ":" << inc.line << " includes from tools/" << inc.target
            << ", a layer above its own";
    }
}

}  // namespace
