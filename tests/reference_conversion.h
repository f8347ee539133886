// The conversion to 16 kHz mono written the plain way, a mono array first and
// then the interpolation, to check the library's fused version against.
#pragma once

#include <vector>

inline std::vector<float> reference_to_16k_mono(const float* samples, int n_frames, int channels,
                                                int rate) {
    std::vector<float> src(samples, samples + n_frames);
    if (channels >= 2) {
        for (int i = 0; i < n_frames; ++i) {
            float sum = 0.0f;
            for (int j = 0; j < channels; ++j) {
                sum += samples[i * channels + j];
            }
            src[i] = sum / static_cast<float>(channels);
        }
    }
    if (rate == 16000) {
        return src;
    }
    const double ratio = 16000.0 / rate;
    const int n_out = static_cast<int>(n_frames * ratio);
    std::vector<float> out(n_out);
    for (int i = 0; i < n_out; ++i) {
        const double pos = i / ratio;
        const int k = static_cast<int>(pos);
        const double frac = pos - k;
        const int k1 = k + 1 < n_frames ? k + 1 : n_frames - 1;
        out[i] = static_cast<float>(static_cast<double>(src[k]) * (1.0 - frac) +
                                    static_cast<double>(src[k1]) * frac);
    }
    return out;
}
