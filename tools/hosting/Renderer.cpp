// Offline rendering of one file through one plug-in; see Renderer.h.
//
// The host side of a process call: every pin gets its own buffer with guard
// zones on both sides; after each call the guards are checked, so a plug-in
// that writes outside the frames it was given is caught rather than silently
// corrupting the output or the heap.
#include "tools/hosting/Renderer.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include "core/ParameterText.h"
#include "core/Parameters.h"
#include "platform/FileIO.h"
#include "tools/audio/AudioFile.h"
#include "tools/common/ProcessSignals.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"

namespace zelto {

namespace {

constexpr int kGuard = 16;    // samples of guard zone on each side of a pin buffer
constexpr int kMaxPins = 64;  // more than any sane effect declares
constexpr double kMaxLatencySeconds = 10.0;

template <typename T>
struct Canary;
template <>
struct Canary<float> {
    static constexpr uint32_t bits = 0x7FC0DEADu;  // a quiet NaN no plug-in computes
};
template <>
struct Canary<double> {
    static constexpr uint64_t bits = 0x7FF8DEADBEEFCAFEull;
};

/// Per-pin sample buffers of one block with guard zones around each.
template <typename T>
class PinBuffers {
  public:
    PinBuffers(int pins, int block)
        : pins_(pins),
          stride_(static_cast<size_t>(block) + 2 * kGuard),
          storage_(static_cast<size_t>(pins) * stride_),
          pointers_(static_cast<size_t>(pins) + 1) {
        for (int p = 0; p < pins; ++p) {
            pointers_[static_cast<size_t>(p)] = data(p);
            arm(data(p) - kGuard, kGuard);
        }
    }
    T* data(int pin) { return storage_.data() + static_cast<size_t>(pin) * stride_ + kGuard; }
    T** pointers() { return pointers_.data(); }
    void disconnect(int pin) { pointers_[static_cast<size_t>(pin)] = nullptr; }

    /// Guards the frames right after this call's block, wherever it ends.
    void armAfter(int frames) {
        for (int p = 0; p < pins_; ++p) arm(data(p) + frames, kGuard);
    }
    /// Describes the first write outside [0, frames) of any pin, or "".
    std::string violation(int frames, const char* kind) {
        for (int p = 0; p < pins_; ++p) {
            for (int k = 1; k <= kGuard; ++k) {
                if (!intact(data(p) - k)) {
                    return "plug-in wrote " + std::to_string(k) +
                           " sample(s) before the start of " + kind + " buffer " +
                           std::to_string(p);
                }
            }
            for (int k = 0; k < kGuard; ++k) {
                if (!intact(data(p) + frames + k)) {
                    return "plug-in wrote past the end of " + std::string(kind) + " buffer " +
                           std::to_string(p) + " (at frame " + std::to_string(frames + k) +
                           " of a " + std::to_string(frames) + "-frame block)";
                }
            }
        }
        return {};
    }

  private:
    static void arm(T* at, int n) {
        for (int i = 0; i < n; ++i) std::memcpy(at + i, &Canary<T>::bits, sizeof(T));
    }
    static bool intact(const T* at) { return std::memcmp(at, &Canary<T>::bits, sizeof(T)) == 0; }

    int pins_;
    size_t stride_;
    std::vector<T> storage_;
    std::vector<T*> pointers_;
};

// The CPU time of the rendering thread, where the plug-in's process calls
// run: the meters measure on threads of their own beside it, and a process
// clock would charge their work to the plug-in.
double cpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

class ProgressBar {
  public:
    ProgressBar(bool wanted, int64_t totalFrames, int sampleRate, const std::string& label)
        : total_(totalFrames),
          label_(label.empty() ? "rendering" : label),
          on_(wanted && isatty(STDERR_FILENO) && totalFrames > 10LL * sampleRate) {}
    ~ProgressBar() {
        if (on_ && shown_ >= 0) std::fputs("\r\033[K", stderr);
    }
    void update(int64_t done) {
        if (!on_) return;
        const int pct = static_cast<int>(std::min<int64_t>(100, done * 100 / total_));
        if (pct == shown_) return;
        shown_ = pct;
        char bar[41];
        const int filled = pct * 40 / 100;
        for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
        bar[40] = '\0';
        std::fprintf(stderr, "\rzelto: %s [%s] %3d%%", label_.c_str(), bar, pct);
        std::fflush(stderr);
    }

  private:
    int64_t total_;
    std::string label_;
    bool on_;
    int shown_ = -1;
};

ToolError truncatedInput(const std::string& path, int64_t announced, int64_t present) {
    return ToolError(kExitInput, "input '" + path + "' is truncated: its header announces " +
                                     std::to_string(announced) + " frames but it holds " +
                                     std::to_string(present) +
                                     "; nothing was written (--allow-short-input renders what "
                                     "is there)");
}

/// The processing loop for one sample type. Reads, processes, measures and
/// writes block by block so memory does not grow with the file.
template <typename T, typename Reader>
void renderLoop(const RenderOptions& opt, PluginHost& host, Reader& reader, AudioWriter* writer,
                bool pcm, RenderReport& rep) {
    const int ch = reader.channels();
    const int block = opt.block;
    const AEffect& fx = host.effect();
    PinBuffers<T> ins(std::max(fx.numInputs, 2), block);
    PinBuffers<T> outs(std::max(fx.numOutputs, 2), block);
    const bool monoNull = ch == 1 && !opt.monoDual;
    if (monoNull) {
        // A mono file is a one-in, one-out connection: the second pins have
        // no buffers, and the callback says they are not connected.
        ins.disconnect(1);
        outs.disconnect(1);
    }
    for (int p = fx.numInputs; p < 2; ++p) ins.disconnect(p);
    for (int p = fx.numOutputs; p < 2; ++p) outs.disconnect(p);
    host.setConnectedPins(opt.monoDual ? 2 : ch, opt.monoDual ? 2 : ch);

    if (opt.observer != nullptr) opt.observer->begin(ch, reader.sampleRate());
    // A kept output is all there already: its BS.1770 true peak, the
    // slowest figure, is measured in parts on every core while the rest is
    // measured and written here, instead of beside this loop.
    const bool replayPeak = opt.replay && opt.meters == SignalMeter::Detail::Full;
    std::optional<double> replayBs1770;
    std::jthread replayPeakThread;
    if (replayPeak) {
        replayPeakThread = std::jthread([&replayBs1770, &opt, ch, rate = reader.sampleRate()] {
            replayBs1770 = bs1770TruePeakDb(opt.replay->output, ch, rate, 8);
        });
    }
    SignalMeter inMeter(ch, reader.sampleRate(), rep.ceilingDb, opt.meters);
    // Its accurate true peak was read by the render that kept it.
    const bool peakKnown = replayPeak && !std::isnan(opt.replay->truePeakDb);
    SignalMeter outMeter(ch, reader.sampleRate(), rep.ceilingDb,
                         peakKnown    ? SignalMeter::Detail::LoudnessFigures
                         : replayPeak ? SignalMeter::Detail::Figures
                                      : opt.meters,
                         opt.metersOnThread);
    std::vector<double> inFrames(static_cast<size_t>(block) * static_cast<size_t>(ch));
    std::vector<double> outFrames(static_cast<size_t>(block) * static_cast<size_t>(ch));
    ProgressBar progress(opt.progress, reader.declaredFrames(), reader.sampleRate(),
                         opt.progressLabel);

    const int64_t maxLatency = static_cast<int64_t>(kMaxLatencySeconds * reader.sampleRate());
    int64_t totalRead = 0, written = 0, fed = 0;
    int64_t dropLeft = 0, tailLeft = 0;
    bool eof = false, started = false, latencyWarned = false;
    double cpu = 0.0;
    // Measured, seen, clipped for PCM and written: every output block.
    auto emit = [&](int keep) {
        outMeter.add(outFrames.data(), keep);
        if (opt.observer != nullptr) opt.observer->output(outFrames.data(), keep);
        if (pcm) {
            for (int i = 0; i < keep * ch; ++i) {
                double& y = outFrames[static_cast<size_t>(i)];
                if (y > 1.0 || y < -1.0) {
                    y = std::clamp(y, -1.0, 1.0);
                    ++rep.clippedSamples;
                }
            }
        }
        if (writer != nullptr) writer->write(outFrames.data(), keep);
        written += keep;
    };
    if (opt.capture != nullptr) {
        opt.capture->output.clear();
        opt.capture->output.reserve(static_cast<size_t>(reader.declaredFrames()) *
                                    static_cast<size_t>(ch));
    }
    const CapturedRender* replay = opt.replay.get();
    if (replay) {
        // The output is already aligned: no latency to drop, no tail to run.
        started = true;
        rep.latency = replay->latency;
        rep.maxGainReductionDb = replay->maxGainReductionDb;
    }

    for (;;) {
        if (interruptRequested()) {
            throw ToolError(kExitInterrupted, "interrupted; '" + opt.output + "' was not written");
        }
        int n = 0;
        if (!eof) {
            const int64_t got = reader.read(inFrames.data(), block);
            for (int64_t i = 0; i < got * ch; ++i) {
                if (!std::isfinite(inFrames[static_cast<size_t>(i)])) {
                    throw ToolError(kExitInput, "input '" + opt.input +
                                                    "' holds a non-finite sample at frame " +
                                                    std::to_string(totalRead + i / ch));
                }
            }
            if (opt.measureInput) inMeter.add(inFrames.data(), got);
            if (opt.observer != nullptr) opt.observer->input(inFrames.data(), got);
            n = static_cast<int>(got);
            totalRead += got;
            if (got < block) eof = true;
            // A replayed output needs the input only counted, not fed.
            if (replay == nullptr) {
                for (int c = 0; c < ch; ++c) {
                    T* dst = ins.data(c);
                    for (int i = 0; i < n; ++i) {
                        dst[i] = static_cast<T>(inFrames[static_cast<size_t>(i * ch + c)]);
                    }
                }
            }
        }
        // The latency is only known after the first call, so the zero tail
        // that flushes the delayed audio starts in the blocks after it.
        if (eof && started && tailLeft > 0) {
            const int add = static_cast<int>(std::min<int64_t>(block - n, tailLeft));
            for (int c = 0; c < ch; ++c) std::fill(ins.data(c) + n, ins.data(c) + n + add, T(0));
            n += add;
            tailLeft -= add;
        }
        if (n == 0) break;
        if (ch == 1 && opt.monoDual) std::copy(ins.data(0), ins.data(0) + n, ins.data(1));
        // Pins beyond the file's channels (side chains and the like) get
        // silence, renewed every block in case the plug-in wrote into them.
        for (int p = 2; p < fx.numInputs; ++p) std::fill(ins.data(p), ins.data(p) + n, T(0));
        if (replay) {
            const auto at = static_cast<size_t>(written) * static_cast<size_t>(ch);
            const auto count = static_cast<size_t>(n) * static_cast<size_t>(ch);
            if (at + count > replay->output.size()) {
                throw ToolError(kExitFailure,
                                "internal error: the kept render is shorter than the input");
            }
            std::copy(replay->output.begin() + static_cast<std::ptrdiff_t>(at),
                      replay->output.begin() + static_cast<std::ptrdiff_t>(at + count),
                      outFrames.begin());
            emit(n);
            progress.update(totalRead);
            continue;
        }
        ins.armAfter(n);
        outs.armAfter(n);

        const double t0 = cpuNow();
        host.process(ins.pointers(), outs.pointers(), n);
        cpu += cpuNow() - t0;
        fed += n;
        if (rep.ours) {
            // The meters hold the lowest gain since the last read.
            if (const auto gain = readMeterGain(host); gain && *gain > 0.0) {
                const double reduction = -20.0 * std::log10(*gain);
                if (!rep.maxGainReductionDb || reduction > *rep.maxGainReductionDb) {
                    rep.maxGainReductionDb = std::max(0.0, reduction);
                }
                if (opt.observer != nullptr) {
                    opt.observer->gainReduction(fed - n, n, std::max(0.0, reduction));
                }
            }
        }

        if (auto v = outs.violation(n, "output"); !v.empty()) throw ToolError(kExitFailure, v);
        if (auto v = ins.violation(n, "input"); !v.empty()) throw ToolError(kExitFailure, v);

        const int latency = host.latency();
        if (!started) {
            started = true;
            rep.latency = latency;
            if (opt.compensate) {
                if (latency < 0 || latency > maxLatency) {
                    throw ToolError(kExitUnsupported, "plug-in reports an implausible latency of " +
                                                          std::to_string(latency) +
                                                          " samples; render with --no-compensate");
                }
                dropLeft = latency;
                tailLeft = latency;
            }
        } else if (latency != rep.latency && !latencyWarned) {
            latencyWarned = true;
            rep.warnings.push_back("plug-in changed its latency from " +
                                   std::to_string(rep.latency) + " to " + std::to_string(latency) +
                                   " samples while rendering; the output is aligned to the first");
        }

        // Drop the first `latency` frames, then keep no more than was read.
        const int skip = static_cast<int>(std::min<int64_t>(dropLeft, n));
        dropLeft -= skip;
        const int keep = static_cast<int>(std::min<int64_t>(n - skip, totalRead - written));
        if (keep > 0) {
            for (int c = 0; c < ch; ++c) {
                const T* src = outs.data(c) + skip;
                for (int i = 0; i < keep; ++i) {
                    const double y = static_cast<double>(src[i]);
                    if (!std::isfinite(y)) {
                        throw ToolError(kExitFailure, "plug-in produced a non-finite sample (" +
                                                          formatFixed(y, 0) + ") at output frame " +
                                                          std::to_string(written + i) +
                                                          ", channel " + std::to_string(c) +
                                                          "; nothing was written");
                    }
                    outFrames[static_cast<size_t>(i * ch + c)] = y;
                }
            }
            if (opt.capture != nullptr) {
                opt.capture->output.insert(opt.capture->output.end(), outFrames.begin(),
                                           outFrames.begin() + keep * ch);
            }
            emit(keep);
        }
        progress.update(totalRead);
    }

    if (written != totalRead) {
        throw ToolError(kExitFailure, "internal error: wrote " + std::to_string(written) +
                                          " frames for " + std::to_string(totalRead) + " read");
    }
    const int64_t announced = reader.announcedFrames().value_or(reader.declaredFrames());
    if (announced > totalRead) {
        if (!opt.allowShortInput) throw truncatedInput(opt.input, announced, totalRead);
        rep.announcedFrames = announced;
        rep.warnings.push_back("input '" + opt.input + "' is truncated: rendered the " +
                               std::to_string(totalRead) + " frames it holds of the " +
                               std::to_string(announced) + " its header announces");
    } else if (announced != totalRead) {
        rep.warnings.push_back("input '" + opt.input + "' announces " + std::to_string(announced) +
                               " frames but holds " + std::to_string(totalRead));
    }
    rep.inputFrames = totalRead;
    rep.outputFrames = written;
    rep.in = inMeter.stats();
    rep.out = outMeter.stats();
    if (replayPeak) {
        replayPeakThread.join();
        rep.out.bs1770TruePeakDb = std::max(*replayBs1770, rep.out.samplePeakDb);
        if (peakKnown) rep.out.truePeakDb = opt.replay->truePeakDb;
    }
    if (opt.delivery) {
        rep.delivery = opt.delivery;
        rep.verdict = judgeDelivery(*opt.delivery, rep.out);
    }
    rep.cpuSeconds = cpu;
    const double seconds = static_cast<double>(totalRead) / reader.sampleRate();
    rep.realtimeFactor = cpu > 0.0 ? seconds / cpu : 0.0;
    rep.nsPerFrame = fed > 0 ? cpu * 1e9 / static_cast<double>(fed) : 0.0;
    if (replay) {
        rep.cpuSeconds = replay->cpuSeconds;
        rep.realtimeFactor = replay->realtimeFactor;
        rep.nsPerFrame = replay->nsPerFrame;
    }
    if (opt.capture != nullptr) {
        opt.capture->latency = rep.latency;
        opt.capture->maxGainReductionDb = rep.maxGainReductionDb;
        opt.capture->truePeakDb = rep.out.truePeakDb;
        opt.capture->cpuSeconds = rep.cpuSeconds;
        opt.capture->realtimeFactor = rep.realtimeFactor;
        opt.capture->nsPerFrame = rep.nsPerFrame;
    }
}

/// Whether PCM output is dithered: as asked, else TPDF unless our plug-in's
/// own requantizer already put every sample on the output's grid (it works
/// at its Bits setting, outside the calibration path).
Dither chooseDither(const RenderOptions& opt, PluginHost& host, const OutputFormat& format,
                    RenderReport& rep) {
    const int outBits = sampleBits(format.samples);
    if (format.samples == SampleFormat::Float) {
        rep.dither = "none";
        rep.ditherNote = "float output";
        return Dither::None;
    }
    if (!opt.dither.empty()) {
        rep.dither = opt.dither;
        if (opt.dither == "none") rep.ditherNote = "asked for";
        return opt.dither == "tpdf" ? Dither::Tpdf : Dither::None;
    }
    if (isOurPlugin(host)) {
        auto step = [&](int index) {
            return stepFromValue(host.getParameter(index),
                                 kParamInfo[static_cast<size_t>(index)].steps);
        };
        const int quantizerBits = step(kParamBits) == 0 ? 8 : step(kParamBits) == 1 ? 16 : 24;
        if (step(kParamQuantize) != 0 && step(kParamCalibrate) == 0 && quantizerBits <= outBits) {
            rep.dither = "none";
            rep.ditherNote =
                "the plug-in requantizes to " + std::to_string(quantizerBits) + " bits";
            return Dither::None;
        }
    }
    rep.dither = "tpdf";
    return Dither::Tpdf;
}

template <typename Reader>
RenderReport renderFrom(const RenderOptions& opt, Reader& reader) {
    RenderReport rep;
    rep.input = opt.input;
    rep.output = opt.output;
    rep.plugin = opt.plugin;
    rep.block = opt.block;
    rep.doublePrecision = opt.useDouble;
    rep.compensated = opt.compensate;
    rep.ceilingSet = opt.ceilingDb.has_value();
    rep.ceilingDb = opt.countAboveDb.value_or(opt.ceilingDb.value_or(0.0));
    if (opt.dither != "" && opt.dither != "none" && opt.dither != "tpdf") {
        throw ToolError(kExitUsage, "--dither takes none or tpdf, not '" + opt.dither + "'");
    }
    ParameterUnit ceilingRange{};
    settingUnit(kParamOutput, ceilingRange);
    // As for --set Output=: the range shown to two decimals is accepted.
    if (opt.ceilingDb && !(*opt.ceilingDb >= ceilingRange.lowest - 0.005 &&
                           *opt.ceilingDb <= ceilingRange.highest)) {
        throw ToolError(kExitUsage, "--ceiling takes " + formatFixed(ceilingRange.lowest, 2) +
                                        " to 0 dB (the range of the limiter's Output), not " +
                                        formatFixed(*opt.ceilingDb, 2));
    }

    if (const auto announced = reader.announcedFrames(); announced && !opt.allowShortInput) {
        throw truncatedInput(opt.input, *announced, reader.declaredFrames());
    }
    OutputFormat format = chooseOutputFormat(opt.output, opt.format, reader.sndfileFormat());
    rep.channels = reader.channels();
    rep.sampleRate = reader.sampleRate();
    rep.outputFormat = format.container + " " + sampleFormatName(format.samples);
    rep.outputBits = sampleBits(format.samples);

    PluginHost host(opt.plugin);
    const AEffect& fx = host.effect();
    rep.effectName = host.effectName();
    rep.uniqueId = fourCC(fx.uniqueID);
    rep.ours = fx.uniqueID == CCONST('K', 'R', 'z', 't');
    const int ch = reader.channels();
    const int needIn = opt.monoDual ? 2 : ch;
    if (fx.numInputs < needIn || fx.numOutputs < ch || fx.numInputs > kMaxPins ||
        fx.numOutputs > kMaxPins) {
        throw ToolError(kExitUnsupported, "plug-in has " + std::to_string(fx.numInputs) +
                                              " inputs and " + std::to_string(fx.numOutputs) +
                                              " outputs; it cannot render a " +
                                              (ch == 1 ? "mono" : "stereo") + " file");
    }
    if (opt.useDouble && !host.canDoubleReplacing()) {
        throw ToolError(kExitUnsupported,
                        "plug-in does not process double precision (no "
                        "effFlagsCanDoubleReplacing); render without --double");
    }
    if (!opt.useDouble && !host.canReplacing()) {
        throw ToolError(kExitUnsupported, "plug-in has no processReplacing");
    }

    applyPresetSources(host, opt.presets);
    if (rep.ours) {
        const int program = currentProgram(host);
        rep.program = std::to_string(program) + " " + host.programName();
    }
    applyParameterSets(host, opt.sets);
    std::vector<int> changed;
    for (const auto& set : opt.sets) changed.push_back(host.findParameter(set.name));
    format.dither = chooseDither(opt, host, format, rep);
    if (opt.ceilingDb) {
        // The limiter's Output is its ceiling: the loudest sample it lets out.
        if (!isOurPlugin(host)) {
            throw ToolError(kExitUnsupported,
                            "--ceiling sets the KRW Zelto limiter's Output; '" + opt.plugin +
                                "' is another plug-in (--count-above DB only counts samples)");
        }
        host.setParameter(kParamOutput, valueFromSettingUnits(kParamOutput, *opt.ceilingDb));
        format.ceiling = std::pow(10.0, *opt.ceilingDb / 20.0);
        changed.push_back(kParamOutput);
    }
    for (const int index : changed) {
        rep.settings.push_back({index, host.paramName(index),
                                static_cast<double>(host.getParameter(index)),
                                host.paramDisplay(index)});
    }

    // Open the output before any audio runs so an unwritable destination
    // fails at once rather than after the whole file has been processed.
    std::optional<AudioWriter> writer;
    if (!opt.measureOnly) {
        writer.emplace(opt.output, format, ch, reader.sampleRate(), reader.declaredFrames());
        if (opt.keepTags) {
            const AudioTags tags = reader.tags();
            const std::vector<std::string> dropped = writer->setTags(tags);
            for (const auto& [id, text] : tags.strings) {
                const std::string name = tagName(id);
                if (std::find(dropped.begin(), dropped.end(), name) == dropped.end()) {
                    rep.tags.push_back(name);
                }
            }
            if (tags.broadcast &&
                std::find(dropped.begin(), dropped.end(), "broadcast info") == dropped.end()) {
                rep.tags.push_back("broadcast info");
            }
            if (!dropped.empty()) {
                std::string list;
                for (const auto& d : dropped) list += (list.empty() ? "" : ", ") + d;
                rep.warnings.push_back(format.container + " output cannot hold the input's " +
                                       list + "; left out");
            }
        }
    }

    host.setSampleRate(reader.sampleRate());
    host.setBlockSize(opt.block);
    if (opt.useDouble) host.setPrecision64(true);
    host.resume();
    const bool pcm = format.samples != SampleFormat::Float;
    // Plug-ins written for hosts that always connect every pin may crash on
    // the null buffers of a mono render; say how to avoid that if they do.
    setCrashNote(ch == 1 && !opt.monoDual
                     ? "inside the plug-in while it processed a mono file with its second pins "
                       "unconnected (try --mono-dual)"
                     : "inside the plug-in while it processed audio");
    if (opt.useDouble) {
        renderLoop<double>(opt, host, reader, writer ? &*writer : nullptr, pcm, rep);
    } else {
        renderLoop<float>(opt, host, reader, writer ? &*writer : nullptr, pcm, rep);
    }
    host.suspend();
    setCrashNote(nullptr);
    if (opt.beforeCommit) opt.beforeCommit(rep);
    if (writer) writer->commit();
    return rep;
}

}  // namespace

RenderReport render(const RenderOptions& opt) {
    // Replacing the input with its own render would destroy the source while
    // it is still being read, whatever name the output was given.
    auto replacesInput = [&] { return !opt.measureOnly && sameFile(opt.input, opt.output); };
    if (opt.clip) {
        if (replacesInput()) {
            throw ToolError(kExitUsage, "output '" + opt.output + "' is the input file '" +
                                            opt.input + "'; choose another output name");
        }
        ClipReader reader(*opt.clip);
        return renderFrom(opt, reader);
    }
    AudioReader reader(opt.input);
    if (sameFile(opt.input, opt.output)) {
        throw ToolError(kExitUsage, "output '" + opt.output + "' is the input file '" + opt.input +
                                        "'; choose another output name");
    }
    return renderFrom(opt, reader);
}

namespace {

std::string db(double v, const char* unit) {
    if (std::isnan(v)) return "n/a";
    // Far beyond any real signal the exact figure means nothing (and the
    // true-peak interpolator overflows to infinity on its way there).
    if (v > 200.0) return std::string("> +200 ") + unit;
    std::string s = formatFixed(v, 2);
    if (v > 0.0 && s != "0.00") s = "+" + s;
    return s + " " + unit;
}

std::string joined(const std::vector<std::string>& names) {
    std::string s;
    for (const auto& n : names) s += (s.empty() ? "" : ", ") + n;
    return s;
}

/// A range or a ratio: never signed.
std::string amount(double v, const char* unit) {
    return std::isfinite(v) ? formatFixed(v, 2) + " " + unit : std::string("n/a");
}

void statsJson(JsonWriter& j, const LevelStats& s) {
    j.value("samplePeakDbfs", s.samplePeakDb);
    j.value("truePeakDbtp", s.truePeakDb);
    j.value("bs1770TruePeakDbtp", s.bs1770TruePeakDb);
    j.value("loudnessLufs", s.loudnessLufs);
    j.value("loudnessRangeLu", s.loudnessRangeLu);
    j.value("maxMomentaryLufs", s.maxMomentaryLufs);
    j.value("maxShortTermLufs", s.maxShortTermLufs);
    j.value("peakToLoudnessRatioDb", s.peakToLoudnessDb());
    j.value("samplesAboveCeiling", s.overCeiling);
}

}  // namespace

std::string reportText(const RenderReport& r) {
    std::string t;
    char line[512];
    auto add = [&](const std::string& s) { t += s + "\n"; };
    add("Plug-in          " + r.effectName + " (" + r.uniqueId + ") " + r.plugin);
    const double seconds = r.sampleRate > 0 ? static_cast<double>(r.inputFrames) / r.sampleRate : 0;
    add("Input            " + r.input + " (" + std::to_string(r.channels) + " ch, " +
        std::to_string(r.sampleRate) + " Hz, " + std::to_string(r.inputFrames) + " frames, " +
        formatFixed(seconds, 3) + " s)");
    if (r.announcedFrames > r.inputFrames) {
        add("Short input      truncated: its header announces " +
            std::to_string(r.announcedFrames) + " frames; rendered the " +
            std::to_string(r.inputFrames) + " it holds");
    }
    add("Output           " + r.output + " (" + r.outputFormat + ", " +
        std::to_string(r.outputFrames) + " frames)");
    add("Written as       " + std::to_string(r.outputBits) +
        (r.outputBits == 32 ? "-bit float" : "-bit PCM") + ", dither " +
        (r.dither == "tpdf" ? std::string("TPDF") : r.dither) +
        (r.ditherNote.empty() ? "" : " (" + r.ditherNote + ")") + ", tags " +
        (r.tags.empty() ? std::string("none") : joined(r.tags)));
    add("Processing       block " + std::to_string(r.block) + ", " +
        (r.doublePrecision ? "double" : "single") + " precision, latency " +
        std::to_string(r.latency) + " samples " +
        (r.compensated ? "compensated" : "not compensated"));
    if (!r.program.empty()) add("Preset           " + r.program);
    for (const auto& s : r.settings) {
        add("Parameter        " + std::to_string(s.index) + " " + s.name + " = " +
            formatFixed(s.value, 4) + " (" + s.display + ")");
    }
    std::snprintf(line, sizeof line, "%-16s %-16s %s", "", "input", "output");
    add(line);
    auto row = [&](const char* label, const std::string& a, const std::string& b) {
        std::snprintf(line, sizeof line, "%-16s %-16s %s", label, a.c_str(), b.c_str());
        add(line);
    };
    row("Sample peak", db(r.in.samplePeakDb, "dBFS"), db(r.out.samplePeakDb, "dBFS"));
    row("True peak", db(r.in.truePeakDb, "dBTP"), db(r.out.truePeakDb, "dBTP"));
    row("  BS.1770 meter", db(r.in.bs1770TruePeakDb, "dBTP"), db(r.out.bs1770TruePeakDb, "dBTP"));
    row("Loudness", db(r.in.loudnessLufs, "LUFS"), db(r.out.loudnessLufs, "LUFS"));
    row("Loudness range", amount(r.in.loudnessRangeLu, "LU"), amount(r.out.loudnessRangeLu, "LU"));
    row("Max momentary", db(r.in.maxMomentaryLufs, "LUFS"), db(r.out.maxMomentaryLufs, "LUFS"));
    row("Max short-term", db(r.in.maxShortTermLufs, "LUFS"), db(r.out.maxShortTermLufs, "LUFS"));
    row("Peak/loudness", amount(r.in.peakToLoudnessDb(), "dB"),
        amount(r.out.peakToLoudnessDb(), "dB"));
    row(("Above " + db(r.ceilingDb, "dBFS")).c_str(), std::to_string(r.in.overCeiling),
        std::to_string(r.out.overCeiling));
    if (r.outputFormat.find("pcm") != std::string::npos) {
        add("Clipped samples  " + std::to_string(r.clippedSamples));
    }
    if (r.ours) {
        add("Gain reduction   max " + (r.maxGainReductionDb
                                           ? formatFixed(*r.maxGainReductionDb, 2) + " dB"
                                           : std::string("n/a")));
    }
    add("Speed            " + formatFixed(r.realtimeFactor, 1) + "x real time, " +
        formatFixed(r.nsPerFrame, 1) + " ns per frame (CPU " + formatFixed(r.cpuSeconds, 3) +
        " s in process calls)");
    if (r.verdict) add("Delivery         " + r.verdict->text);
    return t;
}

void reportJson(JsonWriter& j, const RenderReport& r, const char* key) {
    j.beginObject(key);
    j.beginObject("plugin");
    j.value("path", r.plugin).value("effectName", r.effectName).value("uniqueId", r.uniqueId);
    j.endObject();
    j.beginObject("input");
    j.value("path", r.input).value("channels", r.channels).value("sampleRate", r.sampleRate);
    j.value("frames", r.inputFrames);
    j.value("truncated", r.announcedFrames > r.inputFrames);
    if (r.announcedFrames > r.inputFrames) j.value("announcedFrames", r.announcedFrames);
    statsJson(j, r.in);
    j.endObject();
    j.beginObject("output");
    j.value("path", r.output).value("format", r.outputFormat).value("frames", r.outputFrames);
    j.value("bits", r.outputBits).value("float", r.outputBits == 32);
    j.value("dither", r.dither);
    if (!r.ditherNote.empty()) j.value("ditherNote", r.ditherNote);
    j.beginArray("tags");
    for (const auto& t : r.tags) j.element(t);
    j.endArray();
    statsJson(j, r.out);
    j.value("clippedSamples", r.clippedSamples);
    j.endObject();
    j.value("block", r.block).value("doublePrecision", r.doublePrecision);
    j.value("latency", r.latency).value("latencyCompensated", r.compensated);
    j.value("ceilingDbfs", r.ceilingDb).value("ceilingSet", r.ceilingSet);
    if (!r.program.empty()) j.value("preset", r.program);
    j.beginArray("parameters");
    for (const auto& s : r.settings) {
        j.beginObject().value("index", s.index).value("name", s.name).value("value", s.value);
        j.value("display", s.display).endObject();
    }
    j.endArray();
    if (r.ours) {
        if (r.maxGainReductionDb) {
            j.value("maxGainReductionDb", *r.maxGainReductionDb);
        } else {
            j.null("maxGainReductionDb");
        }
    }
    j.value("cpuSeconds", r.cpuSeconds).value("realtimeFactor", r.realtimeFactor);
    j.value("nsPerFrame", r.nsPerFrame);
    j.beginArray("warnings");
    for (const auto& w : r.warnings) j.element(w);
    j.endArray();
    if (r.delivery && r.verdict) {
        j.beginObject("delivery");
        j.value("target", r.delivery->name).value("loudnessLufs", r.delivery->lufs);
        j.value("toleranceLu", r.delivery->toleranceLu);
        j.value("truePeakDbtp", r.delivery->truePeakDb);
        j.value("meets", r.verdict->meets).value("verdict", r.verdict->text);
        j.endObject();
    }
    j.endObject();
}

}  // namespace zelto
