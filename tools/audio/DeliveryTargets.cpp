// Delivery targets and verdicts; see DeliveryTargets.h.
#include "tools/audio/DeliveryTargets.h"

#include <cmath>

#include "tools/common/Text.h"
#include "tools/common/ToolError.h"

namespace zelto {

namespace {

std::string number(double v, int decimals) {
    // Far beyond any real signal the exact figure means nothing.
    if (v > 200.0) return "> +200";
    std::string s = formatFixed(v, decimals);
    if (v > 0.0 && s.find_first_not_of("0.") != std::string::npos) s = "+" + s;
    return s;
}

}  // namespace

const std::vector<DeliveryTarget>& deliveryTargets() {
    static const std::vector<DeliveryTarget> all{
        {"streaming", -14.0, 1.0, -1.0},
        {"apple", -16.0, 1.0, -1.0},
        {"ebu-r128", -23.0, 0.5, -1.0},
        {"atsc-a85", -24.0, 2.0, -2.0},
    };
    return all;
}

const DeliveryTarget& findDeliveryTarget(const std::string& name) {
    std::string names;
    for (const DeliveryTarget& t : deliveryTargets()) {
        if (t.name == name) return t;
        names += (names.empty() ? "" : ", ") + t.name;
    }
    throw ToolError(kExitUsage, "--target takes one of " + names + ", not '" + name + "'");
}

std::string deliveryTargetText(const DeliveryTarget& t) {
    return number(t.lufs, 1) + " LUFS +-" + formatFixed(t.toleranceLu, 1) +
           " LU, true peak at most " + number(t.truePeakDb, 1) + " dBTP";
}

DeliveryVerdict judgeDelivery(const DeliveryTarget& t, const LevelStats& out) {
    std::string why;
    const double lufs = out.loudnessLufs;
    if (!std::isfinite(lufs)) {
        why = "its loudness cannot be measured";
    } else if (std::fabs(lufs - t.lufs) > t.toleranceLu) {
        why = "loudness " + number(lufs, 2) + " LUFS is " +
              formatFixed(std::fabs(lufs - t.lufs), 2) + " LU " +
              (lufs > t.lufs ? "above" : "below") + " " + number(t.lufs, 1) + " LUFS (+-" +
              formatFixed(t.toleranceLu, 1) + " LU allowed)";
    }
    const double peak = out.highestTruePeakDb();
    if (!(peak <= t.truePeakDb)) {
        if (!why.empty()) why += "; ";
        why += std::isnan(peak) ? std::string("its true peak was not measured")
                                : "true peak " + number(peak, 2) + " dBTP is over " +
                                      number(t.truePeakDb, 1) + " dBTP";
    }
    if (why.empty()) return {true, "meets " + t.name + " (" + deliveryTargetText(t) + ")"};
    return {false, "misses " + t.name + ": " + why};
}

}  // namespace zelto
