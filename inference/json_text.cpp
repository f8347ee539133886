#include "inference/json_text.h"

#include <cstring>

namespace {

constexpr char replacement_character[] = "\xEF\xBF\xBD";

// One step of UTF-8 decoding: a well-formed character, or the maximal
// subpart of an ill-formed one (the lead byte and the continuation bytes
// that were still acceptable), which is replaced as a unit.
struct utf8_unit {
    std::size_t length;
    bool valid;
    bool truncated;  // ill-formed only because the text ended
    std::size_t needed;
};

utf8_unit next_unit(std::string_view s) {
    const auto lead = static_cast<unsigned char>(s[0]);
    if (lead < 0x80) {
        return {1, true, false, 1};
    }
    std::size_t needed = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        needed = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        needed = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;   // no overlong forms
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    } else {
        return {1, false, false, 1};
    }
    for (std::size_t i = 1; i < needed; ++i) {
        if (i == s.size()) {
            return {i, false, true, needed};
        }
        const auto byte = static_cast<unsigned char>(s[i]);
        if (byte < low || byte > high) {
            return {i, false, false, needed};
        }
        low = 0x80;
        high = 0xBF;
    }
    return {needed, true, false, needed};
}

// Hands each piece of the escaped text to `sink`, so that measuring and
// writing cannot disagree.
template <typename Sink>
void escape_pieces(std::string_view text, Sink&& sink) {
    static constexpr char hex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < text.size();) {
        const utf8_unit unit = next_unit(text.substr(i));
        const char* at = text.data() + i;
        i += unit.length;
        if (!unit.valid) {
            sink(replacement_character, sizeof replacement_character - 1);
            continue;
        }
        const auto byte = static_cast<unsigned char>(*at);
        switch (byte) {
            case '\t': sink("\\t", 2); break;
            case '\n': sink("\\n", 2); break;
            case '\r': sink("\\r", 2); break;
            case '"': sink("\\\"", 2); break;
            case '\\': sink("\\\\", 2); break;
            default:
                if (byte < 0x20) {
                    const char escaped[6] = {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 15]};
                    sink(escaped, sizeof escaped);
                } else {
                    sink(at, unit.length);
                }
        }
    }
}

}  // namespace

std::size_t json_escaped_length(std::string_view text) {
    std::size_t length = 0;
    escape_pieces(text, [&](const char*, std::size_t n) { length += n; });
    return length;
}

char* json_escape_to(std::string_view text, char* out) {
    escape_pieces(text, [&](const char* piece, std::size_t n) {
        std::memcpy(out, piece, n);
        out += n;
    });
    return out;
}

utf8_split find_utf8_split(std::string_view text, std::string_view next) {
    // A lead byte is never a continuation byte, so the last incomplete
    // character starts within the last three bytes however the text began.
    for (std::size_t tail = 1; tail <= 3 && tail <= text.size(); ++tail) {
        const utf8_unit unit = next_unit(text.substr(text.size() - tail));
        if (!unit.truncated || unit.length != tail) {
            continue;
        }
        const std::size_t head = unit.needed - tail;
        if (next.size() < head) {
            return {0, 0};
        }
        char joined[4];
        std::memcpy(joined, text.data() + text.size() - tail, tail);
        std::memcpy(joined + tail, next.data(), head);
        const utf8_unit whole = next_unit(std::string_view(joined, unit.needed));
        return whole.valid ? utf8_split{tail, head} : utf8_split{0, 0};
    }
    return {0, 0};
}
