// Runs one audio file through one plug-in the way a DAW renders offline:
// sample rate and block size from the host, blocks of audio through
// processReplacing or processDoubleReplacing, the reported latency
// compensated, the result measured and written atomically. Shared by
// `zelto render` and `zelto demo`. It must never write a partial output file
// or report success after the plug-in misbehaved.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/audio/AudioClip.h"
#include "tools/audio/DeliveryTargets.h"
#include "tools/audio/SignalMeter.h"
#include "tools/hosting/PresetSources.h"

namespace zelto {

struct RenderReport;

/// Sees the audio of one render as it goes by (for pictures of it). Called on
/// the rendering thread; must not throw.
class RenderObserver {
  public:
    virtual ~RenderObserver() = default;
    /// Before any audio: the file's channels and sample rate.
    virtual void begin(int channels, int sampleRate) = 0;
    /// Interleaved input frames, in file order.
    virtual void input(const double* frames, int64_t count) = 0;
    /// Interleaved output frames as measured (latency dropped if compensated,
    /// before any clipping for PCM), in file order.
    virtual void output(const double* frames, int64_t count) = 0;
    /// The plug-in's largest gain reduction during the process call that
    /// consumed input frames [firstFed, firstFed + count), in dB.
    virtual void gainReduction(int64_t firstFed, int count, double db) = 0;
};

/// What a render of the same input with the same plug-in settings measured
/// and produced, to be written without running the plug-in again (the
/// plug-in is deterministic; a search keeps its candidates' output).
struct CapturedRender {
    std::vector<float> output;  // interleaved, latency dropped, before any clipping
    int latency = 0;
    std::optional<double> maxGainReductionDb;
    double truePeakDb = std::numeric_limits<double>::quiet_NaN();  // accurate; NaN: not measured
    double cpuSeconds = 0.0, realtimeFactor = 0.0, nsPerFrame = 0.0;
};

struct RenderOptions {
    std::string input, output, plugin;
    int block = 512;
    bool useDouble = false;
    bool compensate = true;
    bool monoDual = false;            // feed a mono file to both inputs instead of one
    PresetSources presets;            // loaded before the --set values
    ParameterSets sets;               // --set NAME=VALUE, in order, after the presets
    std::string format;               // "float", "pcm16", "pcm24"; "" = the input's
    std::string dither;               // "none", "tpdf"; "" = TPDF where PCM has fewer bits than
                                      // the plug-in's result and its own requantizer is not at work
    bool keepTags = true;             // copy title, artist, ... and BWF information to the output
    std::optional<double> ceilingDb;  // sets our plug-in's Output (its ceiling) in dB
    std::optional<double> countAboveDb;  // level samples are counted above; default
                                         // the ceiling, else 0 dBFS
    bool progress = false;               // allow the progress bar (still needs a terminal)
    std::string progressLabel;           // what the bar says it renders ("[2/5] song.wav")
    bool allowShortInput = false;        // render a truncated input instead of refusing it
    bool measureOnly = false;            // run and measure but write nothing (searches)
    bool measureInput = true;            // false: no input levels (a search knows them already)
    /// The input already in memory (a search renders it many times); the
    /// input path then only names it in the report.
    std::shared_ptr<const AudioClip> clip;
    SignalMeter::Detail meters = SignalMeter::Detail::Full;  // Search: what a candidate needs
    bool metersOnThread = false;  // measure the output beside the rendering thread
    /// The delivery target the report's last line judges the output against.
    std::optional<DeliveryTarget> delivery;
    RenderObserver* observer = nullptr;
    /// Single precision only: the output and the figures a replay needs
    /// are kept here.
    CapturedRender* capture = nullptr;
    /// The plug-in's output from a capture: measured and written instead of
    /// processed again (the plug-in is still loaded and set, for the
    /// report's settings and the dither choice).
    std::shared_ptr<const CapturedRender> replay;
    /// Called with the finished report just before the output is committed;
    /// throwing from it leaves the destination untouched.
    std::function<void(const RenderReport&)> beforeCommit;
};

struct ParameterSetting {
    int index;
    std::string name;
    double value;
    std::string display;  // the plug-in's text after the change
};

struct RenderReport {
    std::string input, output, plugin;
    std::string effectName, uniqueId;
    bool ours = false;  // our own limiter ('KRzt')
    int channels = 0;
    int sampleRate = 0;
    int64_t inputFrames = 0, outputFrames = 0;
    int64_t announcedFrames = 0;  // > inputFrames when a truncated input was rendered
    int block = 0;
    bool doublePrecision = false;
    bool compensated = false;
    int latency = 0;
    std::string outputFormat;       // "WAV float"
    int outputBits = 0;             // 16, 24, or 32 for float
    std::string dither;             // "tpdf" or "none"
    std::string ditherNote;         // why not, where there was a reason
    std::vector<std::string> tags;  // names of the tags copied to the output
    std::string program;  // our plug-in's current preset after loading, e.g. "3 Limiter Fast"
    std::vector<ParameterSetting> settings;
    double ceilingDb = 0.0;   // the level samples above were counted against
    bool ceilingSet = false;  // --ceiling set the plug-in's Output to it
    LevelStats in{}, out{};
    int64_t clippedSamples = 0;                // clipped to +-1 for a PCM output
    std::optional<double> maxGainReductionDb;  // ours only, when the meters can be read
    double cpuSeconds = 0.0;
    double realtimeFactor = 0.0;
    double nsPerFrame = 0.0;
    std::vector<std::string> warnings;
    std::optional<DeliveryTarget> delivery;
    std::optional<DeliveryVerdict> verdict;  // of the output against `delivery`
};

RenderReport render(const RenderOptions& options);

std::string reportText(const RenderReport& r);
/// The report as one JSON object (a complete document when top-level).
void reportJson(class JsonWriter& j, const RenderReport& r, const char* key = "");

}  // namespace zelto
