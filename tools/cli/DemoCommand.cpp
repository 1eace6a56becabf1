// `zelto demo`: writes the built-in programme as demo-in.wav and renders it
// through the plug-in twice, with its default program and with oversampling
// on, printing both reports. Writes only the three files it names, each
// atomically, into the chosen folder.
#include <cstdio>
#include <filesystem>
#include <optional>

#include "tools/audio/AudioFile.h"
#include "tools/audio/DemoProgramme.h"
#include "tools/cli/Cli.h"
#include "tools/cli/Grammar.h"
#include "tools/common/ProcessSignals.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"
#include "tools/hosting/Renderer.h"

namespace zelto {

namespace {

constexpr const char* kOversampleName = "Oversample";
constexpr double kOversampleOn = 0.75;  // the "on" step of a two-state switch

bool hasParameter(const std::string& plugin, const std::string& name) {
    PluginHost host(plugin);
    try {
        host.findParameter(name);
        return true;
    } catch (const ToolError&) {
        return false;
    }
}

}  // namespace

int runDemo(const ParsedArgs& args) {
    const std::string outDir = args.text("--out-dir").value_or(".");
    const std::string plugin = pluginPath(args);
    const int block = static_cast<int>(args.integer("--block").value_or(512));
    const bool json = args.has("--json");
    const bool quiet = args.has("--quiet");
    installSignalHandlers();

    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec || !fs::is_directory(outDir)) {
        throw ToolError(kExitOutput, "cannot use '" + outDir + "' as the output folder" +
                                         (ec ? ": " + ec.message() : std::string()));
    }
    const std::string inPath = (fs::path(outDir) / "demo-in.wav").string();

    // Check the plug-in before writing anything, so a bad --plugin leaves the
    // folder as it was.
    const bool oversample = hasParameter(plugin, kOversampleName);

    const DemoProgramme programme = makeDemoProgramme();
    {
        const auto frames = static_cast<int64_t>(programme.frames.size() / 2);
        AudioWriter writer(inPath, chooseOutputFormat(inPath, "float"), 2, programme.sampleRate,
                           frames);
        writer.write(programme.frames.data(), frames);
        writer.commit();
    }

    RenderOptions opt;
    opt.input = inPath;
    opt.plugin = plugin;
    opt.block = block;
    opt.progress = !quiet && !args.has("--no-progress");
    opt.output = (fs::path(outDir) / "demo-out.wav").string();
    opt.progressLabel = "demo-out.wav";
    const RenderReport plain = render(opt);

    std::optional<RenderReport> over;
    if (oversample) {
        opt.output = (fs::path(outDir) / "demo-out-oversample.wav").string();
        opt.sets = {{kOversampleName, kOversampleOn}};
        opt.progressLabel = "demo-out-oversample.wav";
        over = render(opt);
    }

    if (json) {
        JsonWriter j;
        j.beginObject();
        j.value("programme", inPath);
        reportJson(j, plain, "default");
        if (over) {
            reportJson(j, *over, "oversample");
        } else {
            j.null("oversample");
        }
        j.endObject();
        std::fputs(j.str().c_str(), stdout);
    } else if (!quiet) {
        std::printf("Demo programme   %s (30 s, 44100 Hz, stereo float)\n\n", inPath.c_str());
        std::printf("== Default program ==\n%s\n", reportText(plain).c_str());
        if (over) {
            std::printf("== %s on ==\n%s", kOversampleName, reportText(*over).c_str());
        } else {
            std::printf("The plug-in has no '%s' parameter: no second render.\n", kOversampleName);
        }
    }
    const RenderReport* reports[] = {&plain, over ? &*over : nullptr};
    for (const RenderReport* r : reports) {
        if (r == nullptr) continue;
        for (const auto& w : r->warnings) std::fprintf(stderr, "zelto: warning: %s\n", w.c_str());
    }
    return kExitOk;
}

}  // namespace zelto
