// `zelto render IN OUT`: command-line parsing for one offline render and the
// printing of its report. All the work is in Renderer; this file must not
// touch files or the plug-in itself.
#include <cstdio>

#include "tools/analysis/Plot.h"
#include "tools/audio/AudioFile.h"
#include "tools/cli/Cli.h"
#include "tools/common/ProcessSignals.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/Batch.h"
#include "tools/hosting/Renderer.h"

namespace zelto {

int runRender(const Args& args) {
    RenderOptions opt;
    opt.plugin = defaultPluginPath();
    opt.progress = true;
    opt.delivery = findDeliveryTarget("streaming");
    bool json = false;
    std::vector<std::string> files;
    std::string outDir, plotPath;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string name = optionName(arg);
        if (name == "--plugin") {
            opt.plugin = optionValue(args, i);
        } else if (name == "--block") {
            opt.block = static_cast<int>(intOption(name, optionValue(args, i), 1, 65536));
        } else if (name == "--double") {
            opt.useDouble = true;
        } else if (name == "--no-compensate") {
            opt.compensate = false;
        } else if (name == "--mono-dual") {
            opt.monoDual = true;
        } else if (name == "--set") {
            opt.sets.push_back(parseSetOption(optionValue(args, i)));
        } else if (parsePresetOption(args, i, opt.presets)) {
        } else if (name == "--format") {
            opt.format = optionValue(args, i);
            if (opt.format != "float" && opt.format != "pcm16" && opt.format != "pcm24") {
                throw ToolError(kExitUsage,
                                "--format takes float, pcm16 or pcm24, not '" + opt.format + "'");
            }
        } else if (name == "--target") {
            opt.delivery = findDeliveryTarget(optionValue(args, i));
        } else if (name == "--ceiling") {
            opt.ceilingDb = doubleOption(name, optionValue(args, i));
        } else if (name == "--json") {
            json = true;
        } else if (name == "--allow-short-input") {
            opt.allowShortInput = true;
        } else if (name == "--no-progress") {
            opt.progress = false;
        } else if (name == "--plot") {
            plotPath = optionValue(args, i);
        } else if (name == "--out-dir") {
            outDir = optionValue(args, i);
        } else if (!arg.empty() && arg[0] != '-' && (files.size() < 2 || !outDir.empty())) {
            files.push_back(arg);
        } else {
            unknownOption("render", arg);
        }
    }
    std::vector<BatchJob> jobs;
    if (!outDir.empty()) {
        if (files.empty()) throw ToolError(kExitUsage, "render --out-dir needs input files");
        jobs = batchJobs(files, outDir);
    } else if (files.size() == 2) {
        jobs.push_back({files[0], files[1]});
    } else {
        throw ToolError(kExitUsage, "render needs an input and an output file (see 'zelto help')");
    }

    if (jobs.size() > 1 && !plotPath.empty()) {
        throw ToolError(kExitUsage, "--plot takes one input");
    }

    installSignalHandlers();
    JsonWriter j;
    if (json && jobs.size() > 1) j.beginArray();
    for (size_t k = 0; k < jobs.size(); ++k) {
        opt.input = jobs[k].input;
        opt.output = jobs[k].output;
        std::optional<LevelPlot> plot;
        if (!plotPath.empty()) plot.emplace(std::nullopt, opt.delivery->truePeakDb);
        opt.observer = plot ? &*plot : nullptr;
        const RenderReport report = render(opt);
        if (plot) plot->write(plotPath, report);
        if (json) {
            reportJson(j, report);
        } else {
            if (k > 0) std::fputs("\n", stdout);
            std::fputs(reportText(report).c_str(), stdout);
            std::fflush(stdout);
        }
        for (const auto& w : report.warnings) {
            std::fprintf(stderr, "zelto: warning: %s\n", w.c_str());
        }
    }
    if (json) {
        if (jobs.size() > 1) j.endArray();
        std::fputs(j.str().c_str(), stdout);
    }
    return kExitOk;
}

}  // namespace zelto
