#include "inference/resample.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "platform/sample_memory.h"

namespace {

constexpr int target_rate = 16000;
// No audio is sampled this slowly, and below it a tiny file would ask for
// gigabytes of output: at 1 Hz every frame becomes 16000 samples.
constexpr int lowest_source_rate = 1000;

// Frame i of the mono source: the sample itself for 0 or 1 channels, else the
// channel mean summed in channel order in single precision. It is computed
// where it is needed, so no intermediate mono array is ever made.
float mono_frame(const audio_buffer& in, int i) {
    if (in.channels < 2) {
        return in.samples[i];
    }
    const float* frame = in.samples + i * in.channels;
    float sum = 0.0f;
    for (int j = 0; j < in.channels; ++j) {
        sum += frame[j];
    }
    return sum / static_cast<float>(in.channels);
}

// Output sample i sits at input position i / ratio, between two frames; the
// last frame is its own right neighbour. There is no low-pass filter.
float interpolate(const audio_buffer& in, double ratio, int i) {
    const double pos = i / ratio;
    const int k = static_cast<int>(pos);
    const double frac = pos - k;
    const int k1 = k + 1 < in.n_frames ? k + 1 : in.n_frames - 1;
    return static_cast<float>(static_cast<double>(mono_frame(in, k)) * (1.0 - frac) +
                              static_cast<double>(mono_frame(in, k1)) * frac);
}

// malloc(0) may return null, so an empty result still gets one element.
float* alloc_floats(int n) {
    const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 1;
    if (count > SIZE_MAX / sizeof(float)) {
        return nullptr;  // reachable only where size_t has 32 bits
    }
    return static_cast<float*>(alloc_sample_memory(count * sizeof(float)));
}

}  // namespace

float* resample_to_16k_mono(const audio_buffer* in, int* out_count) {
    if (in == nullptr || in->samples == nullptr || in->n_samples <= 0 || out_count == nullptr) {
        return nullptr;
    }
    if (in->sample_rate > 0 && in->sample_rate < lowest_source_rate) {
        return nullptr;
    }
    // The output length is frames * ratio truncated toward zero. It is unusable
    // when not finite (a rate of 0), beyond int, or truncating below 0 (a rate
    // stated as 2^31 or more reads negative); a product between -1 and 0
    // truncates to an empty result, which is no failure.
    const double ratio = static_cast<double>(target_rate) / in->sample_rate;
    const double length = in->n_frames * ratio;
    if (!std::isfinite(length) || length >= 2147483648.0 || length <= -1.0) {
        return nullptr;
    }
    const int n_out = static_cast<int>(length);
    float* out = alloc_floats(n_out);
    if (out == nullptr) {
        return nullptr;
    }
    // At 16 kHz the ratio is 1 and the result is the mono source itself.
    for (int i = 0; i < n_out; ++i) {
        out[i] = in->sample_rate == target_rate ? mono_frame(*in, i) : interpolate(*in, ratio, i);
    }
    *out_count = n_out;
    return out;
}
