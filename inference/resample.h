#pragma once

#include <cstdlib>
#include <memory>

#include "audio/wav_reader.h"
#include "platform/sample_memory.h"

// Averages the channels of `in` and resamples it to 16 kHz by linear
// interpolation into a new malloc'd array; `in` is left untouched. On success
// `*out_count` receives the sample count, which may be 0 (the array is then
// still a valid, non-null allocation). Returns null, without a message, for a
// missing or empty input, a positive rate below 1000 Hz, a rate that gives no
// usable output length, or an allocation failure; `*out_count` is then
// unwritten.
float* resample_to_16k_mono(const audio_buffer* in, int* out_count);

// The same conversion fed frame blocks in order, so that the source never
// has to be held whole: each output sample is written as soon as the two
// source frames around it have arrived, into an array allocated once at its
// final length.
struct mono_16k_conversion {
    int sample_rate;
    int channels;
    int n_frames;  // of the whole source
    double ratio;
    std::unique_ptr<float, sample_memory_free> out;
    int n_out;
    int next_out;    // the first output sample not yet written
    int next_frame;  // the index of the first frame of the next block
    float carried;   // the mono value of frame next_frame - 1
};

// Checks the source's shape and allocates the output, with the refusals of
// resample_to_16k_mono. Returns 0, or -1 without a message.
int mono_16k_begin(mono_16k_conversion* c, int sample_rate, int channels, int n_frames);

// Converts the next `n_frames` interleaved frames of the source.
void mono_16k_feed(mono_16k_conversion* c, const float* frames, int n_frames);

// Hands over the output once every frame has been fed; `*out_count` receives
// its length.
float* mono_16k_finish(mono_16k_conversion* c, int* out_count);
