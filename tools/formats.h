// The output formats: pure functions from a document's segments to the text
// of a file, and the reading of the library's document into segments.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct segment {
    std::int64_t start_ms;
    std::int64_t end_ms;
    std::string text;
};

enum class output_format { json, txt, srt, vtt, csv };

// Reads the segments of a result document. Bytes that are not UTF-8 (the
// engine may cut a character between two segments) become U+FFFD.
// Returns false when the document is not of the library's layout.
bool read_segments(std::string_view document, std::vector<segment>& segments);

// `document` itself for json, else the segments in that format.
std::string format_output(output_format format, std::string_view document,
                          const std::vector<segment>& segments);

// "HH:MM:SS" then `separator` and milliseconds; the hours grow past 99.
std::string format_timestamp(std::int64_t ms, char separator);

// The file name extension of each format, which is also its flag's name.
constexpr std::string_view extension_of(output_format format) {
    constexpr std::string_view extensions[] = {"json", "txt", "srt", "vtt", "csv"};
    return extensions[static_cast<int>(format)];
}
