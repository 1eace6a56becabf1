// Text helpers for zelto; see Text.h. Locale-independent by construction
// (std::to_chars / std::from_chars only).
#include "tools/common/Text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace zelto {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0 if there is none.
size_t utf8SequenceLength(std::string_view s, size_t i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    size_t len = 0;
    uint32_t cp = 0;
    if (b0 < 0x80) return 1;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    // Reject overlong forms, surrogates and values past Unicode.
    static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const size_t len = utf8SequenceLength(s, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string cleanPluginText(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size();) {
        const auto b = static_cast<unsigned char>(raw[i]);
        if (b < 0x20 || b == 0x7F) {
            out += ' ';
            ++i;
            continue;
        }
        const size_t len = utf8SequenceLength(raw, i);
        if (len > 0) {
            out.append(raw.substr(i, len));
            i += len;
        } else {
            // Latin-1 byte: U+0080..U+00FF as two UTF-8 bytes.
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
            ++i;
        }
    }
    return trim(out);
}

std::string toLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return std::string(s.substr(b, e - b));
}

std::string formatFixed(double v, int decimals) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) return "?";
    std::string s(buf, r.ptr);
    if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) {
        s.erase(0, 1);  // no "-0.00"
    }
    return s;
}

std::string formatShortest(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0");
}

std::optional<double> parseDouble(std::string_view s) {
    if (s.empty()) return std::nullopt;
    if (s.front() == '+') s.remove_prefix(1);
    double v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::optional<int64_t> parseInt(std::string_view s) {
    if (s.empty()) return std::nullopt;
    if (s.front() == '+') s.remove_prefix(1);
    int64_t v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

std::string fourCC(int32_t id) {
    const auto u = static_cast<uint32_t>(id);
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>((u >> shift) & 0xFF);
        s += (c >= 0x20 && c < 0x7F) ? c : '.';
    }
    return s;
}

std::string hex32(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string JsonWriter::escape(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (size_t i = 0; i < s.size(); ++i) {
        const char ch = s[i];
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80) {
            const size_t len = utf8SequenceLength(s, i);
            if (len == 0) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out.append(s.substr(i, len));
                i += len - 1;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
    return out;
}

void JsonWriter::prefix(std::string_view key) {
    if (!first_.empty()) {
        if (!first_.back()) out_ += ',';
        first_.back() = false;
        out_ += '\n';
        out_.append(2 * first_.size(), ' ');
    }
    if (!key.empty()) {
        out_ += '"';
        out_ += escape(key);
        out_ += "\": ";
    }
}

JsonWriter& JsonWriter::beginObject(std::string_view key) {
    prefix(key);
    out_ += '{';
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    const bool empty = first_.back();
    first_.pop_back();
    if (!empty) {
        out_ += '\n';
        out_.append(2 * first_.size(), ' ');
    }
    out_ += '}';
    if (first_.empty()) out_ += '\n';
    return *this;
}

JsonWriter& JsonWriter::beginArray(std::string_view key) {
    prefix(key);
    out_ += '[';
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    const bool empty = first_.back();
    first_.pop_back();
    if (!empty) {
        out_ += '\n';
        out_.append(2 * first_.size(), ' ');
    }
    out_ += ']';
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view key, std::string_view v) {
    prefix(key);
    out_ += '"';
    out_ += escape(v);
    out_ += '"';
    if (!key.empty() && !isValidUtf8(v)) {
        static constexpr char kHex[] = "0123456789abcdef";
        std::string hex;
        hex.reserve(2 * v.size());
        for (char ch : v) {
            const auto c = static_cast<unsigned char>(ch);
            hex += kHex[c >> 4];
            hex += kHex[c & 0xF];
        }
        value(std::string(key) + "Bytes", hex);
    }
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view key, double v) {
    prefix(key);
    out_ += std::isfinite(v) ? formatShortest(v) : "null";
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view key, int64_t v) {
    prefix(key);
    out_ += std::to_string(v);
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view key, bool v) {
    prefix(key);
    out_ += v ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::null(std::string_view key) {
    prefix(key);
    out_ += "null";
    return *this;
}

JsonWriter& JsonWriter::element(std::string_view v) {
    return value({}, v);
}
JsonWriter& JsonWriter::element(double v) {
    return value({}, v);
}

}  // namespace zelto
