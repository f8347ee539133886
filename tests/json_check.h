// A strict JSON reader for checking documents: RFC 8259 syntax, strings of
// valid UTF-8 without raw control characters, escapes decoded.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace json_check {

struct value {
    enum kind_t { null, boolean, number, string, array, object } kind = null;
    double number_value = 0;
    std::string text;                                    // string
    std::vector<value> items;                            // array
    std::vector<std::pair<std::string, value>> members;  // object, in order

    const value* member(std::string_view name) const {
        for (const auto& m : members) {
            if (m.first == name) {
                return &m.second;
            }
        }
        return nullptr;
    }
};

class reader {
public:
    explicit reader(std::string_view text) : s_(text) {}

    bool document(value& out) {
        return parse_value(out, 0) && (skip_space(), pos_ == s_.size());
    }

private:
    std::string_view s_;
    std::size_t pos_ = 0;

    void skip_space() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' ||
                                    s_[pos_] == '\t')) {
            ++pos_;
        }
    }
    bool eat(char c) {
        skip_space();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool literal(std::string_view word) {
        if (s_.substr(pos_, word.size()) != word) {
            return false;
        }
        pos_ += word.size();
        return true;
    }

    bool parse_value(value& out, int depth) {
        if (depth > 64) {
            return false;
        }
        skip_space();
        if (pos_ >= s_.size()) {
            return false;
        }
        switch (s_[pos_]) {
            case '{': return parse_object(out, depth);
            case '[': return parse_array(out, depth);
            case '"': out.kind = value::string; return parse_string(out.text);
            case 't': out.kind = value::boolean; out.number_value = 1; return literal("true");
            case 'f': out.kind = value::boolean; return literal("false");
            case 'n': out.kind = value::null; return literal("null");
            default: out.kind = value::number; return parse_number(out.number_value);
        }
    }

    bool parse_object(value& out, int depth) {
        out.kind = value::object;
        ++pos_;
        if (eat('}')) {
            return true;
        }
        do {
            std::string name;
            value member;
            skip_space();
            if (pos_ >= s_.size() || s_[pos_] != '"' || !parse_string(name) || !eat(':') ||
                !parse_value(member, depth + 1)) {
                return false;
            }
            out.members.emplace_back(std::move(name), std::move(member));
        } while (eat(','));
        return eat('}');
    }

    bool parse_array(value& out, int depth) {
        out.kind = value::array;
        ++pos_;
        if (eat(']')) {
            return true;
        }
        do {
            value item;
            if (!parse_value(item, depth + 1)) {
                return false;
            }
            out.items.push_back(std::move(item));
        } while (eat(','));
        return eat(']');
    }

    bool parse_number(double& out) {
        const std::size_t start = pos_;
        auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') {
                ++pos_;
            }
            return pos_ > from;
        };
        if (pos_ < s_.size() && s_[pos_] == '-') {
            ++pos_;
        }
        if (pos_ < s_.size() && s_[pos_] == '0') {
            ++pos_;
        } else if (!digits()) {
            return false;
        }
        if (pos_ < s_.size() && s_[pos_] == '.' && (++pos_, !digits())) {
            return false;
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) {
                ++pos_;
            }
            if (!digits()) {
                return false;
            }
        }
        out = std::strtod(std::string(s_.substr(start, pos_ - start)).c_str(), nullptr);
        return true;
    }

    static void append_utf8(std::string& out, unsigned long cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool hex4(unsigned long& out) {
        if (pos_ + 4 > s_.size()) {
            return false;
        }
        const std::string digits(s_.substr(pos_, 4));
        char* end = nullptr;
        out = std::strtoul(digits.c_str(), &end, 16);
        pos_ += 4;
        return end == digits.c_str() + 4;
    }

    // One UTF-8 character of a string, checked for well-formedness.
    bool copy_utf8(std::string& out) {
        const auto lead = static_cast<unsigned char>(s_[pos_]);
        int extra = 0;
        unsigned long cp = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1, cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2, cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3, cp = lead & 0x07;
        } else {
            return false;
        }
        if (pos_ + extra >= s_.size()) {
            return false;
        }
        for (int i = 1; i <= extra; ++i) {
            const auto b = static_cast<unsigned char>(s_[pos_ + i]);
            if ((b & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        const unsigned long minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        out.append(s_.substr(pos_, extra + 1));
        pos_ += extra + 1;
        return true;
    }

    bool parse_string(std::string& out) {
        ++pos_;
        while (pos_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[pos_]);
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c >= 0x80) {
                if (!copy_utf8(out)) {
                    return false;
                }
                continue;
            }
            ++pos_;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (pos_ >= s_.size()) {
                return false;
            }
            const char e = s_[pos_++];
            const std::string_view simple = "\"\\/bfnrt";
            const char* decoded = "\"\\/\b\f\n\r\t";
            if (const std::size_t at = simple.find(e); at != std::string_view::npos) {
                out += decoded[at];
                continue;
            }
            unsigned long cp = 0;
            if (e != 'u' || !hex4(cp)) {
                return false;
            }
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                unsigned long low = 0;
                if (!literal("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                    return false;
                }
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                return false;
            }
            append_utf8(out, cp);
        }
        return false;
    }
};

inline bool parse(std::string_view text, value& out) { return reader(text).document(out); }

inline bool is_valid(std::string_view text) {
    value ignored;
    return parse(text, ignored);
}

// The decoded "text" of every segment of a result document.
inline bool segment_texts(std::string_view document, std::vector<std::string>& out) {
    value root;
    if (!parse(document, root)) {
        return false;
    }
    const value* list = root.member("transcription");
    if (list == nullptr || list->kind != value::array) {
        return false;
    }
    out.clear();
    for (const value& segment : list->items) {
        const value* text = segment.member("text");
        if (text == nullptr || text->kind != value::string) {
            return false;
        }
        out.push_back(text->text);
    }
    return true;
}

}  // namespace json_check
