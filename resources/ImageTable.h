// The table of embedded images, generated at build time by the artwork
// generator (resources/generator) and read by Resources.cpp. Sorted by id.
#pragma once

#include <cstddef>
#include <cstdint>

#include "resources/Resources.h"

namespace zelto::artwork {

extern const EmbeddedImage kImages[];
extern const size_t kImageCount;

}  // namespace zelto::artwork
