// The file pipeline: read the WAV file, bring it to 16 kHz mono, transcribe.
#include "inference/transcribe_file.h"

#include <cstddef>
#include <cstdlib>
#include <memory>

#include "audio/wav_reader.h"
#include "include/whisper_inf.h"
#include "inference/resample.h"
#include "inference/transcribe.h"

namespace {

// Reads every sample of `wav` in blocks of whole frames and feeds them, when
// there is a conversion, to it. Returns 0, or -1 when the file can't be read.
int read_blocks(wav_stream& wav, int block_samples, mono_16k_conversion* conversion) {
    const int frame = wav.channels > 1 ? wav.channels : 1;
    const int block = (block_samples > frame ? block_samples / frame : 1) * frame;
    const std::unique_ptr<float, sample_memory_free> samples(
        static_cast<float*>(std::malloc(sizeof(float) * static_cast<std::size_t>(block))));
    if (samples == nullptr) {
        return -1;
    }
    while (wav.samples_left > 0) {
        // The last block may end in part of a frame, which is read but not converted.
        const int n = wav.samples_left < block ? wav.samples_left : block;
        if (wav_stream_read(&wav, samples.get(), n) != 0) {
            return -1;
        }
        if (conversion != nullptr) {
            mono_16k_feed(conversion, samples.get(), n / frame);
        }
    }
    return 0;
}

}  // namespace

float* wav_to_16k_mono(const char* path, int block_samples, int* out_count) {
    wav_stream wav{};
    mono_16k_conversion conversion;
    const bool opened = wav_stream_open(path, &wav) == 0;
    // Refused or not, the whole data chunk is read before the conversion's
    // verdict is logged, so that a file that can't be read fails as such.
    const bool converting =
        opened && mono_16k_begin(&conversion, wav.sample_rate, wav.channels, wav.n_frames) == 0;
    if (!opened || read_blocks(wav, block_samples, converting ? &conversion : nullptr) != 0) {
        INF_LOG("Failed to read WAV: %s\n", path);
        return nullptr;
    }
    wav_stream_report(wav);
    INF_LOG("WAV: %d Hz, %d ch, %d frames\n", wav.sample_rate, wav.channels, wav.n_frames);
    if (!converting) {
        INF_LOG("Failed to resample\n");
        return nullptr;
    }
    float* mono = mono_16k_finish(&conversion, out_count);
    INF_LOG("Resampled: %d samples (16kHz mono)\n", *out_count);
    return mono;
}

extern "C" WHISPER_INF_API char* whisper_inf_transcribe(const char* wav_path, const char* language,
                                                        int translate, int max_len) {
    if (wav_path == nullptr) {
        INF_LOG("wav_path is NULL\n");
        return nullptr;
    }
    int n_samples = 0;
    const std::unique_ptr<float, sample_memory_free> mono(
        wav_to_16k_mono(wav_path, wav_block_samples, &n_samples));
    if (mono == nullptr) {
        return nullptr;
    }
    return transcribe_samples(inference_state(), mono.get(), n_samples, language, translate,
                              max_len);
}
