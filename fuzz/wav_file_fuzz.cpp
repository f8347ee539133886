// Any bytes as a WAV file, through the file export with no model loaded, so
// that the reader and the conversion run whole; through the reader alone,
// whose buffer must never hold more samples than the file has bytes for; and
// through the block-by-block pipeline against the whole file read and
// converted at once, which must log the same bytes and give the same samples
// bit for bit, whatever the block size.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/wav_reader.h"
#include "include/whisper_inf.h"
#include "inference/resample.h"
#include "inference/transcribe_file.h"
#include "tests/test_support.h"

namespace {

std::string temp_path;

void remove_temp_file() { std::remove(temp_path.c_str()); }

const char* input_file() {
    if (temp_path.empty()) {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir != nullptr ? dir : "/tmp") + "/fuzz-wav-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            std::abort();
        }
        close(fd);
        temp_path = pattern;
        std::atexit(remove_temp_file);
    }
    return temp_path.c_str();
}

// The samples and the standard error text of one way through the pipeline.
struct outcome {
    float* samples;
    int count;
    std::string log;
};

template <typename Run>
outcome logged(Run run) {
    stderr_capture capture;
    outcome o{nullptr, -1, {}};
    o.samples = run(&o.count);
    o.log = capture.finish();
    return o;
}

// The file read whole, then converted whole, with the pipeline's messages.
float* whole_file(const char* path, int* count) {
    audio_buffer audio{};
    if (audio_read_wav(path, &audio) != 0) {
        std::fprintf(stderr, "[whisper_inf] Failed to read WAV: %s\n", path);
        return nullptr;
    }
    std::fprintf(stderr, "[whisper_inf] WAV: %d Hz, %d ch, %d frames\n", audio.sample_rate,
                 audio.channels, audio.n_frames);
    float* mono = resample_to_16k_mono(&audio, count);
    audio_buffer_free(&audio);
    if (mono == nullptr) {
        std::fprintf(stderr, "[whisper_inf] Failed to resample\n");
        return nullptr;
    }
    std::fprintf(stderr, "[whisper_inf] Resampled: %d samples (16kHz mono)\n", *count);
    return mono;
}

void expect_same(const outcome& want, const outcome& got) {
    const bool same_samples =
        want.samples == nullptr
            ? got.samples == nullptr
            : got.samples != nullptr && want.count == got.count &&
                  std::memcmp(want.samples, got.samples, sizeof(float) * want.count) == 0;
    const bool same = want.log == got.log && same_samples;
    std::free(got.samples);
    if (!same) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* path = input_file();
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
        std::abort();
    }

    // "RIFF", size, "WAVE", and at least one 8-byte chunk header precede the samples.
    audio_buffer buf{};
    if (audio_read_wav(path, &buf) == 0 &&
        (buf.n_samples <= 0 || static_cast<std::size_t>(buf.n_samples) * 2 > size - 20)) {
        std::abort();
    }
    audio_buffer_free(&buf);

    // Blocks of a few samples put boundaries everywhere in a small file; the
    // library's own block size is checked too.
    const outcome whole = logged([&](int* count) { return whole_file(path, count); });
    const int small_block = 1 + static_cast<int>(size % 7);
    for (const int block : {small_block, wav_block_samples}) {
        expect_same(whole, logged([&](int* count) { return wav_to_16k_mono(path, block, count); }));
    }
    std::free(whole.samples);

    // No model is loaded: whatever the file, no document may come back.
    if (char* document = whisper_inf_transcribe(path, nullptr, 0, 0)) {
        whisper_inf_free(document);
        std::abort();
    }
    return 0;
}
