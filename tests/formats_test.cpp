// The command-line host's formats, from segments to file text, the reading
// of the library's document into segments, and which inputs go to ffmpeg.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "tests/wav_builder.h"
#include "tools/decoding.h"
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

// The formats themselves are proven through the program (cli_files_test.cmake).
TEST(Decoding, TheFormatChunkDecidesWhereverItIs) {
    using namespace wav_builder;
    const temp_file after_odd_chunk(wav_file({make_chunk("LIST", bytes(3, 0)), fmt_chunk(2, 44100), data_chunk({1})}));
    const temp_file data_first(wav_file({data_chunk({1}), fmt_chunk(1, 16000)}));
    EXPECT_TRUE(library_reads(after_odd_chunk.path.c_str()));
    EXPECT_FALSE(library_reads(data_first.path.c_str())) << "the library refuses it";
    EXPECT_TRUE(library_reads("missing.wav")) << "the library says why it can't be read";
}

// tests/CMakeLists.txt puts the stand-in for ffmpeg first on PATH.
TEST(Decoding, FfmpegsSamplesArriveExactlyAndItsFailuresSayWhy) {
    const struct {
        const char* input;
        const char* messages;
    } cases[] = {
        {"an input.mp3", "whisper-inf: an input.mp3: decoded by ffmpeg: 40000 samples (16kHz mono)\n"},
        {"fail.mp3", "stand-in: first line\nstand-in: can't decode it\n"
                     "whisper-inf: fail.mp3: ffmpeg can't decode it: stand-in: can't decode it\n"},
        {"empty.mp3", "whisper-inf: empty.mp3: ffmpeg decoded no audio from it\n"},
    };
    for (const auto& c : cases) {
        std::fclose(std::fopen(c.input, "wb"));
        decoded_audio audio;
        stderr_capture captured;
        const bool decoded = decode_with_ffmpeg(c.input, audio);
        EXPECT_EQ(captured.finish(), c.messages);
        std::remove(c.input);
        ASSERT_EQ(decoded, audio.count > 0) << c.input;
        std::vector<float> expected;
        for (int i = 0; decoded && i < standin_sample_count; ++i) {
            expected.push_back(standin_sample(i));
        }
        EXPECT_EQ(std::vector<float>(audio.samples.get(), audio.samples.get() + audio.count), expected);
    }
}

}  // namespace
