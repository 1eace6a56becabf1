// The descriptive strings and broadcast information of an audio file, apart
// from the reader and writer so that what only carries them (an input held
// in memory) needs no more of the file layer.
#pragma once

#include <sndfile.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zelto {

/// The descriptive strings and broadcast (BWF) information of a file, as far
/// as libsndfile reads them.
struct AudioTags {
    std::vector<std::pair<int, std::string>> strings;  // SF_STR_* and its text
    std::optional<SF_BROADCAST_INFO> broadcast;
    bool empty() const { return strings.empty() && !broadcast; }
};

}  // namespace zelto
