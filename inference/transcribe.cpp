#include "inference/transcribe.h"

#include <cstring>

#include "include/whisper_inf.h"
#include "inference/result_json.h"

namespace {

constexpr int engine_threads = 4;
constexpr float engine_sample_rate = 16000.0f;

// The engine's greedy defaults with the host's choices applied; the language
// field points at the host's string for the duration of the run.
whisper_full_params decoding_settings(const whisper_api& api, const char* language, int translate,
                                      int max_len) {
    whisper_full_params params = api.whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    params.n_threads = engine_threads;
    params.translate = translate != 0;
    params.print_special = false;
    params.print_progress = false;
    params.print_realtime = false;
    params.print_timestamps = false;
    if (max_len > 0) {
        params.max_len = max_len;
    }
    if (language != nullptr) {
        params.language = std::strcmp(language, "auto") == 0 ? nullptr : language;
    }
    return params;
}

}  // namespace

char* transcribe_samples(const module_state& state, const float* pcm, int n_samples,
                         const char* language, int translate, int max_len) {
    if (state.ctx == nullptr) {
        INF_LOG("No model loaded\n");
        return nullptr;
    }
    if (pcm == nullptr || n_samples <= 0) {
        INF_LOG("Invalid PCM data\n");
        return nullptr;
    }
    const whisper_full_params params = decoding_settings(state.api, language, translate, max_len);
    INF_LOG("Transcribing %d samples (%.1f sec)...\n", n_samples,
            static_cast<double>(static_cast<float>(n_samples) / engine_sample_rate));
    const int result = state.api.whisper_full(state.ctx, params, pcm, n_samples);
    if (result != 0) {
        INF_LOG("whisper_full() failed: %d\n", result);
        return nullptr;
    }
    state.api.whisper_print_timings(state.ctx);
    return build_result_json(state.api, state.ctx, language);
}

extern "C" WHISPER_INF_API char* whisper_inf_transcribe_pcm(const float* pcm, int n_samples,
                                                            const char* language, int translate,
                                                            int max_len) {
    return transcribe_samples(inference_state(), pcm, n_samples, language, translate, max_len);
}
