// The artwork generator refuses to draw with a font that is not installed:
// the font library would otherwise substitute another and the build would
// embed different artwork without a word.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct GeneratorRun {
    int exitCode = -1;
    std::string err;
};

// Runs the generator with a font configuration that holds only `fontDir`.
GeneratorRun drawWithFontsFrom(const fs::path& folder, const std::string& fontDir) {
    const fs::path config = folder / "fonts.conf";
    std::ofstream(config) << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                          << "<fontconfig><dir>" << fontDir << "</dir><cachedir>"
                          << (folder / "cache").string() << "</cachedir></fontconfig>\n";
    const std::string generator =
        (fs::path(ZELTO_PLUGIN_PATH).parent_path() / "resources" / "zelto_artwork").string();
    std::vector<std::string> args{generator, "--blob", (folder / "art.bin").string(), "--source",
                                  (folder / "art.cpp").string()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env{"FONTCONFIG_FILE=" + config.string(),
                                 "ASAN_OPTIONS=detect_leaks=0"};
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        if (entry.rfind("FONTCONFIG_FILE=", 0) != 0 && entry.rfind("ASAN_OPTIONS=", 0) != 0) {
            env.push_back(entry);
        }
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string errPath = (folder / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    GeneratorRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, generator.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    std::stringstream ss;
    ss << std::ifstream(errPath).rdbuf();
    run.err = ss.str();
    return run;
}

}  // namespace

TEST(ArtworkFonts, AMissingFontStopsTheGeneratorInsteadOfBeingSubstituted) {
    const std::string dejavu = "/usr/share/fonts/truetype/dejavu";
    const std::string liberation = "/usr/share/fonts/truetype/liberation";
    if (!fs::exists(dejavu + "/DejaVuSansCondensed-Bold.ttf") || !fs::exists(liberation)) {
        GTEST_SKIP() << "the fonts of scripts/setup.sh are not installed";
    }
    char templ[] = "/tmp/zelto-fonts-XXXXXX";
    const fs::path folder = mkdtemp(templ);

    const GeneratorRun without = drawWithFontsFrom(folder, liberation);
    EXPECT_EQ(without.exitCode, 1) << without.err;
    EXPECT_NE(without.err.find("is not installed"), std::string::npos) << without.err;
    EXPECT_NE(without.err.find("DejaVu Sans"), std::string::npos) << without.err;
    EXPECT_FALSE(fs::exists(folder / "art.bin"));

    const GeneratorRun with = drawWithFontsFrom(folder, dejavu);
    EXPECT_EQ(with.exitCode, 0) << with.err;
    EXPECT_TRUE(fs::exists(folder / "art.bin"));
    fs::remove_all(folder);
}
