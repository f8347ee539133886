// The file pipeline: read the WAV file, bring it to 16 kHz mono, transcribe.
#include <cstdlib>
#include <memory>

#include "audio/wav_reader.h"
#include "include/whisper_inf.h"
#include "inference/resample.h"
#include "inference/transcribe.h"

namespace {

struct free_deleter {
    void operator()(float* p) const { std::free(p); }
};

}  // namespace

extern "C" WHISPER_INF_API char* whisper_inf_transcribe(const char* wav_path, const char* language,
                                                        int translate, int max_len) {
    if (wav_path == nullptr) {
        INF_LOG("wav_path is NULL\n");
        return nullptr;
    }
    audio_buffer audio{};
    if (audio_read_wav(wav_path, &audio) != 0) {
        INF_LOG("Failed to read WAV: %s\n", wav_path);
        return nullptr;
    }
    INF_LOG("WAV: %d Hz, %d ch, %d frames\n", audio.sample_rate, audio.channels, audio.n_frames);

    int n_samples = 0;
    const std::unique_ptr<float, free_deleter> mono(resample_to_16k_mono(&audio, &n_samples));
    // The decoded file is the larger buffer; it goes before the engine runs.
    audio_buffer_free(&audio);
    if (mono == nullptr) {
        INF_LOG("Failed to resample\n");
        return nullptr;
    }
    INF_LOG("Resampled: %d samples (16kHz mono)\n", n_samples);
    return transcribe_samples(inference_state(), mono.get(), n_samples, language, translate,
                              max_len);
}
