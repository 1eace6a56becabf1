// Published loudness targets a master is delivered against, and the
// one-line verdict of a render's measured output against one of them. The
// sources of the numbers are listed in README.md.
#pragma once

#include <string>
#include <vector>

#include "tools/audio/SignalMeter.h"

namespace zelto {

struct DeliveryTarget {
    std::string name;        // "streaming", or a description of a custom target
    double lufs = -14.0;     // integrated loudness
    double toleranceLu = 1;  // either side of it
    double truePeakDb = -1;  // highest true peak, by either meter
};

/// The named targets, in the order help lists them.
const std::vector<DeliveryTarget>& deliveryTargets();
/// The named one; throws a usage ToolError listing the names otherwise.
const DeliveryTarget& findDeliveryTarget(const std::string& name);
/// "-14 LUFS +-1 LU, true peak at most -1.0 dBTP"
std::string deliveryTargetText(const DeliveryTarget& t);

struct DeliveryVerdict {
    bool meets = false;
    std::string text;  // "meets streaming" or "misses streaming: ..."
};
DeliveryVerdict judgeDelivery(const DeliveryTarget& t, const LevelStats& output);

}  // namespace zelto
