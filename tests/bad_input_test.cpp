// The catalogue of hostile arguments and files, through the exports: each
// gives its documented messages and result. Run under AddressSanitizer, the
// test environment also caps any single allocation (see tests/hardening.cmake),
// so a size taken from a header that the file does not back would abort.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "include/whisper_inf.h"
#include "tests/engine_double/double_client.h"
#include "tests/wav_builder.h"

namespace {

using namespace wav_builder;

const std::string inf = "[whisper_inf] ";
const std::string aio = "[audio_io] ";

// The lines one file transcription writes up to the engine run, for a file
// the reader accepts.
std::string accepted(const std::string& path, int frames, int rate, int channels, int samples) {
    const std::string shape = std::to_string(rate) + " Hz, " + std::to_string(channels) + " ch, " +
                              std::to_string(frames) + " frames";
    return aio + "Read " + path + ": " + std::to_string(frames) + " frames, " +
           std::to_string(rate) + " Hz, " + std::to_string(channels) + " ch\n" + inf + "WAV: " +
           shape + "\n" + inf + "Resampled: " + std::to_string(samples) + " samples (16kHz mono)\n";
}

std::string refused(const std::string& path, const std::string& reader_message) {
    const std::string reader = reader_message.empty() ? "" : aio + reader_message + path + "\n";
    return reader + inf + "Failed to read WAV: " + path + "\n";
}

// A mono file of 65536 frames that the converter refuses for its rate.
std::string too_slow(const std::string& path, int rate) {
    const std::string shape = std::to_string(rate) + " Hz, 1 ch";
    return aio + "Read " + path + ": 65536 frames, " + shape + "\n" + inf + "WAV: " + shape +
           ", 65536 frames\n" + inf + "Failed to resample\n";
}

chunk with_size(chunk c, std::uint32_t size) {
    c.size = size;
    return c;
}

TEST(BadArguments, NullEmptyAndExtremeArgumentsToEveryExport) {
    engine_double_script* script = loaded_double();
    ASSERT_NE(script, nullptr);
    std::vector<float> samples(16000, 0.0f);
    const struct {
        const char* name;
        char* (*call)(const float* pcm);
        std::string log;
        bool document;
        bool translate;  // what the engine was asked, when it ran
        int max_len;
    } cases[] = {
        {"null model path keeps the model",
         [](const float* pcm) {
             return whisper_inf_load(nullptr) == -1 ? whisper_inf_transcribe_pcm(pcm, 16000, "en", 0, 0)
                                                    : nullptr;
         },
         inf + "model_path is NULL\n" + inf + "Transcribing 16000 samples (1.0 sec)...\n", true,
         false, engine_double_default_max_len},
        {"no samples and a count of INT_MIN",
         [](const float*) { return whisper_inf_transcribe_pcm(nullptr, INT_MIN, nullptr, 0, 0); },
         inf + "Invalid PCM data\n", false, false, 0},
        {"count of INT_MIN", [](const float* pcm) { return whisper_inf_transcribe_pcm(pcm, INT_MIN, "", 0, 0); },
         inf + "Invalid PCM data\n", false, false, 0},
        {"extreme translate and max_len",
         [](const float* pcm) { return whisper_inf_transcribe_pcm(pcm, 16000, "", INT_MIN, INT_MAX); },
         inf + "Transcribing 16000 samples (1.0 sec)...\n", true, true, INT_MAX},
        {"max_len of INT_MIN",
         [](const float* pcm) { return whisper_inf_transcribe_pcm(pcm, 16000, "auto", 0, INT_MIN); },
         inf + "Transcribing 16000 samples (1.0 sec)...\n", true, false,
         engine_double_default_max_len},
        {"null WAV path", [](const float*) { return whisper_inf_transcribe(nullptr, nullptr, 0, 0); },
         inf + "wav_path is NULL\n", false, false, 0},
        {"empty WAV path", [](const float*) { return whisper_inf_transcribe("", "", INT_MAX, INT_MIN); },
         refused("", "Cannot open: "), false, false, 0},
    };
    for (const auto& c : cases) {
        stderr_capture log;
        const std::string document = take_document(c.call(samples.data()));
        EXPECT_EQ(log.finish(), c.log) << c.name;
        EXPECT_EQ(document != "(null)", c.document) << c.name;
        if (c.document) {
            EXPECT_EQ(script->last_params.translate, c.translate) << c.name;
            EXPECT_EQ(script->last_params.max_len, c.max_len) << c.name;
        }
    }
}

TEST(BadFiles, HostileHeadersGiveTheirMessagesAndNoOversizedAllocation) {
    ASSERT_NE(loaded_double(), nullptr);
    const chunk fmt_mono = fmt_chunk(1, 16000);
    const chunk huge_data = with_size(data_chunk({1, 2}), 0xffffffff);
    const std::vector<std::int16_t> frame_of_65535(65535 * 2, 100);
    const std::vector<std::int16_t> silence(65536, 0);
    struct hostile {
        const char* name;
        bytes file;
        std::string (*log)(const std::string& path);
        bool document;
    };
    const std::vector<hostile> cases = {
        {"only the RIFF header", wav_file({}),
         [](const std::string& p) { return refused(p, "No data chunk found: "); }, false},
        {"header and fmt only", wav_file({fmt_mono}),
         [](const std::string& p) { return refused(p, "No data chunk found: "); }, false},
        {"data stating 0xFFFFFFFF bytes", wav_file({fmt_mono, huge_data}),
         [](const std::string& p) { return refused(p, ""); }, false},
        {"fmt stating 0xFFFFFFFF bytes", wav_file({with_size(fmt_mono, 0xffffffff), data_chunk({1})}),
         [](const std::string& p) { return refused(p, "No data chunk found: "); }, false},
        {"65535 channels, fewer samples than one frame",
         wav_file({fmt_chunk(65535, 16000), data_chunk({1, 2, 3, 4})}),
         [](const std::string& p) {
             return accepted(p, 0, 16000, 65535, 0) + inf + "Invalid PCM data\n";
         },
         false},
        {"65535 channels, two frames", wav_file({fmt_chunk(65535, 16000), data_chunk(frame_of_65535)}),
         [](const std::string& p) {
             return accepted(p, 2, 16000, 65535, 2) + inf + "Transcribing 2 samples (0.0 sec)...\n";
         },
         true},
        // Below 1000 Hz a tiny file would ask for gigabytes: 128 KiB at 1 Hz is 4 GiB of output.
        {"rate 1, 64 Ki frames", wav_file({fmt_chunk(1, 1), data_chunk(silence)}),
         [](const std::string& p) { return too_slow(p, 1); }, false},
        {"rate 999, 64 Ki frames", wav_file({fmt_chunk(1, 999), data_chunk(silence)}),
         [](const std::string& p) { return too_slow(p, 999); }, false},
        {"rate 1000, 64 Ki frames", wav_file({fmt_chunk(1, 1000), data_chunk(silence)}),
         [](const std::string& p) {
             return accepted(p, 65536, 1000, 1, 1048576) + inf +
                    "Transcribing 1048576 samples (65.5 sec)...\n";
         },
         true},
        {"rate 0xFFFFFFFF reads as -1", wav_file({fmt_chunk(1, 0xffffffff), data_chunk({1, 2})}),
         [](const std::string& p) {
             return aio + "Read " + p + ": 2 frames, -1 Hz, 1 ch\n" + inf + "WAV: -1 Hz, 1 ch, 2 frames\n" +
                    inf + "Failed to resample\n";
         },
         false},
        {"rate 0x80000000 converts to nothing", wav_file({fmt_chunk(1, 0x80000000), data_chunk({1})}),
         [](const std::string& p) {
             return accepted(p, 1, INT_MIN, 1, 0) + inf + "Invalid PCM data\n";
         },
         false},
    };
    for (const hostile& c : cases) {
        const temp_file file(c.file);
        stderr_capture log;
        const std::string document = take_document(whisper_inf_transcribe(file.path.c_str(), "en", 0, 0));
        EXPECT_EQ(log.finish(), c.log(file.path)) << c.name;
        EXPECT_EQ(document != "(null)", c.document) << c.name;
    }
}

// fopen opens a directory on Linux; the read that follows is what fails, and
// that must not depend on whether the file system can seek in a directory
// (ext4 can, tmpfs cannot).
TEST(BadFiles, DirectoryIsNotAWavFileOnAnyFileSystem) {
    ASSERT_NE(loaded_double(), nullptr);
    std::vector<std::string> dirs = {testing::TempDir()};
    struct stat shm {};
    if (stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode)) {
        dirs.push_back("/dev/shm/");
    }
    for (const std::string& dir : dirs) {
        stderr_capture log;
        EXPECT_EQ(whisper_inf_transcribe(dir.c_str(), "en", 0, 0), nullptr);
        EXPECT_EQ(log.finish(), refused(dir, "Not a WAV file: ")) << dir;
    }
}

// Root reads a file of mode 000 all the same, so as root the call is made
// with the effective user switched to nobody, for whom the mode holds.
TEST(BadFiles, UnreadableFileCannotBeOpened) {
    ASSERT_NE(loaded_double(), nullptr);
    const temp_file file(wav_file({fmt_chunk(1, 16000), data_chunk({1, 2})}));
    ASSERT_EQ(chmod(file.path.c_str(), 0), 0);
    const bool as_root = geteuid() == 0;
    stderr_capture log;
    ASSERT_TRUE(!as_root || seteuid(65534) == 0);
    char* document = whisper_inf_transcribe(file.path.c_str(), "en", 0, 0);
    ASSERT_TRUE(!as_root || seteuid(0) == 0);
    EXPECT_EQ(take_document(document), "(null)");
    EXPECT_EQ(log.finish(), refused(file.path, "Cannot open: "));
}

TEST(BadFiles, PathsOfAnyBytesAreOpenedAndLoggedAsGiven) {
    ASSERT_NE(loaded_double(), nullptr);
    const bytes content = wav_file({fmt_chunk(1, 16000), data_chunk({1, 2, 3, 4})});
    const char* const names[] = {
        "bad-input-na\xC3\xAFve-\xE6\x97\xA5\xE6\x9C\xAC-\xC3\x9F.wav",  // UTF-8
        "bad-input-latin1-\xE9\xFF.wav",                            // not UTF-8
        "bad input with 'quotes' and \"%s%n\".wav",
    };
    for (const char* name : names) {
        const std::string path = testing::TempDir() + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr) << path;
        std::fwrite(content.data(), 1, content.size(), f);
        ASSERT_EQ(std::fclose(f), 0) << path;
        stderr_capture log;
        const std::string document = take_document(whisper_inf_transcribe(path.c_str(), "en", 0, 0));
        std::remove(path.c_str());
        EXPECT_EQ(log.finish(), accepted(path, 4, 16000, 1, 4) + inf +
                                    "Transcribing 4 samples (0.0 sec)...\n")
            << path;
        EXPECT_NE(document, "(null)") << path;
    }
}

}  // namespace
