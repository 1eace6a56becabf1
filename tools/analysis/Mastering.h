// Finds the "Drive" and "Output" settings of our limiter that bring a file to
// an integrated loudness under a true-peak ceiling, by rendering it through
// the plug-in and measuring, then renders the result. Every candidate is a
// full render (measured, never written); only the setting that met the target
// is rendered to the destination, so a target that cannot be met leaves no
// file behind.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/hosting/Renderer.h"

namespace zelto {

/// The loudness the search settles for, either side of the target.
constexpr double kLoudnessTolerance = 0.1;

/// The plug-in's parameter ranges in dB and their normalised values.
constexpr double kDriveMaxDb = 24.082399653118497;    // 8 * 0.5 * 20 log10(2)
constexpr double kOutputMinDb = -12.041199826559248;  // 2 * -1 * 20 log10(2)
double driveDbFromValue(double v);
double driveValueFromDb(double db);
double outputDbFromValue(double v);
double outputValueFromDb(double db);

struct MasterTarget {
    double lufs = -14.0;
    double truePeakDb = -1.0;
    std::optional<double> maxReductionDb;  // refuse masters needing more than this
};

/// One render of the search.
struct MasterStep {
    int index = 0;  // 1, 2, ...
    double driveDb = 0.0, outputDb = 0.0;
    double lufs = 0.0, truePeakDb = 0.0;
    double gainReductionDb = 0.0;
};

struct MasterResult {
    double inputLufs = 0.0;
    double driveDb = 0.0, outputDb = 0.0;
    std::vector<MasterStep> steps;
    RenderReport report;  // of the written file
};

/// Searches from the settings `base` loads (presets, state, --set values) and
/// renders the found setting to base.output. Throws ToolError with
/// kExitTargetUnreachable or kExitTooMuchReduction (nothing written) when the
/// target cannot be met, and the render's own errors otherwise. `onStep` sees
/// each search render as it finishes (in order).
MasterResult master(const RenderOptions& base, const MasterTarget& target,
                    const std::function<void(const MasterStep&)>& onStep = {});

std::string stepText(const MasterStep& s);

}  // namespace zelto
