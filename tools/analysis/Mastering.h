// Finds the "Drive" and "Output" settings of our limiter that bring a file to
// an integrated loudness under a true-peak ceiling, by rendering it through
// the plug-in and measuring, then renders the result. Every candidate is a
// full render (measured, never written); only the setting that met the target
// is rendered to the destination, so a target that cannot be met leaves no
// file behind. The ceiling holds by the accurate true-peak meter and by the
// BS.1770 one alike.
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

/// How the search may use the machine.
struct MasterResources {
    /// Inputs up to this size are read once and held in memory as floats;
    /// larger ones are read from disk for every render.
    int64_t memoryBytes = int64_t{768} << 20;
    bool parallel = true;  // render two candidates at a time where there are two cores
};

/// Where a master's time went, in seconds of wall-clock time.
struct MasterTimes {
    double reading = 0.0;  // the input into memory
    double input = 0.0;    // the input's own figures (alongside the search)
    double search = 0.0;   // the candidates' renders (loudness and accurate true peak)
    double final = 0.0;    // the written render (or renders), with every figure
    int searchRenders = 0, finalRenders = 0;
    bool inMemory = false;
};

struct MasterResult {
    double inputLufs = 0.0;
    double driveDb = 0.0, outputDb = 0.0;
    std::vector<MasterStep> steps;
    RenderReport report;  // of the written file
    MasterTimes times;
};

/// Searches from the settings `base` loads (presets, state, --set values) and
/// renders the found setting to base.output. Throws ToolError with
/// kExitTargetUnreachable or kExitTooMuchReduction (nothing written) when the
/// target cannot be met, and the render's own errors otherwise. `onStep` sees
/// each search render as it finishes (in order).
MasterResult master(const RenderOptions& base, const MasterTarget& target,
                    const std::function<void(const MasterStep&)>& onStep = {},
                    const MasterResources& resources = {});

std::string stepText(const MasterStep& s);
std::string timesText(const MasterTimes& t);

}  // namespace zelto
