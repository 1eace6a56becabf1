// The loudness search of `zelto master`; see Mastering.h.
//
// The limiter's "Output" is a plain gain after the limiting, so a render at
// Drive d and Output o measures F(d) + o for loudness and G(d) + o for true
// peak, where F and G depend on the drive alone. Every render therefore
// tells us F and G at its drive, whatever Output it used. The search starts
// with the ceiling at the true-peak target, finds the drive whose loudness
// meets the target (interpolating F between renders on either side), and
// lowers Output by the true-peak overshoot where the plug-in's detector lets
// inter-sample peaks through. Two candidates are rendered per round, one on
// each core: the interpolated drive and a hedge on the side where the curve's
// bend says the root most likely lies, which usually brackets it tightly.
// The first round pairs the user's starting point with the drive the
// input's own loudness suggests, when that is far from it.
//
// What costs time is measuring, not the plug-in: the candidates, rendered
// from the input held in memory, measure only their integrated loudness
// (with a lean meter of our own) and their accurate true peak; the BS.1770
// true peak and the other report figures are read once, on the written
// render, the input's alongside the search. Should the BS.1770 meter read
// higher than the accurate one there, its reading counts for that drive,
// nothing is written and the search goes on.
#include "tools/analysis/Mastering.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <thread>

#include "tools/audio/AudioClip.h"
#include "tools/audio/AudioFile.h"
#include "tools/audio/Loudness.h"
#include "tools/common/ProcessSignals.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"
#include "tools/hosting/PresetSources.h"

namespace zelto {

namespace {

constexpr double kDbPerDoubling = 6.020599913279624;  // 20 log10(2)
constexpr double kAim = 0.05;        // LU: the search aims well inside the tolerance
constexpr double kPeakMargin = 0.1;  // dB under the true-peak target when Output moves
constexpr int kMaxRounds = 12;
constexpr double kSame = 1e-4;  // dB: settings closer than this are the same render

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

double secondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

struct Point {
    double drive, output;                           // dB
    double lufs, truePeak, reduction;               // truePeak: NaN until measured
    double f() const { return lufs - output; }      // loudness at Output 0 dB
    double g() const { return truePeak - output; }  // true peak at Output 0 dB
};

std::string signedDb(double v) {
    std::string s = formatFixed(v, 2);
    if (v > 0.0 && s != "0.00") s = "+" + s;
    return s;
}

RenderOptions candidateOptions(const RenderOptions& base, double driveDb, double outputDb) {
    RenderOptions o = base;
    o.sets.emplace_back("Drive", driveValueFromDb(driveDb));
    o.sets.emplace_back("Output", outputValueFromDb(outputDb));
    return o;
}

/// Runs each job, in parallel where allowed and the machine has the cores;
/// rethrows the first failure.
void runAll(const std::vector<std::function<void()>>& jobs, bool allowParallel) {
    std::vector<std::exception_ptr> errors(jobs.size());
    auto one = [&](size_t i) {
        try {
            jobs[i]();
        } catch (...) {
            errors[i] = std::current_exception();
        }
    };
    const bool parallel = allowParallel && std::thread::hardware_concurrency() >= 2;
    std::vector<std::thread> threads;
    for (size_t i = 1; i < jobs.size(); ++i) {
        if (parallel) threads.emplace_back(one, i);
    }
    if (!jobs.empty()) one(0);
    if (!parallel) {
        for (size_t i = 1; i < jobs.size(); ++i) one(i);
    }
    for (auto& t : threads) t.join();
    for (auto& e : errors) {
        if (e) std::rethrow_exception(e);
    }
}

/// Renders each (drive, output) without writing, measuring what `meters`
/// says, in parallel where allowed.
std::vector<RenderReport> renderCandidates(
    const RenderOptions& base, const std::vector<std::pair<double, double>>& settings,
    SignalMeter::Detail meters, bool allowParallel,
    std::vector<std::shared_ptr<CapturedRender>>* captures = nullptr) {
    std::vector<RenderReport> reports(settings.size());
    if (captures != nullptr) {
        captures->clear();
        for (size_t i = 0; i < settings.size(); ++i) {
            captures->push_back(std::make_shared<CapturedRender>());
        }
    }
    std::vector<std::function<void()>> jobs;
    for (size_t i = 0; i < settings.size(); ++i) {
        jobs.emplace_back([&, i] {
            RenderOptions o = candidateOptions(base, settings[i].first, settings[i].second);
            o.measureOnly = true;
            o.measureInput = false;
            o.meters = meters;
            // One bar for the search: the first candidate speaks for the
            // ones beside it.
            o.progress = base.progress && i == 0;
            o.progressLabel =
                (base.progressLabel.empty() ? "" : base.progressLabel + ": ") + "searching";
            o.observer = nullptr;
            o.beforeCommit = nullptr;
            if (captures != nullptr) o.capture = (*captures)[i].get();
            // A render alone in its round leaves a core to its meters.
            o.metersOnThread =
                settings.size() == 1 && allowParallel && std::thread::hardware_concurrency() >= 2;
            reports[i] = render(o);
        });
    }
    runAll(jobs, allowParallel);
    return reports;
}

/// Hands the input, from memory or from the file, to `meter` (made by
/// `make(channels, rate)`) block by block, and returns it.
template <typename Make>
auto meterInput(const RenderOptions& base, Make make) {
    std::optional<AudioReader> file;
    std::optional<ClipReader> memory;
    if (base.clip) {
        memory.emplace(*base.clip);
    } else {
        file.emplace(base.input);
    }
    const int ch = base.clip ? base.clip->channels : file->channels();
    auto meter = make(ch, base.clip ? base.clip->sampleRate : file->sampleRate());
    constexpr int64_t kBlock = 65536;
    std::vector<double> block(static_cast<size_t>(kBlock * ch));
    for (;;) {
        // A long file must not hold up Ctrl-C while the renders stop.
        if (interruptRequested()) throw ToolError(kExitInterrupted, "interrupted");
        const int64_t got =
            memory ? memory->read(block.data(), kBlock) : file->read(block.data(), kBlock);
        meter->add(block.data(), got);
        if (got < kBlock) break;
    }
    return meter;
}

/// The input's own figures: everything but the BS.1770 true peak, the
/// slowest figure of all (the input's accurate true peak says more, and the
/// written render reads the BS.1770 one of the output, where it matters).
LevelStats measureInput(const RenderOptions& base) {
    const double countAbove = base.countAboveDb.value_or(base.ceilingDb.value_or(0.0));
    return meterInput(base,
                      [&](int ch, int rate) {
                          return std::make_unique<SignalMeter>(ch, rate, countAbove,
                                                               SignalMeter::Detail::Figures);
                      })
        ->stats();
}

/// The input's integrated loudness alone: what the first round guesses
/// from, the same however many cores there are.
double inputLoudness(const RenderOptions& base) {
    return meterInput(base,
                      [](int ch, int rate) { return std::make_unique<GatedLoudness>(ch, rate); })
        ->integrated();
}

/// Thrown from the final render's check when its true peak is over the
/// target by a meter the search had not read: the search goes on with it.
struct PeakOver {
    double truePeak;
};

double clampDrive(double db) {
    return std::clamp(db, -kDriveMaxDb, kDriveMaxDb);
}

[[noreturn]] void unreachable(const std::string& why) {
    throw ToolError(kExitTargetUnreachable, why + "; nothing was written");
}

std::string targetText(const MasterTarget& t) {
    return formatFixed(t.lufs, 1) + " LUFS under " + formatFixed(t.truePeakDb, 1) + " dBTP";
}

}  // namespace

double driveDbFromValue(double v) {
    return 8.0 * (v - 0.5) * kDbPerDoubling;
}
double driveValueFromDb(double db) {
    return std::clamp(0.5 + db / (8.0 * kDbPerDoubling), 0.0, 1.0);
}
double outputDbFromValue(double v) {
    return 2.0 * (v - 1.0) * kDbPerDoubling;
}
double outputValueFromDb(double db) {
    return std::clamp(1.0 + db / (2.0 * kDbPerDoubling), 0.0, 1.0);
}

std::string stepText(const MasterStep& s) {
    const std::string peak = std::isnan(s.truePeakDb) ? "" : signedDb(s.truePeakDb) + " dBTP, ";
    return "render " + std::to_string(s.index) + ": Drive " + signedDb(s.driveDb) + " dB, Output " +
           signedDb(s.outputDb) + " dB -> " + formatFixed(s.lufs, 2) + " LUFS, " + peak +
           "gain reduction " + formatFixed(s.gainReductionDb, 2) + " dB";
}

std::string timesText(const MasterTimes& t) {
    auto sec = [](double v) { return formatFixed(v, 2) + " s"; };
    return std::string(t.inMemory ? "reading into memory " + sec(t.reading) + ", "
                                  : "input read from disk per render, ") +
           "input figures " + sec(t.input) + ", " + std::to_string(t.searchRenders) +
           " search renders " + sec(t.search) + ", " + std::to_string(t.finalRenders) +
           " written " + sec(t.final);
}

MasterResult master(const RenderOptions& given, const MasterTarget& target,
                    const std::function<void(const MasterStep&)>& onStep,
                    const MasterResources& resources) {
    const double L = target.lufs, T = target.truePeakDb;
    double startDrive = 0.0, startOutput = 0.0;
    RenderOptions base = given;
    MasterResult result;
    // This instance also keeps the library loaded until the search is over:
    // the parallel renders then only count references to it, and never run
    // the loader's unloading while another thread opens the same library.
    std::unique_ptr<PluginHost> host;
    {
        // The same checks in the same order as render, so a bad input, format,
        // plug-in or preset fails with render's message and exit code before
        // any search; the destination is tried with render's own writer.
        AudioReader reader(base.input);
        const OutputFormat format =
            chooseOutputFormat(base.output, base.format, reader.sndfileFormat());
        host = std::make_unique<PluginHost>(base.plugin);
        requireOurPlugin(*host, "mastering (it sets the limiter's Drive and Output)");
        applyPresetSources(*host, base.presets);
        applyParameterSets(*host, base.sets);
        startDrive = driveDbFromValue(host->getParameter(host->findParameter("Drive")));
        startOutput = outputDbFromValue(host->getParameter(host->findParameter("Output")));
        AudioWriter probe(base.output, format, reader.channels(), reader.sampleRate(),
                          reader.declaredFrames());
        // A truncated input is refused (or rendered as it is) by render
        // itself; it is never held in memory.
        const auto t0 = std::chrono::steady_clock::now();
        if (!reader.announcedFrames()) base.clip = loadClip(base.input, resources.memoryBytes);
        result.times.reading = secondsSince(t0);
        result.times.inMemory = base.clip != nullptr;
    }

    std::vector<Point> points;
    // Every measured setting is a point of the search and a step it reports.
    auto addPoint = [&](const Point& p) {
        points.push_back(p);
        MasterStep step{static_cast<int>(result.steps.size()) + 1,
                        p.drive,
                        p.output,
                        p.lufs,
                        p.truePeak,
                        p.reduction};
        result.steps.push_back(step);
        if (onStep) onStep(step);
    };
    auto record = [&](const std::pair<double, double>& setting, const RenderReport& r) {
        addPoint({setting.first, setting.second, r.out.loudnessLufs, r.out.truePeakDb,
                  r.maxGainReductionDb.value_or(0.0)});
    };
    // The last round's outputs are kept where memory allows (three copies
    // of the input beside it: the input and two candidates), so that the
    // one found is written without running the plug-in again. A picture of
    // the written render needs the plug-in's gain reduction as it runs.
    const bool keepOutputs = base.clip && !base.useDouble && base.observer == nullptr &&
                             static_cast<int64_t>(base.clip->samples.size() * sizeof(float)) * 3 <=
                                 resources.memoryBytes;
    std::vector<std::pair<double, double>> keptSettings;
    std::vector<std::shared_ptr<CapturedRender>> kept;
    auto run = [&](const std::vector<std::pair<double, double>>& settings) {
        const auto t0 = std::chrono::steady_clock::now();
        // Every candidate reads its accurate true peak too: one that meets
        // the loudness then knows whether it also holds the ceiling, and one
        // near it how far Output must come down.
        kept.clear();
        const auto reports = renderCandidates(base, settings, SignalMeter::Detail::Search,
                                              resources.parallel, keepOutputs ? &kept : nullptr);
        keptSettings = keepOutputs ? settings : std::vector<std::pair<double, double>>{};
        result.times.search += secondsSince(t0);
        result.times.searchRenders += static_cast<int>(settings.size());
        for (size_t i = 0; i < reports.size(); ++i) record(settings[i], reports[i]);
    };
    // The input's own figures are only needed for the report and for a
    // clear message about a silent input: they are measured alongside the
    // search, on a thread of their own.
    LevelStats inputStats{};
    std::exception_ptr inputError;
    std::thread inputThread([&] {
        try {
            const auto t0 = std::chrono::steady_clock::now();
            inputStats = measureInput(base);
            result.times.input = secondsSince(t0);
        } catch (...) {
            inputError = std::current_exception();
        }
    });
    struct Joiner {
        std::thread& t;
        ~Joiner() {
            if (t.joinable()) t.join();
        }
    } joiner{inputThread};
    auto inputFigures = [&] {
        if (inputThread.joinable()) inputThread.join();
        if (inputError) std::rethrow_exception(inputError);
        result.inputLufs = inputStats.loudnessLufs;
        if (!std::isfinite(result.inputLufs)) {
            unreachable("input '" + base.input +
                        "' has no measurable loudness (silent, or shorter than 0.4 s)");
        }
    };

    // Round 0: the user's own starting point, with the ceiling no higher than
    // the true-peak target.
    double output = std::clamp(std::min(startOutput, T), kOutputMinDb, 0.0);
    // Beside it (on the other core, where there is one), the drive the
    // input's own loudness suggests (each dB of drive a dB of loudness while
    // little is limited) where that is well away from the start: often the
    // answer itself, else a second point to interpolate from. (A point
    // close to the start would only mislead the true-peak correction with
    // the steep rise of the first dB of limiting.)
    std::vector<std::pair<double, double>> first{{clampDrive(startDrive), output}};
    if (const double lufs = inputLoudness(base); std::isfinite(lufs)) {
        const double guess = clampDrive(L - output - lufs);
        if (std::fabs(guess - first.front().first) >= 1.0) first.emplace_back(guess, output);
    }
    run(first);
    if (!std::isfinite(points.front().lufs)) {
        inputFigures();
        unreachable("the plug-in's output has no measurable loudness at Drive " +
                    signedDb(startDrive) + " dB");
    }

    // Why Output had to come down, for the message if the target fails.
    std::string peakNote;
    std::optional<Point> found;
    bool exhausted = false;
    int peakCorrections = 0;
    auto nearestToTarget = [&]() {
        const Point* nearest = &points.front();
        for (const Point& p : points) {
            if (std::fabs(p.f() + output - L) < std::fabs(nearest->f() + output - L)) nearest = &p;
        }
        return nearest;
    };
    // The true peak at a drive, as far as any render there measured it.
    auto peakAt = [&](const Point& at) {
        double g = kUnknown;
        for (const Point& p : points) {
            if (std::fabs(p.drive - at.drive) < kSame && !std::isnan(p.truePeak)) {
                g = std::isnan(g) ? p.g() : std::max(g, p.g());
            }
        }
        return g;
    };
    for (int round = 0;; ++round) {
        // Done when a render met both targets; the least drive wins, as it
        // limits least. Out of rounds (or of new settings to try) short of
        // the aim, any render inside the tolerance will do.
        const double aim = round >= kMaxRounds || exhausted ? kLoudnessTolerance - 0.01 : kAim;
        found.reset();
        for (const Point& p : points) {
            const double g = peakAt(p);
            if (std::fabs(p.lufs - L) <= aim && !(g + p.output > T) &&
                (!found || p.drive < found->drive)) {
                found = p;
                found->truePeak = g + p.output;
            }
        }
        if (found && target.maxReductionDb && found->reduction > *target.maxReductionDb + 0.005) {
            throw ToolError(kExitTooMuchReduction,
                            "reaching " + targetText(target) + " needs " +
                                formatFixed(found->reduction, 2) + " dB of gain reduction; " +
                                "--max-reduction allows " + formatFixed(*target.maxReductionDb, 2) +
                                " dB; nothing was written");
        }
        if (found) {
            // The written render reads every figure, the BS.1770 true peak
            // among them; over the target by it, that reading counts for
            // this drive and the search goes on.
            result.driveDb = found->drive;
            result.outputDb = found->output;
            RenderOptions final = candidateOptions(base, found->drive, found->output);
            final.measureInput = false;
            for (size_t i = 0; i < keptSettings.size(); ++i) {
                if (keptSettings[i].first == found->drive &&
                    keptSettings[i].second == found->output) {
                    final.replay = kept[i];
                }
            }
            final.progressLabel =
                (base.progressLabel.empty() ? "" : base.progressLabel + ": ") + "writing";
            final.beforeCommit = [&](const RenderReport& r) {
                if (std::fabs(r.out.loudnessLufs - L) <= kLoudnessTolerance &&
                    r.out.highestTruePeakDb() <= T) {
                    return;
                }
                // The plug-in is deterministic, so only a meter the search
                // had not read can disagree with it.
                if (std::fabs(r.out.loudnessLufs - found->lufs) < 1e-6 &&
                    r.out.highestTruePeakDb() > T) {
                    throw PeakOver{r.out.highestTruePeakDb()};
                }
                throw ToolError(kExitFailure,
                                "the final render measured " + formatFixed(r.out.loudnessLufs, 2) +
                                    " LUFS at " + signedDb(r.out.highestTruePeakDb()) +
                                    " dBTP, unlike the search's; nothing was written");
            };
            inputFigures();
            const auto t0 = std::chrono::steady_clock::now();
            ++result.times.finalRenders;
            try {
                result.report = render(final);
                result.times.final += secondsSince(t0);
                result.report.in = inputStats;
                break;
            } catch (const PeakOver& over) {
                result.times.final += secondsSince(t0);
                Point seen = *found;
                seen.truePeak = over.truePeak;
                addPoint(seen);
                found.reset();
            }
        }
        if (round >= kMaxRounds || exhausted) break;

        // Loudness only rises with drive, and so does the limiting: a render
        // that was still too quiet at the current Output bounds the gain
        // reduction any solution needs from below.
        if (target.maxReductionDb) {
            for (const Point& p : points) {
                if (p.f() + output <= L && p.reduction > *target.maxReductionDb + 0.005) {
                    throw ToolError(kExitTooMuchReduction,
                                    "reaching " + targetText(target) + " needs at least " +
                                        formatFixed(p.reduction, 2) +
                                        " dB of gain reduction (Drive " + signedDb(p.drive) +
                                        " dB is not yet loud enough); --max-reduction " +
                                        "allows " + formatFixed(*target.maxReductionDb, 2) +
                                        " dB; nothing was written");
                }
            }
        }

        // Where the render nearest the loudness target overshoots the true
        // peak, the limiter alone cannot hold it: lower the ceiling by the
        // overshoot and find the drive again.
        const Point* nearest = nearestToTarget();
        const double g = peakAt(*nearest);
        if (std::fabs(nearest->f() + output - L) <= 1.0 && !std::isnan(g) && g + output > T) {
            // Lowering Output asks for more drive to stay as loud, and more
            // drive raises the true peak again, by `rise` dB per dB of
            // loudness where two renders have measured it: lower it by that
            // much more, so the search does not chase the peak up in small
            // steps.
            double rise = 0.0;
            const Point* other = nullptr;
            for (const Point& p : points) {
                // Only near its drive: from the unlimited to the limited
                // region the peak's behaviour changes.
                if (std::isnan(p.truePeak) || std::fabs(p.drive - nearest->drive) < 0.05 ||
                    std::fabs(p.drive - nearest->drive) > 2.0) {
                    continue;
                }
                if (other == nullptr || std::fabs(p.drive - nearest->drive) <
                                            std::fabs(other->drive - nearest->drive)) {
                    other = &p;
                }
            }
            if (other != nullptr && std::fabs(other->f() - nearest->f()) > 0.05) {
                rise = std::clamp((g - other->g()) / (nearest->f() - other->f()), 0.0, 0.5);
            }
            const double excess = g + output - T;
            ++peakCorrections;
            output = std::min(output, output - excess / (1.0 - rise) -
                                          kPeakMargin * static_cast<double>(peakCorrections));
            peakNote = " (Output came down to " + signedDb(output) +
                       " dB because true peaks pass the limiter's ceiling by up to " +
                       formatFixed(g, 2) +
                       " dB; where it is off, the plug-in's \"Oversample\" detector "
                       "(--set Oversample=1) holds more of them)";
            if (output < kOutputMinDb) {
                unreachable("cannot reach " + targetText(target) + ": at Drive " +
                            signedDb(nearest->drive) + " dB the true peak stands " +
                            formatFixed(g - nearest->f(), 2) +
                            " dB above the loudness, more than Output's range can take");
            }
        }
        // Interpolate the drive for loudness L - output between the renders
        // either side of it, or extrapolate from the nearest ones.
        const double y = L - output;
        const Point *below = nullptr, *above = nullptr;
        for (const Point& p : points) {
            if (p.f() < y && (below == nullptr || p.f() > below->f())) below = &p;
            if (p.f() >= y && (above == nullptr || p.f() < above->f())) above = &p;
        }
        auto slopeNear = [&](const Point& near) {
            // From the render next to `near` in drive, on the same side.
            const Point* other = nullptr;
            for (const Point& p : points) {
                if (std::fabs(p.drive - near.drive) < kSame) continue;
                if (other == nullptr ||
                    std::fabs(p.drive - near.drive) < std::fabs(other->drive - near.drive)) {
                    other = &p;
                }
            }
            if (other == nullptr) return 1.0;
            return std::clamp((near.f() - other->f()) / (near.drive - other->drive), 0.1, 1.0);
        };
        double p = 0.0, hedge = 0.0;
        if (below != nullptr && above != nullptr) {
            if (above->drive > below->drive && above->f() > below->f()) {
                p = below->drive +
                    (y - below->f()) * (above->drive - below->drive) / (above->f() - below->f());
            } else {
                p = 0.5 * (below->drive + above->drive);
            }
            // Loudness bends down as the limiting grows, so the chord lies
            // under the curve and the root sits on the quiet side of p.
            hedge = p - 0.25 * (p - below->drive);
        } else if (below != nullptr) {
            // More drive that made it quieter: the limiting now takes more
            // loudness than the drive adds, and no drive gets louder.
            for (const Point& q : points) {
                if (q.drive > below->drive + 0.5 && q.f() < below->f()) {
                    unreachable("cannot reach " + targetText(target) +
                                ": the output is loudest at Drive " + signedDb(below->drive) +
                                " dB, with " + formatFixed(below->f() + output, 2) +
                                " LUFS; more drive only limits it harder" + peakNote);
                }
            }
            p = below->drive + (y - below->f()) / slopeNear(*below);
            if (p > kDriveMaxDb && below->drive >= kDriveMaxDb - kSame) {
                unreachable("cannot reach " + targetText(target) +
                            ": with Drive at its maximum of +" + formatFixed(kDriveMaxDb, 2) +
                            " dB the output reaches only " + formatFixed(below->f() + output, 2) +
                            " LUFS" + peakNote);
            }
            hedge = p + 0.3 * (p - below->drive);
        } else {
            p = above->drive - (above->f() - y) / slopeNear(*above);
            if (p < -kDriveMaxDb && above->drive <= -kDriveMaxDb + kSame) {
                // Too loud even at the least drive: the rest must come off
                // the ceiling.
                output = L - above->f();
                if (output < kOutputMinDb) {
                    unreachable("cannot reach " + targetText(target) + ": even at Drive -" +
                                formatFixed(kDriveMaxDb, 2) + " dB and Output " +
                                formatFixed(kOutputMinDb, 2) + " dB the output is " +
                                formatFixed(above->f() + kOutputMinDb, 2) + " LUFS");
                }
            }
            hedge = p + 0.3 * (above->drive - p);
        }
        p = clampDrive(p);
        if (std::fabs(hedge - p) < 0.03) hedge = p + (hedge >= p ? 0.03 : -0.03);
        hedge = clampDrive(hedge);

        std::vector<std::pair<double, double>> next;
        auto add = [&](double d) {
            for (const Point& q : points) {
                if (std::fabs(q.drive - d) < kSame && std::fabs(q.output - output) < kSame) return;
            }
            for (const auto& s : next) {
                if (std::fabs(s.first - d) < kSame) return;
            }
            next.emplace_back(d, output);
        };
        add(p);
        add(hedge);
        if (next.empty()) {
            exhausted = true;  // nothing new to try: the curve is not monotonic here
        } else {
            run(next);
        }
    }

    if (found) return result;
    inputFigures();
    // The closest render that kept the peak target, else any.
    const Point* best = nullptr;
    for (const Point& p : points) {
        const double g = peakAt(p);
        const bool kept = !std::isnan(g) && g + p.output <= T;
        const bool bestKept =
            best != nullptr && !std::isnan(peakAt(*best)) && peakAt(*best) + best->output <= T;
        const bool better = best == nullptr || kept > bestKept ||
                            (kept == bestKept && std::fabs(p.lufs - L) < std::fabs(best->lufs - L));
        if (better) best = &p;
    }
    const double bestPeak = peakAt(*best);
    unreachable("no setting met " + targetText(target) + " within " +
                std::to_string(points.size()) + " renders; the closest was " +
                formatFixed(best->lufs, 2) + " LUFS at " +
                (std::isnan(bestPeak) ? std::string("an unmeasured true peak")
                                      : signedDb(bestPeak + best->output) + " dBTP") +
                " (Drive " + signedDb(best->drive) + " dB, Output " + signedDb(best->output) +
                " dB)" + peakNote);
}

}  // namespace zelto
