// The command-line host's formats, from segments to file text, and the
// reading of the library's document into segments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/formats.h"

namespace {

TEST(Formats, TimestampsKeepMillisecondsAndGrowPastNinetyNineHours) {
    const struct {
        long long ms;
        const char* srt;
        const char* vtt;
    } cases[] = {
        {0, "00:00:00,000", "00:00:00.000"},
        {999, "00:00:00,999", "00:00:00.999"},
        {3599990, "00:59:59,990", "00:59:59.990"},
        {360000000, "100:00:00,000", "100:00:00.000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(format_timestamp(c.ms, ','), c.srt);
        EXPECT_EQ(format_timestamp(c.ms, '.'), c.vtt);
    }
}

TEST(Formats, EachFormatFromSegmentsKeepsEveryWordAndStaysWellFormed) {
    // A line break, quotes, markup and multi-byte UTF-8 in one segment.
    const std::vector<segment> awkward = {
        {0, 999, " She said \"yes\""},
        {3599990, 360000000, " one\ntwo <b>&</b> \xc3\xbc\xe6\x97\xa5"},
    };
    const char* document = "{\"any\": \"bytes\"}\n";
    const struct {
        output_format format;
        std::vector<segment> segments;
        std::string expected;
    } cases[] = {
        {output_format::json, awkward, document},
        {output_format::txt, awkward, " She said \"yes\"\n one\ntwo <b>&</b> \xc3\xbc\xe6\x97\xa5\n"},
        {output_format::srt, awkward,
         "1\n00:00:00,000 --> 00:00:00,999\n She said \"yes\"\n\n"
         "2\n00:59:59,990 --> 100:00:00,000\n one two <b>&</b> \xc3\xbc\xe6\x97\xa5\n\n"},
        {output_format::vtt, awkward,
         "WEBVTT\n\n00:00:00.000 --> 00:00:00.999\n She said \"yes\"\n\n"
         "00:59:59.990 --> 100:00:00.000\n one two &lt;b&gt;&amp;&lt;/b&gt; \xc3\xbc\xe6\x97\xa5\n\n"},
        {output_format::csv, awkward,
         "start,end,text\n0,999,\" She said \"\"yes\"\"\"\n"
         "3599990,360000000,\" one\ntwo <b>&</b> \xc3\xbc\xe6\x97\xa5\"\n"},
        {output_format::txt, {}, ""},
        {output_format::srt, {}, ""},
        {output_format::vtt, {}, "WEBVTT\n\n"},
        {output_format::csv, {}, "start,end,text\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(format_output(c.format, document, c.segments), c.expected) << extension_of(c.format);
    }
}

TEST(Formats, ReadsTheLibrarysDocumentAndMendsCutCharacters) {
    const std::string head = "{\n  \"result\": {\"language\": \"en\"},\n  \"transcription\": [\n";
    const struct {
        std::string document;
        bool readable;
        std::vector<std::string> texts;
    } cases[] = {
        {head + "  ]\n}\n", true, {}},
        {head + "    {\"offsets\": {\"from\": 0, \"to\": 1000}, \"text\": \" a \\\"b\\\"\\n\"},\n"
                "    {\"offsets\": {\"from\": 1000, \"to\": 2000}, \"text\": \" \xe6\x97\"}\n  ]\n}\n",
         true, {" a \"b\"\n", " \xef\xbf\xbd\xef\xbf\xbd"}},
        {head + "    {\"offsets\": {\"from\": 0}, \"text\": \"\"}\n  ]\n}\n", false, {}},
        {"{\"result\": ", false, {}},
    };
    for (const auto& c : cases) {
        std::vector<segment> segments;
        ASSERT_EQ(read_segments(c.document, segments), c.readable) << c.document;
        std::vector<std::string> texts;
        for (const segment& s : segments) {
            texts.push_back(s.text);
        }
        EXPECT_EQ(texts, c.texts) << c.document;
    }
}

}  // namespace
