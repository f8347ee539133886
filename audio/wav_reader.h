#pragma once

// Decoded audio of one 16-bit PCM WAV file, at the file's own rate and
// channel count. Owned by whoever declares it; only `samples` is on the heap.
struct audio_buffer {
    float* samples;   // malloc'd, interleaved, full scale 1.0; null when empty
    int n_samples;    // floats in `samples`, all channels together
    int sample_rate;  // as the file states it
    int channels;     // as the file states it (0 to 65535)
    int n_frames;     // n_samples / channels, or n_samples when channels is 0
};

// Reads a RIFF/WAVE file of 16-bit integer PCM into `out`. Returns 0, or -1
// with `out` left empty (untouched only when `path` or `out` is null).
int audio_read_wav(const char* path, audio_buffer* out);

// Releases `samples` and zeroes `n_samples`; the format fields stay. Null is fine.
void audio_buffer_free(audio_buffer* buf);
