// The fixed geometry of `--plot` pictures: the same panels and scales for
// every file, so two pictures compare at a glance and a test can find what a
// picture shows. Only the time axis stretches with the file's length.
#pragma once

#include <algorithm>
#include <cmath>

namespace zelto {

struct PlotPanel {
    int left, top, width, height;
    double topDb, bottomDb;

    /// The pixel row of a level, clipped to the panel.
    constexpr int row(double db) const {
        const double f = std::clamp((topDb - db) / (topDb - bottomDb), 0.0, 1.0);
        return top + static_cast<int>(f * (height - 1) + 0.5);
    }
    /// The pixel column of time t in a file of `seconds`.
    constexpr int column(double t, double seconds) const {
        const double f = seconds > 0.0 ? std::clamp(t / seconds, 0.0, 1.0) : 0.0;
        return left + static_cast<int>(f * (width - 1) + 0.5);
    }
    constexpr int bottom() const { return top + height - 1; }
    constexpr int right() const { return left + width - 1; }
};

constexpr int kPlotWidth = 1200;
constexpr int kPlotHeight = 760;
// The level panel's floor follows the material: -48 dBFS unless quieter
// passages need more, down to kPlotLevelsFloorMin (see plotLevelsFor).
constexpr PlotPanel kPlotLevels{64, 76, 1112, 296, 12.0, -48.0};  // dBFS / dBTP
constexpr double kPlotLevelsFloorMin = -90.0;
constexpr PlotPanel kPlotReduction{64, 400, 1112, 130, 0.0, -24.0};  // dB of gain change
constexpr PlotPanel kPlotLoudness{64, 558, 1112, 164, 0.0, -42.0};   // LUFS, short-term

/// The level panel for material whose quiet passages peak at `quietDb`
/// (the level most of the picture's columns stay above): its floor 6 dB
/// under them, on the panel's 6 dB grid, between -48 and -90 dBFS.
constexpr PlotPanel plotLevelsFor(double quietDb) {
    PlotPanel p = kPlotLevels;
    if (quietDb - 6.0 < p.bottomDb) {
        const double steps = std::ceil((p.topDb - (quietDb - 6.0)) / 6.0);
        p.bottomDb = std::max(kPlotLevelsFloorMin, p.topDb - 6.0 * steps);
    }
    return p;
}

}  // namespace zelto
