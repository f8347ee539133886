// How whisper-inf gets a recording's samples: a 16-bit PCM WAV file goes to
// the library, which reads it itself; anything else is decoded by ffmpeg
// into 16 kHz mono float samples on a pipe, held whole in memory, 4 bytes a
// sample, for the library's PCM entry point.
#pragma once

#include <cstdlib>
#include <memory>

#include "platform/sample_memory.h"

// Names standard input where a file name is expected.
constexpr const char* standard_input_name = "-";

// Whether the library reads `path` itself: a RIFF/WAVE file whose format
// chunk says 16-bit integer PCM, or a file that can't be opened or read (the
// library then says why, as for any file it is given).
bool library_reads(const char* path);

struct decoded_audio {
    std::unique_ptr<float, sample_memory_free> samples;  // 16 kHz mono, full scale 1.0
    int count = 0;
};

// Runs ffmpeg from PATH on `input` (a file, or standard input for "-") and
// reads its samples. ffmpeg's messages are copied to standard error after it
// ends. Returns false, saying why on standard error in one line, when ffmpeg
// is missing or fails, or decodes no samples.
bool decode_with_ffmpeg(const char* input, decoded_audio& out);
