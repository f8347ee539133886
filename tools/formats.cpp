#include "tools/formats.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

// Length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t utf8_sequence_length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned low = 0x80;   // the range the second byte must fall in
    unsigned high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    }
    if (length == 0 || at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = at + 2; i < at + length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xbf) {
            return 0;
        }
    }
    return length;
}

std::string with_valid_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t n = utf8_sequence_length(text, at); n > 0) {
            out.append(text, at, n);
            at += n;
        } else {
            out += "\xef\xbf\xbd";
            ++at;
        }
    }
    return out;
}

// A line break inside a cue would end it early.
std::string on_one_line(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return out;
}

std::string vtt_cue_text(std::string_view text) {
    std::string out;
    for (const char c : on_one_line(text)) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string csv_field(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + '"';
}

std::string to_txt(const std::vector<segment>& segments) {
    std::string out;
    for (const segment& s : segments) {
        out += s.text + '\n';
    }
    return out;
}

std::string to_srt(const std::vector<segment>& segments) {
    std::string out;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const segment& s = segments[i];
        out += std::to_string(i + 1) + '\n' + format_timestamp(s.start_ms, ',') + " --> " +
               format_timestamp(s.end_ms, ',') + '\n' + on_one_line(s.text) + "\n\n";
    }
    return out;
}

std::string to_vtt(const std::vector<segment>& segments) {
    std::string out = "WEBVTT\n\n";
    for (const segment& s : segments) {
        out += format_timestamp(s.start_ms, '.') + " --> " + format_timestamp(s.end_ms, '.') + '\n' +
               vtt_cue_text(s.text) + "\n\n";
    }
    return out;
}

std::string to_csv(const std::vector<segment>& segments) {
    std::string out = "start,end,text\n";
    for (const segment& s : segments) {
        out += std::to_string(s.start_ms) + ',' + std::to_string(s.end_ms) + ',' + csv_field(s.text) + '\n';
    }
    return out;
}

}  // namespace

bool read_segments(std::string_view document, std::vector<segment>& segments) {
    try {
        const nlohmann::json parsed = nlohmann::json::parse(with_valid_utf8(document));
        std::vector<segment> found;
        for (const nlohmann::json& item : parsed.at("transcription")) {
            const nlohmann::json& offsets = item.at("offsets");
            found.push_back({offsets.at("from").get<std::int64_t>(), offsets.at("to").get<std::int64_t>(),
                             item.at("text").get<std::string>()});
        }
        segments = std::move(found);
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

std::string format_output(output_format format, std::string_view document,
                          const std::vector<segment>& segments) {
    switch (format) {
    case output_format::json: return std::string(document);
    case output_format::txt: return to_txt(segments);
    case output_format::srt: return to_srt(segments);
    case output_format::vtt: return to_vtt(segments);
    case output_format::csv: return to_csv(segments);
    }
    return {};
}

std::string format_timestamp(std::int64_t ms, char separator) {
    const long long t = ms < 0 ? 0 : ms;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld%c%03lld", t / 3600000, t / 60000 % 60,
                  t / 1000 % 60, separator, t % 1000);
    return text;
}
