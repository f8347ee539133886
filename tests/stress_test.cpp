// Many calls in one process: resident memory after warm-up must stay flat
// with the engine double, which allocates nothing, so any growth there is
// ours. With the real engine the growth is measured and reported, not hidden:
// whatever it shows beyond the double's figure is the engine's own.
#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "include/whisper_inf.h"
#include "tests/test_support.h"
#include "tests/wav_builder.h"

namespace {

using namespace wav_builder;

struct memory {
    long resident;  // bytes, from /proc/self/statm
    long heap;      // bytes malloc has handed out and not had back
};

memory measure() {
    long pages = 0;
    long resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = -1;
        }
        std::fclose(f);
    }
    return {resident * sysconf(_SC_PAGESIZE), static_cast<long>(mallinfo2().uordblks)};
}

// A quarter second of tone, 44.1 kHz stereo, so that every conversion step runs.
bytes short_wav(int rate, int channels, int frames) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * channels);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(9000 * std::sin(0.03 * static_cast<double>(i)));
    }
    return wav_file({fmt_chunk(static_cast<std::uint16_t>(channels), static_cast<std::uint32_t>(rate)),
                     data_chunk(samples)});
}

// Runs `transcriptions` transcriptions of `wav` and `reloads` unload/load
// cycles of `model`; false as soon as any call fails.
bool run(const std::string& wav, const char* model, int transcriptions, int reloads) {
    stderr_capture quiet;
    for (int i = 0; i < transcriptions; ++i) {
        char* document = whisper_inf_transcribe(wav.c_str(), "en", 0, 0);
        if (document == nullptr) {
            return false;
        }
        whisper_inf_free(document);
    }
    for (int i = 0; i < reloads; ++i) {
        whisper_inf_unload();
        if (whisper_inf_load(model) != 0) {
            return false;
        }
    }
    return true;
}

void report(const char* what, const memory& before, const memory& after) {
    const long rss = after.resident - before.resident;
    const long heap = after.heap - before.heap;
    std::printf("%s: resident %+ld KiB, heap in use %+ld KiB\n", what, rss / 1024, heap / 1024);
    testing::Test::RecordProperty(std::string(what) + " resident bytes", std::to_string(rss));
    testing::Test::RecordProperty(std::string(what) + " heap bytes", std::to_string(heap));
}

TEST(StressDouble, ThousandTranscriptionsAndTwoHundredReloadsKeepMemoryFlat) {
    ASSERT_TRUE(change_directory(std::string(ENGINE_DOUBLE_DIR) + "/complete"));
    const temp_file wav(short_wav(44100, 2, 11025));
    {
        stderr_capture quiet;
        ASSERT_EQ(whisper_inf_load("model.bin"), 0);
    }
    ASSERT_TRUE(run(wav.path, "model.bin", 50, 20));  // warm-up
    const memory before = measure();
    ASSERT_TRUE(run(wav.path, "model.bin", 1000, 200));
    const memory after = measure();
    report("double, 1000 transcriptions + 200 reloads", before, after);
    EXPECT_LT(after.resident - before.resident, 1024 * 1024);
    EXPECT_LT(after.heap - before.heap, 1024 * 1024);
}

TEST(StressRealEngine, FiftyTranscriptionsAndTenReloadsAreMeasured) {
    const bytes tone = short_wav(16000, 1, 48000);
    const temp_file wav(tone);
    {
        stderr_capture quiet;
        ASSERT_EQ(whisper_inf_load(TEST_MODEL_PATH), 0) << quiet.finish();
    }
    ASSERT_TRUE(run(wav.path, TEST_MODEL_PATH, 5, 2));  // warm-up
    const memory start = measure();
    ASSERT_TRUE(run(wav.path, TEST_MODEL_PATH, 50, 0));
    const memory transcribed = measure();
    ASSERT_TRUE(run(wav.path, TEST_MODEL_PATH, 0, 10));
    const memory reloaded = measure();
    report("real engine, 50 transcriptions", start, transcribed);
    report("real engine, 10 reloads", transcribed, reloaded);
}

}  // namespace
