// Any bytes as a WAV file, through the file export with no model loaded, so
// that the reader and the conversion run whole; and through the reader alone,
// whose buffer must never hold more samples than the file has bytes for.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/wav_reader.h"
#include "include/whisper_inf.h"

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

    // No model is loaded: whatever the file, no document may come back.
    if (char* document = whisper_inf_transcribe(path, nullptr, 0, 0)) {
        whisper_inf_free(document);
        std::abort();
    }
    return 0;
}
