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

namespace {

// The plug-in's folders: a folder may include its own and those of a lower
// rank. Folders of one rank know nothing of each other, and each plug-in
// format under formats/ knows no other format.
const std::map<std::string, int>& folderRanks() {
    static const std::map<std::string, int> ranks = {
        {"engine", 0},  {"platform", 0}, {"vst", 0},    {"resources", 0}, {"presets", 1},
        {"toolkit", 1}, {"core", 2},     {"editor", 3}, {"formats", 4},   {"tools", 5},
    };
    return ranks;
}

TEST(FolderLayers, EveryFolderIncludesOnlyItselfAndLowerOnes) {
    const auto& ranks = folderRanks();
    const fs::path root = fs::path(ZELTO_SOURCE_DIR);
    const std::regex include(R"re(^\s*#\s*include\s*"([a-z0-9_]+)/([a-z0-9_]+/)?)re");
    size_t scanned = 0;
    for (const auto& [folder, rank] : ranks) {
        if (!fs::exists(root / folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            if (!entry.is_regular_file()) continue;
            const std::string ext = entry.path().extension().string();
            if (ext != ".h" && ext != ".cpp") continue;
            const std::string file = fs::relative(entry.path(), root).generic_string();
            std::ifstream in(entry.path());
            std::string text;
            for (int line = 1; std::getline(in, text); ++line) {
                std::smatch m;
                if (!std::regex_search(text, m, include)) continue;
                const std::string target = m[1].str();
                if (!ranks.count(target)) continue;  // system or generated headers
                ++scanned;
                if (target == folder) {
                    // formats/lv2 may not reach into formats/vst2, nor the reverse.
                    if (folder == "formats") {
                        const std::string own = file.substr(8, file.find('/', 8) - 8);
                        EXPECT_EQ(m[2].str(), own + "/")
                            << file << ":" << line << " includes another format's folder";
                    }
                    continue;
                }
                EXPECT_LT(ranks.at(target), rank)
                    << file << ":" << line << " includes from " << target
                    << "/, which is not below " << folder << "/";
            }
        }
    }
    EXPECT_GT(scanned, 200u) << "the scan found too few includes to be looking right";
}

TEST(FolderLayers, TheCoreAndPresetsNameNoPluginFormatOrDrawingType) {
    const fs::path root = fs::path(ZELTO_SOURCE_DIR);
    const std::regex foreign(
        R"re(\b(AEffect|AudioEffect|VstInt32|VstIntPtr|audioMaster|CFrame|CControl|cairo_)\w*)re");
    for (const char* folder : {"core", "presets"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path());
            std::string text;
            for (int line = 1; std::getline(in, text); ++line) {
                const std::string code = text.substr(0, text.find("//"));
                std::smatch m;
                EXPECT_FALSE(std::regex_search(code, m, foreign))
                    << fs::relative(entry.path(), root).generic_string() << ":" << line << " names "
                    << m.str();
            }
        }
    }
}

}  // namespace
