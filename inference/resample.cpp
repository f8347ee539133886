#include "inference/resample.h"

#include <cmath>
#include <cstdint>
#include <cstddef>
#include <cstdlib>
#include <utility>

#include "platform/sample_memory.h"

namespace {

constexpr int target_rate = 16000;
// No audio is sampled this slowly, and below it a tiny file would ask for
// gigabytes of output: at 1 Hz every frame becomes 16000 samples.
constexpr int lowest_source_rate = 1000;

// Frame i of `frames`, as mono: the sample itself for 0 or 1 channels, else
// the channel mean summed in channel order in single precision. It is
// computed where it is needed, so no intermediate mono array is ever made.
float mono_frame(const float* frames, int channels, int i) {
    if (channels < 2) {
        return frames[i];
    }
    const float* frame = frames + static_cast<std::ptrdiff_t>(i) * channels;
    float sum = 0.0f;
    for (int j = 0; j < channels; ++j) {
        sum += frame[j];
    }
    return sum / static_cast<float>(channels);
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

int mono_16k_begin(mono_16k_conversion* c, int sample_rate, int channels, int n_frames) {
    if (sample_rate > 0 && sample_rate < lowest_source_rate) {
        return -1;
    }
    // The output length is frames * ratio truncated toward zero. It is unusable
    // when not finite (a rate of 0), beyond int, or truncating below 0 (a rate
    // stated as 2^31 or more reads negative); a product between -1 and 0
    // truncates to an empty result, which is no failure.
    const double ratio = static_cast<double>(target_rate) / sample_rate;
    const double length = n_frames * ratio;
    if (!std::isfinite(length) || length >= 2147483648.0 || length <= -1.0) {
        return -1;
    }
    const int n_out = static_cast<int>(length);
    std::unique_ptr<float, sample_memory_free> out(alloc_floats(n_out));
    if (out == nullptr) {
        return -1;
    }
    *c = mono_16k_conversion{sample_rate, channels, n_frames, ratio, std::move(out), n_out, 0, 0,
                             0.0f};
    return 0;
}

void mono_16k_feed(mono_16k_conversion* c, const float* frames, int n_frames) {
    const int first = c->next_frame;
    const int end = first + n_frames;
    float* out = c->out.get();
    int i = c->next_out;
    if (c->sample_rate == target_rate) {
        // At 16 kHz the ratio is 1 and the result is the mono source itself.
        for (const int stop = end < c->n_out ? end : c->n_out; i < stop; ++i) {
            out[i] = mono_frame(frames, c->channels, i - first);
        }
    } else {
        // Output sample i sits at input position i / ratio, between two frames;
        // the last frame is its own right neighbour. There is no low-pass
        // filter. Positions only grow, so a frame before this block is at most
        // the one carried over from the last.
        for (; i < c->n_out; ++i) {
            const double pos = i / c->ratio;
            const int k = static_cast<int>(pos);
            const double frac = pos - k;
            const int k1 = k + 1 < c->n_frames ? k + 1 : c->n_frames - 1;
            if (k1 >= end) {
                break;  // its right neighbour comes with a later block
            }
            const float left = k < first ? c->carried : mono_frame(frames, c->channels, k - first);
            const float right =
                k1 < first ? c->carried : mono_frame(frames, c->channels, k1 - first);
            out[i] = static_cast<float>(static_cast<double>(left) * (1.0 - frac) +
                                        static_cast<double>(right) * frac);
        }
    }
    if (n_frames > 0) {
        c->carried = mono_frame(frames, c->channels, n_frames - 1);
    }
    c->next_out = i;
    c->next_frame = end;
}

float* mono_16k_finish(mono_16k_conversion* c, int* out_count) {
    *out_count = c->n_out;
    return c->out.release();
}

float* resample_to_16k_mono(const audio_buffer* in, int* out_count) {
    if (in == nullptr || in->samples == nullptr || in->n_samples <= 0 || out_count == nullptr) {
        return nullptr;
    }
    mono_16k_conversion c;
    if (mono_16k_begin(&c, in->sample_rate, in->channels, in->n_frames) != 0) {
        return nullptr;
    }
    mono_16k_feed(&c, in->samples, in->n_frames);
    return mono_16k_finish(&c, out_count);
}
