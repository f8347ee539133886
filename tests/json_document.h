// Reading result documents back in tests. nlohmann's parser is strict: it
// rejects ill-formed UTF-8, raw control characters and truncated text, which
// is what every document the library writes must survive.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace json_document {

// The parsed document; a discarded value when it is not strict JSON.
inline nlohmann::json parse(std::string_view text) {
    return nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
}

inline bool is_valid(std::string_view text) { return nlohmann::json::accept(text); }

// The decoded "text" of every segment of a result document.
inline bool segment_texts(std::string_view document, std::vector<std::string>& out) {
    const nlohmann::json root = parse(document);
    if (!root.is_object() || !root.contains("transcription") || !root["transcription"].is_array()) {
        return false;
    }
    out.clear();
    for (const nlohmann::json& segment : root["transcription"]) {
        if (!segment.is_object() || !segment.contains("text") || !segment["text"].is_string()) {
            return false;
        }
        out.push_back(segment["text"].get<std::string>());
    }
    return true;
}

}  // namespace json_document
