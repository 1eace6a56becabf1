// `zelto master IN OUT --lufs L`: command-line parsing, batches and albums,
// and the printing of the search and its report. The search is in Mastering;
// this file must not touch audio files or the plug-in's audio itself.
#include <cmath>
#include <cstdio>
#include <optional>

#include "tools/analysis/Mastering.h"
#include "tools/analysis/Plot.h"
#include "tools/cli/Cli.h"
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

int runMaster(const Args& args) {
    RenderOptions opt;
    opt.plugin = defaultPluginPath();
    MasterTarget target;
    bool haveLufs = false, havePeak = false, json = false, album = false;
    std::optional<DeliveryTarget> delivery;
    int workers = defaultWorkers();
    std::string savePresetPath, plotPath, outDir;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string name = optionName(arg);
        if (name == "--lufs") {
            target.lufs = doubleOption(name, optionValue(args, i));
            haveLufs = true;
            if (!(target.lufs >= -70.0 && target.lufs <= 20.0)) {
                throw ToolError(kExitUsage, "--lufs takes a loudness from -70 to 20 LUFS");
            }
        } else if (name == "--true-peak") {
            target.truePeakDb = doubleOption(name, optionValue(args, i));
            havePeak = true;
            if (!(target.truePeakDb >= -20.0 && target.truePeakDb <= 0.0)) {
                throw ToolError(kExitUsage, "--true-peak takes a level from -20 to 0 dBTP");
            }
        } else if (name == "--target") {
            delivery = findDeliveryTarget(optionValue(args, i));
        } else if (name == "--max-reduction") {
            target.maxReductionDb = doubleOption(name, optionValue(args, i));
            if (!(*target.maxReductionDb >= 0.0 && *target.maxReductionDb <= 100.0)) {
                throw ToolError(kExitUsage, "--max-reduction takes a number of dB from 0 to 100");
            }
        } else if (name == "--save-preset") {
            savePresetPath = optionValue(args, i);
        } else if (name == "--plot") {
            plotPath = optionValue(args, i);
        } else if (name == "--out-dir") {
            outDir = optionValue(args, i);
        } else if (name == "-j" || name == "--jobs") {
            workers = static_cast<int>(intOption(name, optionValue(args, i), 1, 256));
        } else if (name == "--album") {
            album = true;
        } else if (name == "--plugin") {
            opt.plugin = optionValue(args, i);
        } else if (name == "--block") {
            opt.block = static_cast<int>(intOption(name, optionValue(args, i), 1, 65536));
        } else if (name == "--double") {
            opt.useDouble = true;
        } else if (name == "--allow-short-input") {
            opt.allowShortInput = true;
        } else if (name == "--set") {
            opt.sets.push_back(parseSetOption(optionValue(args, i)));
        } else if (parsePresetOption(args, i, opt.presets)) {
        } else if (name == "--format") {
            opt.format = optionValue(args, i);
            if (opt.format != "float" && opt.format != "pcm16" && opt.format != "pcm24") {
                throw ToolError(kExitUsage,
                                "--format takes float, pcm16 or pcm24, not '" + opt.format + "'");
            }
        } else if (name == "--json") {
            json = true;
        } else if (!arg.empty() && arg[0] != '-') {
            files.push_back(arg);
        } else {
            unknownOption("master", arg);
        }
    }
    // A named target gives both levels; --lufs and --true-peak override them.
    if (delivery) {
        if (!haveLufs) target.lufs = delivery->lufs;
        if (!havePeak) target.truePeakDb = delivery->truePeakDb;
        haveLufs = true;
    }
    if (!haveLufs) {
        throw ToolError(kExitUsage, "master needs a loudness target: --lufs L or --target NAME");
    }

    std::vector<BatchJob> jobs;
    if (outDir.empty()) {
        if (files.size() != 2) {
            throw ToolError(kExitUsage,
                            "master needs an input and an output file, or inputs and --out-dir "
                            "DIR (see 'zelto help')");
        }
        jobs.push_back({files[0], files[1]});
    } else {
        if (files.empty()) throw ToolError(kExitUsage, "master --out-dir needs input files");
        jobs = batchJobs(files, outDir);
    }
    if (album && jobs.size() < 2) {
        throw ToolError(kExitUsage, "--album needs several inputs (with --out-dir)");
    }
    if (jobs.size() > 1 && (!savePresetPath.empty() || !plotPath.empty())) {
        throw ToolError(kExitUsage, "--save-preset and --plot take one input");
    }

    installSignalHandlers();

    // Several files: one worker per core, each with its own plug-in
    // instance rendering one candidate at a time and a share of the memory.
    workers = std::max(1, std::min(workers, static_cast<int>(jobs.size())));
    MasterResources resources;
    if (workers > 1) {
        resources.parallel = false;
        resources.memoryBytes /= workers;
    }
    auto rethrowFirst = [](const std::vector<std::exception_ptr>& errors) {
        for (const auto& e : errors) {
            if (e) std::rethrow_exception(e);
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
            const double l = render(probe).in.loudnessLufs;
            if (!std::isfinite(l)) {
                throw ToolError(kExitTargetUnreachable,
                                "input '" + jobs[k].input +
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
            std::fputs(text.c_str(), stdout);
            std::fflush(stdout);
        }
    };
    auto runOne = [&](size_t k) {
        RenderOptions one = opt;
        one.input = jobs[k].input;
        one.output = jobs[k].output;
        MasterTarget& t = used[k];
        t.lufs = targets[k];
        // The verdict judges what was asked for: the named specification, or
        // the levels given, to the search's own tolerance.
        one.delivery =
            delivery && !album && t.lufs == delivery->lufs && t.truePeakDb == delivery->truePeakDb
                ? *delivery
                : DeliveryTarget{"the target", t.lufs, kLoudnessTolerance, t.truePeakDb};
        std::optional<LevelPlot> plot;
        if (!plotPath.empty()) {
            plot.emplace(t.lufs, t.truePeakDb);
            one.observer = &*plot;
        }
        auto onStep = [&](const MasterStep& s) {
            if (json) return;
            // Only once the inputs passed their checks, so a refused run
            // prints nothing but its error, as render does.
            if (s.index == 1) {
                std::string limit;
                if (t.maxReductionDb) {
                    limit = ", gain reduction at most " + formatFixed(*t.maxReductionDb, 2) + " dB";
                }
                emit(k, "Mastering " + one.input + " -> " + one.output + ": " +
                            formatFixed(t.lufs, 2) + " LUFS, true peak at most " +
                            formatFixed(t.truePeakDb, 2) + " dBTP" + limit + "\n");
            }
            emit(k, "  " + stepText(s) + "\n");
        };
        results[k] = master(one, t, onStep, resources);
        // The preset first: it loads the plug-in, which draws with cairo too.
        if (!savePresetPath.empty()) savePreset(one, *results[k], savePresetPath);
        if (plot) plot->write(plotPath, results[k]->report);
    };

    JsonWriter j;
    if (json && jobs.size() > 1) j.beginArray();
    auto printOne = [&](size_t k) {
        std::fputs(printed[k].c_str(), stdout);
        const MasterResult& m = *results[k];
        if (json) {
            masterJson(j, m, used[k]);
        } else {
            std::printf("Found            Drive %s dB, Output %s dB after %zu renders\n",
                        formatFixed(m.driveDb, 2).c_str(), formatFixed(m.outputDb, 2).c_str(),
                        m.steps.size());
            std::printf("Time             %s\n", timesText(m.times).c_str());
            std::fputs(reportText(m.report).c_str(), stdout);
            if (k + 1 < jobs.size()) std::fputs("\n", stdout);
        }
        std::fflush(stdout);
        for (const auto& w : m.report.warnings) {
            std::fprintf(stderr, "zelto: warning: %s\n", w.c_str());
        }
    };
    if (workers > 1) {
        const auto errors = forEachIndex(jobs.size(), workers, runOne);
        for (size_t k = 0; k < jobs.size(); ++k) {
            if (errors[k]) {
                std::fputs(printed[k].c_str(), stdout);
                std::rethrow_exception(errors[k]);
            }
            if (!results[k]) rethrowFirst(errors);  // never started after a failure
            printOne(k);
        }
    } else {
        for (size_t k = 0; k < jobs.size(); ++k) {
            runOne(k);
            printOne(k);
        }
    }
    if (json) {
        if (jobs.size() > 1) j.endArray();
        std::fputs(j.str().c_str(), stdout);
    }
    return kExitOk;
}

}  // namespace zelto
