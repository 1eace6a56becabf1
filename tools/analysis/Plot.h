// `--plot FILE.png`: one picture of a whole render, drawn with cairo in the
// plug-in window's colours: input and output peak envelopes with the largest
// true peaks marked, the plug-in's gain reduction over time, and short-term
// loudness (3 s windows) against the target. It watches the render as a
// RenderObserver, keeping a few numbers per 10 ms, so memory stays small
// for long files; it never changes the audio.
#pragma once

#include <ebur128.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/analysis/PlotLayout.h"
#include "tools/hosting/Renderer.h"

namespace zelto {

class LevelPlot : public RenderObserver {
  public:
    /// `targetLufs`: the line drawn across the loudness panel, with its label;
    /// without one the output's integrated loudness is drawn instead.
    /// `ceilingDb`: the true-peak ceiling drawn across the level panel.
    explicit LevelPlot(std::optional<double> targetLufs = std::nullopt,
                       std::optional<double> ceilingDb = std::nullopt);
    ~LevelPlot() override;
    LevelPlot(const LevelPlot&) = delete;
    LevelPlot& operator=(const LevelPlot&) = delete;

    void begin(int channels, int sampleRate) override;
    void input(const double* frames, int64_t count) override;
    void output(const double* frames, int64_t count) override;
    void gainReduction(int64_t firstFed, int count, double db) override;

    /// Draws the picture and writes it atomically; throws ToolError(kExitOutput).
    /// Call it after every other use of cairo in the process (it empties the
    /// font caches).
    void write(const std::string& path, const RenderReport& report);

  private:
    void closeOutputBin();

    std::optional<double> target_, ceiling_;
    int channels_ = 0, rate_ = 0;
    int64_t binFrames_ = 441;
    // Per 10 ms bin: peaks (linear), the output's true peak, and the largest
    // gain reduction of the process calls that fed it (in input frames).
    std::vector<float> inPeak_, outPeak_, outTruePeak_, reduction_;
    std::vector<float> shortTerm_;  // LUFS every 100 ms of output
    int64_t inFrames_ = 0, outFrames_ = 0;
    std::vector<double> pending_;  // output frames of the unfinished bin
    ebur128_state* meter_ = nullptr;
};

}  // namespace zelto
