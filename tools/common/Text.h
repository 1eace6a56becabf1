// Text helpers shared by the zelto commands: cleaning up what plug-ins write
// into our buffers, locale-independent number formatting and parsing, and a
// small JSON writer. Nothing here may depend on the C locale: plug-ins are
// free to call setlocale() behind our back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelto {

/// Turns raw bytes from a plug-in into printable UTF-8: valid UTF-8 passes,
/// other bytes are read as Latin-1 (what most Windows-born plug-ins write),
/// control characters become spaces, surrounding blanks are trimmed.
std::string cleanPluginText(std::string_view raw);

std::string toLower(std::string_view s);
std::string trim(std::string_view s);

/// Fixed-point text with `decimals` digits; "-inf"/"inf"/"nan" for the rest.
std::string formatFixed(double v, int decimals);
/// Shortest text that reads back to the same double (for JSON).
std::string formatShortest(double v);

/// Strict parsers: the whole text must be a number, no spaces, no locale.
std::optional<double> parseDouble(std::string_view s);
std::optional<int64_t> parseInt(std::string_view s);

/// Four-character code, first character in the highest byte; unprintable
/// characters shown as '.'.
std::string fourCC(int32_t id);
std::string hex32(uint32_t v);

/// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or
/// values past U+10FFFF).
bool isValidUtf8(std::string_view s);

/// Minimal streaming JSON writer: objects, arrays, strings, numbers, null.
/// Non-finite numbers are written as null because JSON has no place for them.
/// The output is always valid UTF-8. Strings come in as bytes (file names on
/// Linux need not be UTF-8): every byte that is not part of a valid UTF-8
/// sequence is written as "\u00XX", i.e. read as Latin-1, and a string value
/// holding such a byte gets a sibling KEY + "Bytes" with its exact bytes in
/// lower-case hex, so "path": "caf\u00e9.wav" comes with
/// "pathBytes": "636166e92e776176" and the name can be opened again.
class JsonWriter {
  public:
    JsonWriter& beginObject(std::string_view key = {});
    JsonWriter& endObject();
    JsonWriter& beginArray(std::string_view key = {});
    JsonWriter& endArray();
    JsonWriter& value(std::string_view key, std::string_view v);
    JsonWriter& value(std::string_view key, const char* v) {
        return value(key, std::string_view(v));
    }
    JsonWriter& value(std::string_view key, double v);
    JsonWriter& value(std::string_view key, int64_t v);
    JsonWriter& value(std::string_view key, int v) { return value(key, static_cast<int64_t>(v)); }
    JsonWriter& value(std::string_view key, bool v);
    JsonWriter& null(std::string_view key);
    /// Array elements.
    JsonWriter& element(std::string_view v);
    JsonWriter& element(double v);
    const std::string& str() const { return out_; }

    static std::string escape(std::string_view s);

  private:
    void prefix(std::string_view key);
    std::string out_;
    std::vector<bool> first_;  // one flag per open container
};

}  // namespace zelto
