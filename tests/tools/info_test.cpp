// zelto info: the record, texts, parameters and latencies a plug-in declares,
// as a DAW loading it through dlopen sees them, and a distinct failure for
// every way loading can go wrong.
#include <gtest/gtest.h>

#include "ToolTestSupport.h"

using namespace zelto_test;

namespace {

Json infoJson(const std::string& plugin) {
    const std::vector<std::string> args{"info", plugin, "--json"};
    const RunResult r = plugin == kLspLimiter ? runZeltoThirdParty(args) : runZelto(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return parseJson(r.out);
}

TEST(ZeltoInfo, OurPluginDeclaresTheRecordAHostExpects) {
    ASSERT_TRUE(fileExists(ZELTO_PLUGIN_PATH)) << "plug-in not built: " << ZELTO_PLUGIN_PATH;
    const Json j = infoJson(ZELTO_PLUGIN_PATH);
    const Json& rec = j["record"];
    EXPECT_EQ(rec["magic"].str(), "0x56737450");
    EXPECT_EQ(rec["uniqueId"].str(), "KRzt");
    EXPECT_EQ(rec["uniqueIdHex"].str(), "0x4B527A74");
    EXPECT_EQ(rec["flags"].str(), "0x00001031");
    EXPECT_EQ(rec["numInputs"].num(), 2);
    EXPECT_EQ(rec["numOutputs"].num(), 2);
    EXPECT_EQ(rec["numParams"].num(), 26);
    EXPECT_EQ(rec["numPrograms"].num(), 1);
    EXPECT_EQ(rec["initialDelay"].num(), 159);
    EXPECT_EQ(rec["version"].num(), 1);
    EXPECT_EQ(j["effectName"].str(), "KRW Zelto");
    EXPECT_EQ(j["product"].str(), "Full band precision limiter");
    EXPECT_EQ(j["vendor"].str().size(), 16u);
    EXPECT_EQ(j["vendorVersion"].num(), 0);
    EXPECT_EQ(j["vstVersion"].num(), 2400);
    EXPECT_EQ(j["category"].num(), 4);
    EXPECT_EQ(j["categoryName"].str(), "Mastering");

    ASSERT_EQ(j["latency"].arr().size(), 3u);
    EXPECT_EQ(j["latency"][0]["sampleRate"].num(), 44100);
    EXPECT_EQ(j["latency"][0]["samples"].num(), 159);
    EXPECT_EQ(j["latency"][1]["samples"].num(), 287);
    EXPECT_EQ(j["latency"][2]["samples"].num(), 543);
    // Ours stores the delay when the rate is set, before any block runs.
    EXPECT_EQ(j["latency"][2]["samplesAtResume"].num(), 543);

    ASSERT_EQ(j["parameters"].arr().size(), 26u);
    EXPECT_EQ(j["parameters"][6]["name"].str(), "Oversample");
    for (const Json& p : j["parameters"].arr()) {
        EXPECT_FALSE(p["name"].str().empty());
        EXPECT_GE(p["value"].num(), 0.0);
        EXPECT_LE(p["value"].num(), 1.0);
    }
    // Asked twice while the entry point creates the instance.
    EXPECT_EQ(j["hostCalls"]["audioMasterVersion"].num(), 2);
}

TEST(ZeltoInfo, TextFormShowsTheSameRecordAndDefaultsToOurPlugin) {
    ASSERT_TRUE(fileExists(ZELTO_PLUGIN_PATH)) << "plug-in not built: " << ZELTO_PLUGIN_PATH;
    const RunResult r = runZelto({"info"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("KRzt (0x4B527A74)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("0x00001031 (HasEditor CanReplacing ProgramChunks CanDoubleReplacing)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Oversample"), std::string::npos);
    EXPECT_NE(r.out.find("192000 Hz     543 samples"), std::string::npos) << r.out;
}

TEST(ZeltoInfo, ThirdPartyLimiterGivesASensibleRecord) {
    if (!fileExists(kLspLimiter)) GTEST_SKIP() << kLspLimiter << " not installed";
    const Json j = infoJson(kLspLimiter);
    const Json& rec = j["record"];
    EXPECT_EQ(rec["magic"].str(), "0x56737450");
    EXPECT_EQ(rec["numInputs"].num(), 2);
    EXPECT_EQ(rec["numOutputs"].num(), 2);
    ASSERT_GT(rec["numParams"].num(), 0);
    EXPECT_EQ(j["parameters"].arr().size(), static_cast<size_t>(rec["numParams"].num()));
    EXPECT_FALSE(j["effectName"].str().empty());
    // Its look-ahead is published from inside the first process call and
    // scales with the rate; a host that never processes would see none.
    const double at44 = j["latency"][0]["samples"].num();
    EXPECT_GT(at44, 0);
    EXPECT_GT(j["latency"][1]["samples"].num(), at44);
}

TEST(ZeltoInfo, OverlongAndNonUtf8TextsAreCutCleanedAndEscaped) {
    const std::string probe = fixturePlugin("plain", "");
    if (probe.empty()) GTEST_SKIP() << "no C++ compiler for the fixture plug-in";
    const Json j = infoJson(probe);
    const std::string& name = j["effectName"].str();
    // Quote and backslash survive the JSON round trip, the tab becomes a
    // blank and the Latin-1 degree sign arrives as UTF-8.
    EXPECT_EQ(name.rfind("Probe \"q\" \\  30\xC2\xB0 xxx", 0), 0u) << name;
    EXPECT_EQ(name.size(), 300u);
    EXPECT_EQ(j["record"]["uniqueId"].str(), "Prb1");
    EXPECT_EQ(j["entry"].str(), "VSTPluginMain");
    EXPECT_EQ(j["parameters"][0]["display"].str(), "0.50");
    EXPECT_EQ(j["parameters"][0]["label"].str(), "x");
}

TEST(ZeltoInfo, FindsTheLegacyMainEntryAndALatePublishedDelay) {
    const std::string legacy = fixturePlugin("main-only", "-DPROBE_MAIN_ONLY");
    if (legacy.empty()) GTEST_SKIP() << "no C++ compiler for the fixture plug-in";
    EXPECT_EQ(infoJson(legacy)["entry"].str(), "main");

    const Json late = infoJson(fixturePlugin("late", "-DPROBE_LATE_LATENCY -DLATENCY=13"));
    EXPECT_EQ(late["latency"][0]["samplesAtResume"].num(), 0);
    EXPECT_EQ(late["latency"][0]["samples"].num(), 13);
}

struct LoadFailureCase {
    const char* what;
    std::string plugin;
    int exitCode;
    const char* message;
};

TEST(ZeltoInfo, EveryLoadFailureHasItsOwnExitCodeAndMessage) {
    TempDir dir;
    { std::ofstream(dir / "notes.so") << "not a shared object\n"; }
    std::vector<LoadFailureCase> cases = {
        {"missing file", dir / "absent.so", 3, "No such file or directory"},
        {"not an ELF file", dir / "notes.so", 3, "cannot load plug-in"},
        {"a directory", dir.path().string(), 3, "is a directory"},
        {"library without entry", "/lib/x86_64-linux-gnu/libm.so.6", 4,
         "exports neither VSTPluginMain nor main"},
    };
    const std::string nullEntry = fixturePlugin("null", "-DPROBE_NULL_ENTRY");
    if (!nullEntry.empty()) {
        cases.push_back({"entry returns null", nullEntry, 5, "returned null"});
        cases.push_back(
            {"wrong magic", fixturePlugin("magic", "-DPROBE_BAD_MAGIC"), 6, "magic 0x4E6F7065"});
    }
    for (const auto& c : cases) {
        for (const char* form : {"--json", ""}) {
            std::vector<std::string> args{"info", c.plugin};
            if (*form) args.push_back(form);
            const RunResult r = runZelto(args);
            EXPECT_EQ(r.exitCode, c.exitCode) << c.what << "\n" << r.err;
            EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
            EXPECT_NE(r.err.find(c.plugin), std::string::npos) << c.what << ": " << r.err;
            EXPECT_TRUE(r.out.empty()) << c.what << ": nothing may reach stdout: " << r.out;
        }
    }
}

TEST(ZeltoCommandLine, HelpAndUsageErrors) {
    const RunResult help = runZelto({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word :
         {"zelto info", "zelto render", "zelto demo", "zelto master", "Exit codes", "--json"}) {
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(runZelto({"help"}).out, help.out);

    const RunResult none = runZelto({});
    EXPECT_EQ(none.exitCode, 2);

    const RunResult unknown = runZelto({"frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown command 'frobnicate'"), std::string::npos);

    const RunResult badOption = runZelto({"info", "--colour"});
    EXPECT_EQ(badOption.exitCode, 2);
    EXPECT_NE(badOption.err.find("--colour"), std::string::npos);
}

}  // namespace

TEST(ZeltoInfo, OneVersionFromTheBuildAndAnInstalledLayoutThatFindsItsPlugin) {
    // The version is the one project() declares.
    const std::string lists = readFile(std::string(ZELTO_SOURCE_DIR) + "/CMakeLists.txt");
    const std::string marker = "project(KRWZelto VERSION ";
    const size_t at = lists.find(marker);
    ASSERT_NE(at, std::string::npos);
    const std::string version = lists.substr(
        at + marker.size(), lists.find_first_of(" )", at + marker.size()) - at - marker.size());
    const RunResult v = runZelto({"--version"}, {"ZELTO_PLUGIN=" ZELTO_PLUGIN_PATH});
    EXPECT_EQ(v.exitCode, 0) << v.err;
    EXPECT_EQ(v.out, "zelto " + version + "\nplug-in KRW Zelto, version 1 (vendor version 0), " +
                         ZELTO_PLUGIN_PATH + "\n");

    // cmake --install lays out bin/zelto and lib/vst/KRWZelto.so, and the
    // installed zelto loads the plug-in installed beside it.
    if (!fileExists("/usr/bin/cmake")) GTEST_SKIP() << "no cmake to install with";
    TempDir prefix;
    const std::string build = fs::path(ZELTO_PLUGIN_PATH).parent_path().string();
    const RunResult install =
        runProgram("/usr/bin/cmake", {"--install", build, "--prefix", prefix.path().string()});
    ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
    const std::string plugin = prefix / "lib/vst/KRWZelto.so";
    ASSERT_TRUE(fileExists(plugin));
    ASSERT_TRUE(fileExists(prefix / "bin/zelto"));
    const RunResult info = runProgram(prefix / "bin/zelto", {"info", "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const Json j = parseJson(info.out);
    EXPECT_EQ(j["path"].str(), plugin);
    EXPECT_EQ(j["zeltoVersion"].str(), version);
    EXPECT_EQ(j["effectName"].str(), "KRW Zelto");
    const RunResult text = runProgram(prefix / "bin/zelto", {"info"});
    EXPECT_NE(text.out.find("Host            zelto " + version + "\n"), std::string::npos);
}
