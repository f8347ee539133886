#pragma once

#include "audio/wav_reader.h"

// Averages the channels of `in` and resamples it to 16 kHz by linear
// interpolation into a new malloc'd array; `in` is left untouched. On success
// `*out_count` receives the sample count, which may be 0 (the array is then
// still a valid, non-null allocation). Returns null, without a message, for a
// missing or empty input, a positive rate below 1000 Hz, a rate that gives no
// usable output length, or an allocation failure; `*out_count` is then
// unwritten.
float* resample_to_16k_mono(const audio_buffer* in, int* out_count);
