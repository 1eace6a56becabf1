// How our temporary files are named, shared by the writers of every platform
// and by isTemporaryName, so a sweep never touches a file that is not ours:
// ".NAME.zelto-XXXXXX" in the target's own folder.
#pragma once

#include <cstddef>

namespace zelto::detail {

inline constexpr char kTempMarker[] = ".zelto-";
/// Letters and digits after the marker.
inline constexpr size_t kTempSuffix = 6;

}  // namespace zelto::detail
