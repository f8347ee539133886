#pragma once

#include <cstdio>
#include <memory>

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

struct wav_file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// A WAV file whose chunks have all been scanned and accepted, positioned at
// the samples of its last data chunk, so that they can be read in blocks
// instead of all at once. The file closes with the record.
struct wav_stream {
    std::unique_ptr<std::FILE, wav_file_closer> file;
    const char* path;  // not owned; named in messages
    int sample_rate;   // the shape as audio_buffer states it
    int channels;
    int n_frames;
    int n_samples;     // in the data chunk, at least 1
    int samples_left;  // not yet read
};

// Opens `path` and scans its chunks with every check of audio_read_wav,
// writing the same message for a refused file. Returns 0, or -1 with `out`
// holding no file.
int wav_stream_open(const char* path, wav_stream* out);

// Reads the next `n` samples (1 to `samples_left`) into `dst` as floats.
// Returns 0, or -1 without a message.
int wav_stream_read(wav_stream* s, float* dst, int n);

// Writes the message that a file was read whole, with its shape.
void wav_stream_report(const wav_stream& s);
