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
#include "tools/analysis/Mastering.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <thread>

#include "tools/audio/AudioFile.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"
#include "tools/hosting/PresetSources.h"

namespace zelto {

namespace {

constexpr double kDbPerDoubling = 6.020599913279624;  // 20 log10(2)
constexpr double kAim = 0.05;         // LU: the search aims well inside the tolerance
constexpr double kPeakMargin = 0.05;  // dB under the true-peak target when Output moves
constexpr int kMaxRounds = 12;
constexpr double kSame = 1e-4;  // dB: settings closer than this are the same render

struct Point {
    double drive, output;  // dB
    double lufs, truePeak, reduction;
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

/// Renders each (drive, output) without writing, in parallel where the
/// machine has the cores; rethrows the first failure.
std::vector<RenderReport> renderCandidates(const RenderOptions& base,
                                           const std::vector<std::pair<double, double>>& settings,
                                           bool measureInput) {
    std::vector<RenderReport> reports(settings.size());
    std::vector<std::exception_ptr> errors(settings.size());
    auto one = [&](size_t i) {
        try {
            RenderOptions o = candidateOptions(base, settings[i].first, settings[i].second);
            o.measureOnly = true;
            o.measureInput = measureInput;
            // One bar for the search: the render on this thread speaks for
            // the ones beside it.
            o.progress = base.progress && i == 0;
            o.progressLabel =
                (base.progressLabel.empty() ? "" : base.progressLabel + ": ") + "searching";
            o.observer = nullptr;
            o.beforeCommit = nullptr;
            reports[i] = render(o);
        } catch (...) {
            errors[i] = std::current_exception();
        }
    };
    const bool parallel = std::thread::hardware_concurrency() >= 2;
    std::vector<std::thread> threads;
    for (size_t i = 1; i < settings.size(); ++i) {
        if (parallel) {
            threads.emplace_back(one, i);
        }
    }
    if (!settings.empty()) one(0);
    if (!parallel) {
        for (size_t i = 1; i < settings.size(); ++i) one(i);
    }
    for (auto& t : threads) t.join();
    for (auto& e : errors) {
        if (e) std::rethrow_exception(e);
    }
    return reports;
}

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
    return "render " + std::to_string(s.index) + ": Drive " + signedDb(s.driveDb) + " dB, Output " +
           signedDb(s.outputDb) + " dB -> " + formatFixed(s.lufs, 2) + " LUFS, " +
           signedDb(s.truePeakDb) + " dBTP, gain reduction " + formatFixed(s.gainReductionDb, 2) +
           " dB";
}

MasterResult master(const RenderOptions& base, const MasterTarget& target,
                    const std::function<void(const MasterStep&)>& onStep) {
    const double L = target.lufs, T = target.truePeakDb;
    double startDrive = 0.0, startOutput = 0.0;
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
    }

    MasterResult result;
    std::vector<Point> points;
    auto run = [&](const std::vector<std::pair<double, double>>& settings) {
        // Only the first render measures the input; the rest need not.
        const auto reports = renderCandidates(base, settings, result.steps.empty());
        for (size_t i = 0; i < reports.size(); ++i) {
            const RenderReport& r = reports[i];
            Point p{settings[i].first, settings[i].second, r.out.loudnessLufs, r.out.truePeakDb,
                    r.maxGainReductionDb.value_or(0.0)};
            points.push_back(p);
            MasterStep step{static_cast<int>(result.steps.size()) + 1,
                            p.drive,
                            p.output,
                            p.lufs,
                            p.truePeak,
                            p.reduction};
            result.steps.push_back(step);
            if (onStep) onStep(step);
            if (result.steps.size() == 1) result.inputLufs = r.in.loudnessLufs;
        }
    };

    // Round 0: the user's own starting point, with the ceiling no higher than
    // the true-peak target. It also measures the input.
    double output = std::clamp(std::min(startOutput, T), kOutputMinDb, 0.0);
    run({{clampDrive(startDrive), output}});
    if (!std::isfinite(result.inputLufs)) {
        unreachable("input '" + base.input +
                    "' has no measurable loudness (silent, or shorter than 0.4 s)");
    }
    if (!std::isfinite(points.front().lufs) || std::isnan(points.front().truePeak)) {
        unreachable("the plug-in's output has no measurable loudness at Drive " +
                    signedDb(startDrive) + " dB");
    }

    // Why Output had to come down, for the message if the target fails.
    std::string peakNote;
    const Point* found = nullptr;
    for (int round = 0;; ++round) {
        // Done when a render met both targets; the least drive wins, as it
        // limits least.
        for (const Point& p : points) {
            if (std::fabs(p.lufs - L) <= kAim && p.truePeak <= T &&
                (found == nullptr || p.drive < found->drive)) {
                found = &p;
            }
        }
        if (found != nullptr || round == kMaxRounds) break;

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
        const Point* nearest = &points.front();
        for (const Point& p : points) {
            if (std::fabs(p.f() + output - L) < std::fabs(nearest->f() + output - L)) nearest = &p;
        }
        if (std::fabs(nearest->f() + output - L) <= 1.0 && nearest->g() + output > T) {
            output = std::min(output, T - nearest->g() - kPeakMargin);
            peakNote = " (Output came down to " + signedDb(output) +
                       " dB because true peaks pass the limiter's ceiling by up to " +
                       formatFixed(nearest->g(), 2) +
                       " dB; where it is off, the plug-in's \"Oversample\" detector "
                       "(--set Oversample=1) holds more of them)";
            if (output < kOutputMinDb) {
                unreachable("cannot reach " + targetText(target) + ": at Drive " +
                            signedDb(nearest->drive) + " dB the true peak stands " +
                            formatFixed(nearest->g() - nearest->f(), 2) +
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
        if (next.empty()) break;  // nothing new to try: the curve is not monotonic here
        run(next);
    }

    // Out of rounds short of the aim: any render inside the tolerance will do.
    for (const Point& p : points) {
        if (found == nullptr && std::fabs(p.lufs - L) <= kLoudnessTolerance - 0.01 &&
            p.truePeak <= T) {
            found = &p;
        }
    }
    if (found == nullptr) {
        // The closest render that kept the peak target, else any.
        const Point* best = nullptr;
        for (const Point& p : points) {
            const bool better = best == nullptr || (p.truePeak <= T) > (best->truePeak <= T) ||
                                ((p.truePeak <= T) == (best->truePeak <= T) &&
                                 std::fabs(p.lufs - L) < std::fabs(best->lufs - L));
            if (better) best = &p;
        }
        unreachable("no setting met " + targetText(target) + " within " +
                    std::to_string(points.size()) + " renders; the closest was " +
                    formatFixed(best->lufs, 2) + " LUFS at " + signedDb(best->truePeak) +
                    " dBTP (Drive " + signedDb(best->drive) + " dB, Output " +
                    signedDb(best->output) + " dB)" + peakNote);
    }
    if (target.maxReductionDb && found->reduction > *target.maxReductionDb + 0.005) {
        throw ToolError(kExitTooMuchReduction,
                        "reaching " + targetText(target) + " needs " +
                            formatFixed(found->reduction, 2) + " dB of gain reduction; " +
                            "--max-reduction allows " + formatFixed(*target.maxReductionDb, 2) +
                            " dB; nothing was written");
    }

    result.driveDb = found->drive;
    result.outputDb = found->output;
    RenderOptions final = candidateOptions(base, found->drive, found->output);
    final.progressLabel = (base.progressLabel.empty() ? "" : base.progressLabel + ": ") + "writing";
    final.beforeCommit = [&](const RenderReport& r) {
        // The plug-in is deterministic, so this only trips if it is not:
        // the written file must be the one that was measured.
        if (std::fabs(r.out.loudnessLufs - L) > kLoudnessTolerance || !(r.out.truePeakDb <= T)) {
            throw ToolError(kExitFailure, "the final render measured " +
                                              formatFixed(r.out.loudnessLufs, 2) + " LUFS at " +
                                              signedDb(r.out.truePeakDb) +
                                              " dBTP, unlike the search's; nothing was written");
        }
    };
    result.report = render(final);
    return result;
}

}  // namespace zelto
