// Engine texts of any bytes through the result document: the input, split at
// NUL bytes, is the host's language and then up to eight segment texts. The
// document must parse strictly (valid UTF-8, no raw control characters), and
// text that was valid UTF-8 must come back unchanged, also when a character
// was split between two segments.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "inference/result_json.h"
#include "tests/json_document.h"

namespace {

std::vector<std::string> texts;  // texts[0] is the language
const char* const detected = "en";

whisper_api fake_api() {
    whisper_api api{};
    api.whisper_full_n_segments = [](whisper_context*) { return static_cast<int>(texts.size()) - 1; };
    api.whisper_full_get_segment_t0 = [](whisper_context*, int i) -> int64_t { return i; };
    api.whisper_full_get_segment_t1 = [](whisper_context*, int i) -> int64_t { return i + 1; };
    api.whisper_full_get_segment_text = [](whisper_context*, int i) { return texts[i + 1].c_str(); };
    api.whisper_full_lang_id = [](whisper_context*) { return 0; };
    api.whisper_lang_str = [](int) { return detected; };
    return api;
}

// Length of the well-formed UTF-8 character at s[i], or 0 when there is none;
// decoded to a code point and range-checked (overlong, surrogate, too large).
std::size_t utf8_length(const std::string& s, std::size_t i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const std::size_t n = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : lead >> 3 == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) {
        return 0;
    }
    std::uint32_t cp = n == 1 ? lead : lead & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if (c >> 6 != 2) {
            return 0;
        }
        cp = cp << 6 | (c & 0x3F);
    }
    static const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool ok = cp >= smallest[n] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
    return ok ? n : 0;
}

bool valid_utf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8_length(s, i);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

// Whether the joined segment texts are valid UTF-8 and no character spans
// more than two segments (the document only joins neighbours).
bool joinable(const std::vector<std::string>& segments) {
    std::string all;
    std::vector<std::size_t> owner;  // segment of each byte
    for (std::size_t s = 0; s < segments.size(); ++s) {
        all += segments[s];
        owner.insert(owner.end(), segments[s].size(), s);
    }
    for (std::size_t i = 0; i < all.size();) {
        const std::size_t n = utf8_length(all, i);
        if (n == 0 || owner[i + n - 1] - owner[i] > 1) {
            return false;
        }
        i += n;
    }
    return true;
}

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    texts.assign(1, std::string());
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != 0) {
            texts.back() += static_cast<char>(data[i]);
        } else if (texts.size() < 9) {
            texts.emplace_back();
        }
    }
    char* document = build_result_json(fake_api(), nullptr, texts[0].c_str());
    check(document != nullptr);
    const nlohmann::json root = json_document::parse(document);
    check(!root.is_discarded());
    std::vector<std::string> written;
    check(json_document::segment_texts(document, written));
    std::free(document);

    const std::vector<std::string> segments(texts.begin() + 1, texts.end());
    check(written.size() == segments.size());
    const std::string language = root.at("result").at("language").get<std::string>();
    check(!valid_utf8(texts[0]) || language == (texts[0] == "auto" ? detected : texts[0]));
    for (std::size_t i = 0; i < segments.size(); ++i) {
        check(!valid_utf8(segments[i]) || written[i] == segments[i]);
    }
    if (joinable(segments)) {
        std::string in;
        std::string out;
        for (std::size_t i = 0; i < segments.size(); ++i) {
            in += segments[i];
            out += written[i];
        }
        check(out == in);
    }
    return 0;
}
