// `zelto master IN OUT --lufs L`: command-line parsing, batches and albums,
// and the printing of the search and its report. The search is in Mastering;
// this file must not touch audio files or the plug-in's audio itself.
#include <cmath>
#include <cstdio>
#include <optional>

#include "tools/analysis/Mastering.h"
#include "tools/analysis/Plot.h"
#include "tools/cli/Cli.h"
#include "tools/cli/Grammar.h"
#include "tools/common/ProcessSignals.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"
#include "tools/hosting/PresetSources.h"

namespace zelto {

namespace {

void masterJson(JsonWriter& j, const MasterResult& m, const MasterTarget& t) {
    j.beginObject();
    j.beginObject("target");
    j.value("lufs", t.lufs).value("truePeakDbtp", t.truePeakDb);
    if (t.maxReductionDb) {
        j.value("maxReductionDb", *t.maxReductionDb);
    } else {
        j.null("maxReductionDb");
    }
    j.endObject();
    j.value("driveDb", m.driveDb).value("outputDb", m.outputDb);
    j.beginArray("renders");
    for (const auto& s : m.steps) {
        j.beginObject().value("driveDb", s.driveDb).value("outputDb", s.outputDb);
        j.value("loudnessLufs", s.lufs).value("truePeakDbtp", s.truePeakDb);
        j.value("maxGainReductionDb", s.gainReductionDb).endObject();
    }
    j.endArray();
    reportJson(j, m.report, "render");
    j.endObject();
}

/// The found settings as a preset file, written by the plug-in itself so a
/// DAW loads exactly what was rendered.
void savePreset(const RenderOptions& opt, const MasterResult& m, const std::string& path) {
    PluginHost host(opt.plugin);
    applyPresetSources(host, opt.presets);
    ParameterSets sets = opt.sets;
    sets.emplace_back("Drive", driveValueFromDb(m.driveDb));
    sets.emplace_back("Output", outputValueFromDb(m.outputDb));
    applyParameterSets(host, sets);
    savePresetFile(host, path);
}

}  // namespace

int runMaster(const ParsedArgs& args) {
    RenderOptions opt = renderOptions(args);
    MasterTarget target;
    const auto lufs = args.number("--lufs");
    if (!lufs) throw ToolError(kExitUsage, "master needs a loudness target: --lufs L");
    target.lufs = *lufs;
    if (const auto t = args.number("--true-peak")) target.truePeakDb = *t;
    target.maxReductionDb = args.number("--max-reduction");
    const std::string savePresetPath = args.text("--save-preset").value_or("");
    const bool album = args.has("--album");
    JobPlan plan = planJobs(args);
    const std::vector<BatchJob>& jobs = plan.jobs;
    const bool json = plan.json;
    if (album && jobs.size() < 2) {
        throw ToolError(kExitUsage, "--album needs several inputs (with --out-dir)");
    }
    if (jobs.size() > 1 && !savePresetPath.empty()) {
        throw ToolError(kExitUsage, "--save-preset takes one input");
    }

    installSignalHandlers();
    plan.prepare();

    // An album keeps its internal balance: the loudest input meets the
    // target and every other one stays as far below it as it was.
    std::vector<double> targets(jobs.size(), target.lufs);
    if (album) {
        std::vector<double> loudness;
        for (const auto& job : jobs) {
            RenderOptions probe = opt;
            probe.input = job.input;
            probe.output = job.output;
            probe.measureOnly = true;
            probe.progressLabel =
                progressLabel(plan, static_cast<size_t>(&job - jobs.data())) + ": measuring";
            const double l = render(probe).in.loudnessLufs;
            if (!std::isfinite(l)) {
                throw ToolError(kExitTargetUnreachable,
                                "input '" + job.input +
                                    "' has no measurable loudness (silent, or shorter than 0.4 s); "
                                    "nothing was written");
            }
            loudness.push_back(l);
        }
        double loudest = loudness.front();
        for (double l : loudness) loudest = std::max(loudest, l);
        for (size_t k = 0; k < jobs.size(); ++k) targets[k] = target.lufs - (loudest - loudness[k]);
    }

    JsonWriter j;
    FILE* out = plan.report;
    if (json && jobs.size() > 1) j.beginArray();
    for (size_t k = 0; k < jobs.size(); ++k) {
        RenderOptions one = opt;
        one.input = jobs[k].input;
        one.output = jobs[k].output;
        one.progressLabel = progressLabel(plan, k);
        MasterTarget t = target;
        t.lufs = targets[k];
        std::optional<LevelPlot> plot;
        if (!plan.plots.empty()) {
            plot.emplace(t.lufs);
            one.observer = &*plot;
        }
        MasterResult m;
        try {
            m = master(one, t, [&](const MasterStep& s) {
                if (json || plan.quiet) return;
                // Only once the inputs passed their checks, so a refused run
                // prints nothing but its error, as render does.
                if (s.index == 1) {
                    std::string limit;
                    if (t.maxReductionDb) {
                        limit =
                            ", gain reduction at most " + formatFixed(*t.maxReductionDb, 2) + " dB";
                    }
                    std::fprintf(out, "Mastering %s -> %s: %s LUFS, true peak at most %s dBTP%s\n",
                                 plan.shown[k].input.c_str(), plan.shown[k].output.c_str(),
                                 formatFixed(t.lufs, 2).c_str(),
                                 formatFixed(t.truePeakDb, 2).c_str(), limit.c_str());
                }
                std::fprintf(out, "  %s\n", stepText(s).c_str());
                std::fflush(out);
            });
            // The preset first: it loads the plug-in, which draws with cairo too.
            if (!savePresetPath.empty()) savePreset(one, m, savePresetPath);
            if (plot) plot->write(plan.plots[k], m.report);
            plan.finish(k);
        } catch (...) {
            plan.rethrow(std::current_exception());
        }
        plan.rename(k, m.report);
        if (json) {
            masterJson(j, m, t);
        } else if (!plan.quiet) {
            std::fprintf(out, "Found            Drive %s dB, Output %s dB after %zu renders\n",
                         formatFixed(m.driveDb, 2).c_str(), formatFixed(m.outputDb, 2).c_str(),
                         m.steps.size());
            std::fputs(reportText(m.report).c_str(), out);
            if (k + 1 < jobs.size()) std::fputs("\n", out);
        }
        for (const auto& w : m.report.warnings) {
            std::fprintf(stderr, "zelto: warning: %s\n", w.c_str());
        }
    }
    if (json) {
        if (jobs.size() > 1) j.endArray();
        std::fputs(j.str().c_str(), out);
    }
    return kExitOk;
}

}  // namespace zelto
