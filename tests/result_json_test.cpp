// The result document and its text handling, driven through a table of
// engine answers in this process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inference/json_text.h"
#include "inference/result_json.h"
#include "tests/json_document.h"

namespace {

struct fake_segment {
    long long t0;
    long long t1;
    const char* text;
};

// What the fake engine answers; one run at a time.
std::vector<fake_segment> segments;
const char* detected_language = "en";

whisper_api fake_api() {
    whisper_api api{};
    api.whisper_full_n_segments = [](whisper_context*) { return static_cast<int>(segments.size()); };
    api.whisper_full_get_segment_t0 = [](whisper_context*, int i) -> int64_t { return segments[i].t0; };
    api.whisper_full_get_segment_t1 = [](whisper_context*, int i) -> int64_t { return segments[i].t1; };
    api.whisper_full_get_segment_text = [](whisper_context*, int i) { return segments[i].text; };
    api.whisper_full_lang_id = [](whisper_context*) { return 0; };
    api.whisper_lang_str = [](int) { return detected_language; };
    return api;
}

std::string document_for(std::vector<fake_segment> run, const char* language = "en") {
    segments = std::move(run);
    char* document = build_result_json(fake_api(), nullptr, language);
    std::string text = document != nullptr ? document : "(null)";
    std::free(document);
    return text;
}

// The text value written for one segment, for runs of a single segment.
std::string text_of_single(const char* text) {
    const std::string document = document_for({{0, 1, text}});
    const std::string open = "\"text\": \"";
    const std::size_t begin = document.find(open) + open.size();
    return document.substr(begin, document.rfind("\"}") - begin);
}

const char* const header = "{\n  \"result\": {\"language\": \"en\"},\n  \"transcription\": [\n";
const char* const footer = "  ]\n}\n";

TEST(ResultDocument, LayoutIsExactForNoneOneAndSeveralSegments) {
    const std::string empty = document_for({});
    EXPECT_EQ(empty, std::string(header) + footer);
    EXPECT_EQ(empty.size(), 61u);

    EXPECT_EQ(document_for({{150, 320, " one"}, {320, 400, nullptr}, {400, 9000000000LL, "x"}}),
              std::string(header) +
                  "    {\"offsets\": {\"from\": 1500, \"to\": 3200}, \"text\": \" one\"},\n"
                  "    {\"offsets\": {\"from\": 3200, \"to\": 4000}, \"text\": \"\"},\n"
                  "    {\"offsets\": {\"from\": 4000, \"to\": 90000000000}, \"text\": \"x\"}\n" +
                  footer);
}

TEST(ResultDocument, ControlAndQuoteBytesAreEscaped) {
    const struct {
        const char* text;
        const char* written;
    } cases[] = {
        {"a\tb", "a\\tb"},
        {"\n\r", "\\n\\r"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"back\\slash", "back\\\\slash"},
        {"\x01", "\\u0001"},
        {"\x08\x0c\x1f", "\\u0008\\u000c\\u001f"},
        {"\x7f", "\x7f"},
        {"/", "/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text_of_single(c.text), c.written) << c.text;
    }
}

TEST(ResultDocument, InvalidUtf8BecomesOneReplacementPerMaximalSubpart) {
    const char* const fffd = "\xEF\xBF\xBD";
    const struct {
        const char* text;
        std::string written;
    } cases[] = {
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"},
        {"\x80", fffd},
        {"a\xFF" "b", std::string("a") + fffd + "b"},
        {"\xC0\xAF", std::string(fffd) + fffd},                  // overlong lead
        {"\xE0\x80\xAF", std::string(fffd) + fffd + fffd},       // overlong second byte
        {"\xED\xA0\x80", std::string(fffd) + fffd + fffd},       // surrogate
        {"\xF4\x90\x80\x80", std::string(fffd) + fffd + fffd + fffd},  // above U+10FFFF
        {"\xE2\x82" "A", std::string(fffd) + "A"},               // truncated, one subpart
        {"\xF0\x9F\x8E", fffd},                                  // cut at the very end
        {"\xF5\x80", std::string(fffd) + fffd},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text_of_single(c.text), c.written) << c.text;
    }
}

TEST(ResultDocument, CharacterSplitAcrossSegmentsIsWrittenWhereItBegins) {
    const struct {
        std::vector<fake_segment> run;
        std::vector<std::string> written;
    } cases[] = {
        {{{0, 1, " caf\xC3"}, {1, 2, "\xA9 ok"}}, {" caf\xC3\xA9", " ok"}},
        {{{0, 1, "\xF0\x9F"}, {1, 2, "\x8E\xB5"}, {2, 3, "!"}}, {"\xF0\x9F\x8E\xB5", "", "!"}},
        {{{0, 1, "\xE2"}, {1, 2, "\x82"}, {2, 3, "\xAC"}},  // needs the next but one: not joined
         {"\xEF\xBF\xBD", "\xEF\xBF\xBD", "\xEF\xBF\xBD"}},
        {{{0, 1, "a\xE2"}, {1, 2, "b"}}, {"a\xEF\xBF\xBD", "b"}},
        {{{0, 1, "a\xE2\x82"}, {1, 2, "\xAC\xAC"}}, {"a\xE2\x82\xAC", "\xEF\xBF\xBD"}},
        {{{0, 1, "end\xC3"}}, {"end\xEF\xBF\xBD"}},
    };
    for (const auto& c : cases) {
        const std::string document = document_for(c.run);
        std::vector<std::string> texts;
        ASSERT_TRUE(json_document::segment_texts(document, texts)) << document;
        ASSERT_EQ(texts.size(), c.written.size()) << document;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(texts[i], c.written[i]) << document;
        }
    }
}

// The parser the checks below rely on must itself refuse what no document may hold.
TEST(StrictParser, RefusesIllFormedUtf8RawControlBytesAndTruncation) {
    const struct {
        const char* name;
        std::string text;
        bool valid;
    } cases[] = {
        {"well-formed", "{\"text\": \" caf\xC3\xA9 \\u0001\"}", true},
        {"invalid UTF-8 byte", "{\"text\": \" caf\xFF\"}", false},
        {"raw control byte", "{\"text\": \"a\x01\"}", false},
        {"truncated", "{\"text\": \" caf\"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(json_document::is_valid(c.text), c.valid) << c.name;
    }
}

TEST(ResultDocument, LanguageIsEscapedLikeText) {
    const std::string long_language(400, 'q');
    const struct {
        const char* language;
        const char* written;
    } cases[] = {
        {"e\"n", "e\\\"n"},
        {"\xFF", "\xEF\xBF\xBD"},
        {long_language.c_str(), long_language.c_str()},
    };
    for (const auto& c : cases) {
        const std::string document = document_for({}, c.language);
        EXPECT_EQ(document, std::string("{\n  \"result\": {\"language\": \"") + c.written +
                                "\"},\n  \"transcription\": [\n" + footer);
        EXPECT_TRUE(json_document::is_valid(document)) << document;
    }
}

TEST(ResultDocument, WorstCaseTextsStillGiveCompleteValidDocuments) {
    std::string controls(3000, '\x01');
    std::string invalid(3000, '\xFF');
    std::string mixed;
    for (int byte = 1; byte < 256; ++byte) {
        mixed += static_cast<char>(byte);
    }
    const std::string document =
        document_for({{0, 1, controls.c_str()}, {1, 2, invalid.c_str()}, {2, 3, mixed.c_str()}});
    EXPECT_TRUE(json_document::is_valid(document));
    std::vector<std::string> texts;
    ASSERT_TRUE(json_document::segment_texts(document, texts));
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], std::string(3000, '\x01'));
    EXPECT_EQ(texts[1].size(), 3000u * 3);
}

TEST(Utf8Split, OnlyACompleteValidCharacterIsJoined) {
    const struct {
        const char* text;
        const char* next;
        std::size_t tail;
        std::size_t head;
    } cases[] = {
        {"a\xC3", "\xA9", 1, 1},         {"a\xE2\x82", "\xAC", 2, 1},
        {"a\xE2", "\x82\xAC", 1, 2},     {"\xF0", "\x9F\x8E\xB5", 1, 3},
        {"a\xE2", "\x82", 0, 0},         {"a\xE0", "\x80\x80", 0, 0},
        {"abc", "\x80", 0, 0},           {"", "\x80", 0, 0},
        {"\xC3\xA9", "\xA9", 0, 0},      {"a\xC3", "A", 0, 0},
    };
    for (const auto& c : cases) {
        const utf8_split split = find_utf8_split(c.text, c.next);
        EXPECT_EQ(split.tail, c.tail) << c.text;
        EXPECT_EQ(split.head, c.head) << c.text;
    }
}

}  // namespace
