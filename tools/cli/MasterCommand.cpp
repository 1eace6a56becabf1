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
#include "tools/common/Parallel.h"
#include "tools/common/ProcessSignals.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/Batch.h"
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
        j.value("loudnessLufs", s.lufs).value("truePeakDbtp", s.truePeakDb);  // null: not measured
        j.value("maxGainReductionDb", s.gainReductionDb).endObject();
    }
    j.endArray();
    j.beginObject("seconds");
    j.value("reading", m.times.reading).value("inputFigures", m.times.input);
    j.value("searchRenders", m.times.search);
    j.value("writtenRender", m.times.final).endObject();
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
    std::optional<DeliveryTarget> delivery;
    if (const auto name = args.text("--target")) delivery = findDeliveryTarget(*name);
    // A named target gives both levels; --lufs and --true-peak override them.
    const auto lufs = args.number("--lufs");
    if (!lufs && !delivery) {
        throw ToolError(kExitUsage, "master needs a loudness target: --lufs L or --target NAME");
    }
    target.lufs = lufs ? *lufs : delivery->lufs;
    if (const auto t = args.number("--true-peak")) {
        target.truePeakDb = *t;
    } else if (delivery) {
        target.truePeakDb = delivery->truePeakDb;
    }
    target.maxReductionDb = args.number("--max-reduction");
    const std::string savePresetPath = args.text("--save-preset").value_or("");
    const bool album = args.has("--album");
    int workers = static_cast<int>(args.integer("--jobs").value_or(defaultWorkers()));
    JobPlan plan = planJobs(args);
    const std::vector<BatchJob>& jobs = plan.jobs;
    const bool json = plan.json;
    FILE* out = plan.report;
    if (album && jobs.size() < 2) {
        throw ToolError(kExitUsage, "--album needs several inputs (with --out-dir)");
    }
    if (jobs.size() > 1 && !savePresetPath.empty()) {
        throw ToolError(kExitUsage, "--save-preset takes one input");
    }

    installSignalHandlers();
    plan.prepare();

    // Several files: one worker per core, each with its own plug-in
    // instance rendering one candidate at a time and a share of the memory.
    workers = std::max(1, std::min(workers, static_cast<int>(jobs.size())));
    // A picture releases cairo's process-wide font caches once drawn, which
    // must not happen while another worker draws: pictures come one at a time.
    if (!plan.plots.empty()) workers = 1;
    MasterResources resources;
    if (workers > 1) {
        resources.parallel = false;
        resources.memoryBytes /= workers;
        opt.progress = false;  // bars from several threads would scramble each other
    }
    auto rethrowFirst = [&plan](const std::vector<std::exception_ptr>& errors) {
        for (const auto& e : errors) {
            if (e) plan.rethrow(e);
        }
    };

    // An album keeps its internal balance: the loudest input meets the
    // target and every other one stays as far below it as it was.
    std::vector<double> targets(jobs.size(), target.lufs);
    if (album) {
        std::vector<double> loudness(jobs.size());
        rethrowFirst(forEachIndex(jobs.size(), workers, [&](size_t k) {
            RenderOptions probe = opt;
            probe.input = jobs[k].input;
            probe.output = jobs[k].output;
            probe.measureOnly = true;
            probe.meters = SignalMeter::Detail::Loudness;
            probe.progressLabel = progressLabel(plan, k) + ": measuring";
            const double l = render(probe).in.loudnessLufs;
            if (!std::isfinite(l)) {
                throw ToolError(kExitTargetUnreachable,
                                "input '" + plan.shown[k].input +
                                    "' has no measurable loudness (silent, or shorter than 0.4 s); "
                                    "nothing was written");
            }
            loudness[k] = l;
        }));
        double loudest = loudness.front();
        for (double l : loudness) loudest = std::max(loudest, l);
        for (size_t k = 0; k < jobs.size(); ++k) targets[k] = target.lufs - (loudest - loudness[k]);
    }

    // Workers keep what they would print until it is their turn, so the
    // output reads as a serial run's.
    std::vector<std::string> printed(jobs.size());
    std::vector<std::optional<MasterResult>> results(jobs.size());
    std::vector<MasterTarget> used(jobs.size(), target);
    auto emit = [&](size_t k, const std::string& text) {
        if (workers > 1) {
            printed[k] += text;
        } else {
            std::fputs(text.c_str(), out);
            std::fflush(out);
        }
    };
    auto runOne = [&](size_t k) {
        RenderOptions one = opt;
        one.input = jobs[k].input;
        one.output = jobs[k].output;
        one.progressLabel = progressLabel(plan, k);
        MasterTarget& t = used[k];
        t.lufs = targets[k];
        // The verdict judges what was asked for: the named target, or
        // the levels given, to the search's own tolerance.
        one.delivery =
            delivery && !album && t.lufs == delivery->lufs && t.truePeakDb == delivery->truePeakDb
                ? *delivery
                : DeliveryTarget{"the target", t.lufs, kLoudnessTolerance, t.truePeakDb};
        std::optional<LevelPlot> plot;
        if (!plan.plots.empty()) {
            plot.emplace(t.lufs, t.truePeakDb);
            one.observer = &*plot;
        }
        auto onStep = [&](const MasterStep& s) {
            if (json || plan.quiet) return;
            // Only once the inputs passed their checks, so a refused run
            // prints nothing but its error, as render does.
            if (s.index == 1) {
                std::string limit;
                if (t.maxReductionDb) {
                    limit = ", gain reduction at most " + formatFixed(*t.maxReductionDb, 2) + " dB";
                }
                emit(k, "Mastering " + plan.shown[k].input + " -> " + plan.shown[k].output + ": " +
                            formatFixed(t.lufs, 2) + " LUFS, true peak at most " +
                            formatFixed(t.truePeakDb, 2) + " dBTP" + limit + "\n");
            }
            emit(k, "  " + stepText(s) + "\n");
        };
        results[k] = master(one, t, onStep, resources);
        // The preset first: it loads the plug-in, which draws with cairo too.
        if (!savePresetPath.empty()) savePreset(one, *results[k], savePresetPath);
        if (plot) plot->write(plan.plots[k], results[k]->report);
        plan.finish(k);
        plan.rename(k, results[k]->report);
    };

    JsonWriter j;
    if (json && jobs.size() > 1) j.beginArray();
    auto printOne = [&](size_t k) {
        std::fputs(printed[k].c_str(), out);
        const MasterResult& m = *results[k];
        if (json) {
            masterJson(j, m, used[k]);
        } else if (!plan.quiet) {
            std::fprintf(out, "Found            Drive %s dB, Output %s dB after %zu renders\n",
                         formatFixed(m.driveDb, 2).c_str(), formatFixed(m.outputDb, 2).c_str(),
                         m.steps.size());
            std::fprintf(out, "Time             %s\n", timesText(m.times).c_str());
            std::fputs(reportText(m.report).c_str(), out);
            if (k + 1 < jobs.size()) std::fputs("\n", out);
        }
        std::fflush(out);
        for (const auto& w : m.report.warnings) {
            std::fprintf(stderr, "zelto: warning: %s\n", w.c_str());
        }
    };
    if (workers > 1) {
        const auto errors = forEachIndex(jobs.size(), workers, runOne);
        for (size_t k = 0; k < jobs.size(); ++k) {
            if (errors[k]) {
                std::fputs(printed[k].c_str(), out);
                plan.rethrow(errors[k]);
            }
            if (!results[k]) rethrowFirst(errors);  // never started after a failure
            printOne(k);
        }
    } else {
        for (size_t k = 0; k < jobs.size(); ++k) {
            try {
                runOne(k);
            } catch (...) {
                plan.rethrow(std::current_exception());
            }
            printOne(k);
        }
    }
    if (json) {
        if (jobs.size() > 1) j.endArray();
        std::fputs(j.str().c_str(), out);
    }
    return kExitOk;
}

}  // namespace zelto
