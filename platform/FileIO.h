// Whole-file reads with a size bound, and writes that replace a file
// atomically: the data goes to a temporary file in the same folder, is
// flushed, and is renamed over the old file, so a failed or interrupted write
// leaves the previous file untouched. Never call from the audio thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelto {

enum class ReadError { None, Missing, NotAFile, TooLarge, Failed };

/// The file's bytes, or nullopt (with the reason in *error) when it cannot
/// be opened for reading, is not a regular file or holds more than maxSize.
std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, size_t maxSize,
                                                  ReadError* error = nullptr);

/// Replaces path with data; false (and the old file untouched) on failure.
bool writeFileAtomically(const std::string& path, const void* data, size_t size);

/// Splits a path at its last '/' into folder (with the slash) and file name.
void splitPath(const std::string& path, std::string& folder, std::string& name);

}  // namespace zelto
