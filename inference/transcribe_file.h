// The file pipeline up to the engine: a WAV file to 16 kHz mono samples.
#pragma once

// Samples read and converted at a time: 256 KiB of floats, small beside the
// output array, large enough that each read and each pass over a block costs
// little beyond its samples.
constexpr int wav_block_samples = 1 << 16;

// Reads the WAV file at `path` in blocks of `block_samples` (whole frames,
// at least one) and converts it to 16 kHz mono as it goes, logging the
// file's shape and the result's, or why it failed. Returns the malloc'd
// samples with `*out_count` set, or null.
float* wav_to_16k_mono(const char* path, int block_samples, int* out_count);
