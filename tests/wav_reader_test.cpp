#include "audio/wav_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/wav_builder.h"

namespace {

using namespace wav_builder;

// Values that a stale or half-cleared buffer would still show.
float not_owned;
const audio_buffer sentinel{&not_owned, 7, 7, 7, 7};

// One run of the reader on a file made of `content`, with stderr captured.
struct read_run {
    int rc;
    audio_buffer buf;
    std::string log;
    std::string path;

    explicit read_run(const bytes& content) : buf(sentinel) {
        const temp_file file(content);
        path = file.path;
        testing::internal::CaptureStderr();
        rc = audio_read_wav(path.c_str(), &buf);
        log = testing::internal::GetCapturedStderr();
    }
    ~read_run() { audio_buffer_free(&buf); }
    read_run(const read_run&) = delete;
    read_run& operator=(const read_run&) = delete;
};

std::string message(const char* text, const std::string& path) {
    return "[audio_io] " + std::string(text) + path + "\n";
}

void expect_empty(const audio_buffer& b) {
    EXPECT_EQ(b.samples, nullptr);
    EXPECT_EQ(b.n_samples, 0);
    EXPECT_EQ(b.sample_rate, 0);
    EXPECT_EQ(b.channels, 0);
    EXPECT_EQ(b.n_frames, 0);
}

bytes raw(const std::string& s) { return bytes(s.begin(), s.end()); }

chunk with_size(chunk c, std::uint32_t size) {
    c.size = size;
    return c;
}

const chunk fmt_mono = fmt_chunk(1, 16000);
const chunk two_samples = data_chunk({100, -100});

TEST(WavReader, NullArgumentsLeaveBufferUntouchedAndSayNothing) {
    audio_buffer buf = sentinel;
    testing::internal::CaptureStderr();
    EXPECT_EQ(audio_read_wav(nullptr, &buf), -1);
    EXPECT_EQ(audio_read_wav("whatever.wav", nullptr), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(buf.samples, sentinel.samples);
    EXPECT_EQ(buf.n_samples, 7);
    EXPECT_EQ(buf.n_frames, 7);
}

TEST(WavReader, MissingFileCannotBeOpened) {
    const std::string path = testing::TempDir() + "no_such_dir/none.wav";
    audio_buffer buf = sentinel;
    testing::internal::CaptureStderr();
    EXPECT_EQ(audio_read_wav(path.c_str(), &buf), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message("Cannot open: ", path));
    expect_empty(buf);
}

TEST(WavReader, RefusedFilesFailWithTheirMessageAndAnEmptyBuffer) {
    const char* not_wav = "Not a WAV file: ";
    const char* unsupported = "Unsupported format (need 16-bit PCM): ";
    const char* no_data = "No data chunk found: ";
    const char* silent = nullptr;

    bytes bad_riff = wav_file({fmt_mono, two_samples});
    bad_riff[3] = 'X';
    bytes bad_wave = wav_file({fmt_mono, two_samples});
    bad_wave[8] = 'w';

    struct refused {
        const char* name;
        bytes file;
        const char* text;
    };
    const std::vector<refused> cases = {
        {"empty file", {}, not_wav},
        {"11 bytes", raw("RIFF\4\0\0\0WAV"), not_wav},
        {"no RIFF", bad_riff, not_wav},
        {"no WAVE", bad_wave, not_wav},
        {"data before fmt", wav_file({two_samples, fmt_mono}), unsupported},
        {"float format", wav_file({fmt_chunk(1, 16000, 32, 3), two_samples}), unsupported},
        {"extensible format", wav_file({fmt_chunk(1, 16000, 16, 65534), two_samples}), unsupported},
        {"8 bits", wav_file({fmt_chunk(1, 16000, 8), two_samples}), unsupported},
        {"24 bits", wav_file({fmt_chunk(1, 16000, 24), two_samples}), unsupported},
        {"fmt of 14 bytes leaves bits 0",
         wav_file({make_chunk("fmt ", bytes(fmt_mono.body.begin(), fmt_mono.body.begin() + 14)),
                   two_samples}),
         unsupported},
        {"data of 0 bytes", wav_file({fmt_mono, data_chunk({})}), silent},
        {"data size past the end", wav_file({fmt_mono, with_size(two_samples, 6)}), silent},
        {"data size 4 GiB - 1", wav_file({fmt_mono, with_size(two_samples, 0xffffffff)}), silent},
        {"no data chunk", wav_file({fmt_mono, make_chunk("LIST", bytes(4))}), no_data},
        {"ids are case-sensitive", wav_file({fmt_mono, make_chunk("DATA", bytes(4))}), no_data},
        {"data of 1 byte", wav_file({fmt_mono, make_chunk("data", bytes(1))}), no_data},
        {"last data of 1 byte", wav_file({fmt_mono, two_samples, make_chunk("data", bytes(1))}),
         no_data},
        {"empty fmt ends the scan", wav_file({make_chunk("fmt ", {}), fmt_mono, two_samples}),
         no_data},
        {"fmt past the end ends the scan", wav_file({with_size(fmt_mono, 100), two_samples}),
         no_data},
    };
    for (const refused& c : cases) {
        SCOPED_TRACE(c.name);
        const read_run run(c.file);
        EXPECT_EQ(run.rc, -1);
        EXPECT_EQ(run.log, c.text != nullptr ? message(c.text, run.path) : "");
        expect_empty(run.buf);
    }
}

TEST(WavReader, AcceptedFilesGiveTheirShapeAndSamples) {
    const chunk list_even = make_chunk("LIST", raw("INFOabcd"));
    const chunk list_odd = make_chunk("LIST", raw("INFOa"));
    chunk list_odd_unpadded = list_odd;
    list_odd_unpadded.pad = false;
    chunk fmt_18 = fmt_mono;
    fmt_18.body.resize(18, 0);
    fmt_18.size = 18;
    chunk fmt_40 = fmt_chunk(2, 44100);
    fmt_40.body.resize(40, 0xee);
    fmt_40.size = 40;
    const chunk odd_data = make_chunk("data", {0x00, 0x40, 0x00, 0xc0, 0x01, 0x00, 0x7f});
    // A later "fmt " of 4 bytes changes format and channels and keeps the rate.
    const chunk fmt_4_stereo = make_chunk("fmt ", {1, 0, 2, 0});
    bytes riff_size_wrong = wav_file({fmt_mono, two_samples});
    riff_size_wrong[4] = 0xff;
    bytes ends_in_header = wav_file({fmt_mono, two_samples});
    ends_in_header.insert(ends_in_header.end(), {'L', 'I', 'S', 'T', 9});

    const std::vector<float> two = {100 / 32768.0f, -100 / 32768.0f};
    const std::vector<float> three = {0.5f, -0.5f, 1 / 32768.0f};
    struct accepted {
        const char* name;
        bytes file;
        int rate, channels, frames;
        std::vector<float> samples;
    };
    const std::vector<accepted> cases = {
        {"value scale",
         wav_file({fmt_mono, data_chunk({0, 16384, -16384, -32768, 32767, 1, -1})}),
         16000,
         1,
         7,
         {0.0f, 0.5f, -0.5f, -1.0f, 0.999969482421875f, 3.0517578125e-05f, -3.0517578125e-05f}},
        {"fmt of 18 bytes", wav_file({fmt_18, two_samples}), 16000, 1, 2, two},
        {"fmt of 40 bytes", wav_file({fmt_40, two_samples}), 44100, 2, 1, two},
        {"LIST before data", wav_file({fmt_mono, list_even, two_samples}), 16000, 1, 2, two},
        {"LIST after data", wav_file({fmt_mono, two_samples, list_even}), 16000, 1, 2, two},
        {"odd chunk and pad before data", wav_file({fmt_mono, list_odd, two_samples}), 16000, 1, 2,
         two},
        {"odd chunk at the end without pad", wav_file({fmt_mono, two_samples, list_odd_unpadded}),
         16000, 1, 2, two},
        {"data of 7 bytes", wav_file({fmt_mono, odd_data}), 16000, 1, 3, three},
        {"pad after odd data", wav_file({fmt_mono, odd_data, fmt_chunk(3, 8000)}), 8000, 3, 1,
         three},
        {"3 samples in stereo", wav_file({fmt_chunk(2, 22050), odd_data}), 22050, 2, 1, three},
        {"3 channels", wav_file({fmt_chunk(3, 48000), odd_data}), 48000, 3, 1, three},
        {"0 channels count every sample", wav_file({fmt_chunk(0, 8000), odd_data}), 8000, 0, 3,
         three},
        {"end in a chunk header", ends_in_header, 16000, 1, 2, two},
        {"RIFF size is ignored", riff_size_wrong, 16000, 1, 2, two},
        {"LIST past the end after data",
         wav_file({fmt_mono, two_samples, with_size(list_even, 1000)}), 16000, 1, 2, two},
        {"later fmt restates shape", wav_file({fmt_mono, two_samples, fmt_chunk(2, 44100)}), 44100,
         2, 1, two},
        {"later short fmt keeps the rest",
         wav_file({fmt_chunk(1, 11025), two_samples, fmt_4_stereo}), 11025, 2, 1, two},
        {"later fmt past the end is not taken",
         wav_file({fmt_mono, two_samples, with_size(fmt_chunk(2, 8000), 17)}), 16000, 1, 2, two},
        {"last data chunk wins", wav_file({fmt_mono, data_chunk({1, 2, 3}), odd_data}), 16000, 1, 3,
         three},
        {"rate of 2^32 - 1 reads negative", wav_file({fmt_chunk(1, 0xffffffff), two_samples}), -1,
         1, 2, two},
    };
    for (const accepted& c : cases) {
        SCOPED_TRACE(c.name);
        const read_run run(c.file);
        ASSERT_EQ(run.rc, 0);
        EXPECT_EQ(run.log, "[audio_io] Read " + run.path + ": " + std::to_string(c.frames) +
                               " frames, " + std::to_string(c.rate) + " Hz, " +
                               std::to_string(c.channels) + " ch\n");
        EXPECT_EQ(run.buf.sample_rate, c.rate);
        EXPECT_EQ(run.buf.channels, c.channels);
        EXPECT_EQ(run.buf.n_frames, c.frames);
        ASSERT_EQ(run.buf.n_samples, static_cast<int>(c.samples.size()));
        ASSERT_NE(run.buf.samples, nullptr);
        EXPECT_EQ(std::vector<float>(run.buf.samples, run.buf.samples + run.buf.n_samples),
                  c.samples);
    }
}

TEST(WavReader, FreeReleasesSamplesAndKeepsTheShape) {
    audio_buffer_free(nullptr);
    const temp_file file(wav_file({fmt_chunk(2, 44100), data_chunk({1, 2, 3, 4})}));
    audio_buffer buf{};
    testing::internal::CaptureStderr();
    ASSERT_EQ(audio_read_wav(file.path.c_str(), &buf), 0);
    testing::internal::GetCapturedStderr();
    audio_buffer_free(&buf);
    EXPECT_EQ(buf.samples, nullptr);
    EXPECT_EQ(buf.n_samples, 0);
    EXPECT_EQ(buf.sample_rate, 44100);
    EXPECT_EQ(buf.channels, 2);
    EXPECT_EQ(buf.n_frames, 2);
    audio_buffer_free(&buf);  // a second release is harmless
}

}  // namespace
