#include "inference/resample.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/reference_conversion.h"

namespace {

// Interleaved samples with their shape, viewed as the reader would hand them over.
struct input {
    std::vector<float> samples;
    int rate;
    int channels;

    audio_buffer view() const {
        const int n = static_cast<int>(samples.size());
        return audio_buffer{const_cast<float*>(samples.data()), n, rate, channels,
                            n / (channels != 0 ? channels : 1)};
    }
};

// At 1000 Hz each frame spreads over 16 outputs: from 0 to 1 in sixteenths,
// then the last frame held.
std::vector<float> ramp_in_sixteenths() {
    std::vector<float> v(32, 1.0f);
    for (int i = 0; i < 16; ++i) {
        v[i] = static_cast<float>(i) / 16.0f;
    }
    return v;
}

std::vector<float> reference(const input& in) {
    const audio_buffer b = in.view();
    return reference_to_16k_mono(b.samples, b.n_frames, b.channels, b.sample_rate);
}

// Arbitrary floats in [-1, 1) with full mantissas, so rounding order shows.
std::vector<float> noise(int n, std::uint32_t seed) {
    std::vector<float> v(n);
    for (float& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
    }
    return v;
}

testing::AssertionResult same_bits(const float* got, const std::vector<float>& want) {
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (std::memcmp(&got[i], &want[i], sizeof(float)) != 0) {
            return testing::AssertionFailure()
                   << "index " << i << ": " << got[i] << " != " << want[i];
        }
    }
    return testing::AssertionSuccess();
}

// One successful conversion, with the result owned here.
struct conversion {
    float* out = nullptr;
    int count = -7;

    explicit conversion(const input& in) {
        const audio_buffer b = in.view();
        out = resample_to_16k_mono(&b, &count);
    }
    ~conversion() { std::free(out); }
    conversion(const conversion&) = delete;
    conversion& operator=(const conversion&) = delete;
};

TEST(Resample, MatchesThePlainComputationBitForBitAndLeavesInputAlone) {
    std::uint32_t seed = 1;
    for (const int channels : {1, 2, 3, 6}) {
        for (const int rate : {1000, 8000, 11025, 16000, 22050, 44100, 48000}) {
            SCOPED_TRACE(std::to_string(channels) + " ch at " + std::to_string(rate) + " Hz");
            const input in{noise(997 * channels, seed++), rate, channels};
            const std::vector<float> before = in.samples;
            const std::vector<float> want = reference(in);
            const conversion c(in);
            ASSERT_NE(c.out, nullptr);
            ASSERT_EQ(c.count, static_cast<int>(want.size()));
            EXPECT_TRUE(same_bits(c.out, want));
            EXPECT_NE(c.out, in.samples.data());
            EXPECT_TRUE(same_bits(in.samples.data(), before));
        }
    }
}

TEST(Resample, SmallCasesGiveTheExpectedSamples) {
    struct small {
        const char* name;
        input in;
        std::vector<float> want;
    };
    const std::vector<small> cases = {
        {"16 kHz mono is a copy", {{0.25f, -0.5f, 1.0f}, 16000, 1}, {0.25f, -0.5f, 1.0f}},
        {"16 kHz stereo is the channel mean",
         {{0.25f, 0.75f, -1.0f, 0.5f}, 16000, 2},
         {0.5f, -0.25f}},
        {"48 kHz, 3 frames", {{0.1f, 0.2f, 0.3f}, 48000, 1}, {0.1f}},
        {"8 kHz a, b repeats the last frame",
         {{0.25f, 0.75f}, 8000, 1},
         {0.25f, 0.5f, 0.75f, 0.75f}},
        {"8 kHz stereo a, b", {{0.0f, 0.5f, 1.0f, 0.5f}, 8000, 2}, {0.25f, 0.5f, 0.75f, 0.75f}},
        {"1 sample in stereo at 16 kHz", {{0.5f}, 16000, 2}, {}},
        {"1 sample in stereo at 44.1 kHz", {{0.5f}, 44100, 2}, {}},
        {"1 frame at 44.1 kHz", {{0.5f}, 44100, 1}, {}},
        {"rate read negative from 2^31", {{0.5f}, INT_MIN, 1}, {}},
        {"1000 Hz, the lowest rate taken", {{0.0f, 1.0f}, 1000, 1}, ramp_in_sixteenths()},
    };
    for (const small& c : cases) {
        SCOPED_TRACE(c.name);
        const conversion conv(c.in);
        ASSERT_NE(conv.out, nullptr);  // also when empty
        ASSERT_EQ(conv.count, static_cast<int>(c.want.size()));
        EXPECT_TRUE(same_bits(conv.out, c.want));
    }
}

TEST(Resample, OneSecondAt44100GivesOneSecondAt16000) {
    const input in{noise(44100, 9), 44100, 1};
    const conversion c(in);
    ASSERT_NE(c.out, nullptr);
    EXPECT_EQ(c.count, 16000);
    EXPECT_EQ(c.out[0], in.samples[0]);
}

TEST(Resample, UnusableInputOrLengthFailsSilentlyAndLeavesCountAlone) {
    const std::vector<float> many(134218, 0.5f);  // 134218 * 16000 is just past INT_MAX
    float one = 0.5f;
    struct refused {
        const char* name;
        audio_buffer in;
    };
    const std::vector<refused> cases = {
        {"no samples", {nullptr, 4, 16000, 1, 4}},
        {"0 samples", {&one, 0, 16000, 1, 0}},
        {"negative samples", {&one, -1, 16000, 1, -1}},
        {"rate 0", {&one, 1, 0, 1, 1}},
        {"rate 0 and 0 frames", {&one, 1, 0, 2, 0}},
        {"negative rate", {&one, 1, -16000, 1, 1}},
        {"negative frames", {&one, 1, 16000, 1, -1}},
        {"1 Hz", {&one, 1, 1, 1, 1}},
        {"999 Hz", {&one, 1, 999, 1, 1}},
        {"1 Hz and 0 frames", {&one, 1, 1, 2, 0}},
        {"length beyond int", {const_cast<float*>(many.data()), 134218, 1, 1, 134218}},
    };
    for (const refused& c : cases) {
        SCOPED_TRACE(c.name);
        int count = -7;
        testing::internal::CaptureStderr();
        EXPECT_EQ(resample_to_16k_mono(&c.in, &count), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(count, -7);
    }
    int count = -7;
    EXPECT_EQ(resample_to_16k_mono(nullptr, &count), nullptr);
    EXPECT_EQ(count, -7);
    const audio_buffer fine{&one, 1, 16000, 1, 1};
    EXPECT_EQ(resample_to_16k_mono(&fine, nullptr), nullptr);
}

}  // namespace
