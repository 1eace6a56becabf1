// `zelto master IN OUT --lufs L`: command-line parsing, batches and albums,
// and the printing of the search and its report. The search is in Mastering;
// this file must not touch audio files or the plug-in's audio itself.
#include <cmath>
#include <cstdio>
#include <optional>

#include "tools/analysis/Mastering.h"
#include "tools/analysis/Plot.h"
#include "tools/cli/Cli.h"
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
    j.value("loudnessRenders", m.times.search).value("truePeakRenders", m.times.truePeak);
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
    if (json && jobs.size() > 1) j.beginArray();
    for (size_t k = 0; k < jobs.size(); ++k) {
        RenderOptions one = opt;
        one.input = jobs[k].input;
        one.output = jobs[k].output;
        MasterTarget t = target;
        t.lufs = targets[k];
        // The verdict judges what was asked for: the named specification, or
        // the levels given, to the search's own tolerance.
        one.delivery =
            delivery && !album && t.lufs == delivery->lufs && t.truePeakDb == delivery->truePeakDb
                ? *delivery
                : DeliveryTarget{"the target", t.lufs, kLoudnessTolerance, t.truePeakDb};
        std::optional<LevelPlot> plot;
        if (!plotPath.empty()) {
            plot.emplace(t.lufs);
            one.observer = &*plot;
        }
        const MasterResult m = master(one, t, [&](const MasterStep& s) {
            if (json) return;
            // Only once the inputs passed their checks, so a refused run
            // prints nothing but its error, as render does.
            if (s.index == 1) {
                std::string limit;
                if (t.maxReductionDb) {
                    limit = ", gain reduction at most " + formatFixed(*t.maxReductionDb, 2) + " dB";
                }
                std::printf("Mastering %s -> %s: %s LUFS, true peak at most %s dBTP%s\n",
                            one.input.c_str(), one.output.c_str(), formatFixed(t.lufs, 2).c_str(),
                            formatFixed(t.truePeakDb, 2).c_str(), limit.c_str());
            }
            std::printf("  %s\n", stepText(s).c_str());
            std::fflush(stdout);
        });
        // The preset first: it loads the plug-in, which draws with cairo too.
        if (!savePresetPath.empty()) savePreset(one, m, savePresetPath);
        if (plot) plot->write(plotPath, m.report);
        if (json) {
            masterJson(j, m, t);
        } else {
            std::printf("Found            Drive %s dB, Output %s dB after %zu renders\n",
                        formatFixed(m.driveDb, 2).c_str(), formatFixed(m.outputDb, 2).c_str(),
                        m.steps.size());
            std::printf("Time             %s\n", timesText(m.times).c_str());
            std::fputs(reportText(m.report).c_str(), stdout);
            if (k + 1 < jobs.size()) std::fputs("\n", stdout);
        }
        for (const auto& w : m.report.warnings) {
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
