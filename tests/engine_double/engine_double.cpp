// Built once per variant; OMIT_<name> leaves that entry point out,
// DOUBLE_VERSION adds whisper_version answering that text, and
// DOUBLE_BACKENDS links the ggml double, as an engine with plugin backends.
#include "tests/engine_double/engine_double.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef DOUBLE_BACKENDS
#    include <ggml-backend.h>
#endif

namespace {

engine_double_script script = {0, 0, {}, {}, {}, 0, "en", 0, 0, 0, 0, nullptr,
                               WHISPER_SAMPLING_GREEDY, {}, nullptr, 0, {}};
}  // namespace

ENGINE_DOUBLE_API engine_double_script* engine_double_script_get() { return &script; }

#ifdef DOUBLE_VERSION
ENGINE_DOUBLE_API const char* whisper_version() { return DOUBLE_VERSION; }
#endif

#ifndef OMIT_whisper_init_from_file
ENGINE_DOUBLE_API whisper_context* whisper_init_from_file(const char* path) {
    if (std::strstr(path, "refuse") != nullptr) {
        return nullptr;
    }
#ifdef DOUBLE_BACKENDS
    if (ggml_backend_dev_count() == 0) {
        std::abort();  // as the engine does with no device to run on
    }
#endif
    static char contexts[2];  // distinct addresses stand for two loaded models
    return reinterpret_cast<whisper_context*>(&contexts[script.init_calls++ % 2]);
}
#endif

#ifndef OMIT_whisper_free
ENGINE_DOUBLE_API void whisper_free(whisper_context* ctx) {
    ++script.free_calls;
    script.last_freed = ctx;
}
#endif

#ifndef OMIT_whisper_full_default_params
ENGINE_DOUBLE_API whisper_full_params whisper_full_default_params(whisper_sampling_strategy strategy) {
    whisper_full_params params{};
    params.strategy = strategy;
    params.n_threads = engine_double_default_threads;
    params.max_len = engine_double_default_max_len;
    params.language = engine_double_default_language;
    params.print_special = true;
    params.print_progress = true;
    params.print_realtime = true;
    params.print_timestamps = true;
    params.no_context = true;
    params.temperature = 0.25f;
    script.last_strategy = strategy;
    return params;
}
#endif

#ifndef OMIT_whisper_full
ENGINE_DOUBLE_API int whisper_full(whisper_context*, whisper_full_params params, const float* samples,
                                   int n_samples) {
    ++script.full_calls;
    script.last_params = params;
    script.last_samples = samples;
    script.last_n_samples = n_samples;
    std::copy(samples, samples + std::min(n_samples, engine_double_kept_samples), script.kept_samples);
    return script.full_result;
}
#endif

#ifndef OMIT_whisper_full_n_segments
ENGINE_DOUBLE_API int whisper_full_n_segments(whisper_context*) { return script.n_segments; }
#endif

#ifndef OMIT_whisper_full_get_segment_t0
ENGINE_DOUBLE_API int64_t whisper_full_get_segment_t0(whisper_context*, int i) { return script.t0[i]; }
#endif

#ifndef OMIT_whisper_full_get_segment_t1
ENGINE_DOUBLE_API int64_t whisper_full_get_segment_t1(whisper_context*, int i) { return script.t1[i]; }
#endif

#ifndef OMIT_whisper_full_get_segment_text
ENGINE_DOUBLE_API const char* whisper_full_get_segment_text(whisper_context*, int i) {
    return script.text[i];
}
#endif

#ifndef OMIT_whisper_full_lang_id
ENGINE_DOUBLE_API int whisper_full_lang_id(whisper_context*) { return script.lang_id; }
#endif

#ifndef OMIT_whisper_lang_str
ENGINE_DOUBLE_API const char* whisper_lang_str(int) { return script.lang_code; }
#endif

#ifndef OMIT_whisper_lang_id
ENGINE_DOUBLE_API int whisper_lang_id(const char*) { return 0; }
#endif

#ifndef OMIT_whisper_print_timings
ENGINE_DOUBLE_API void whisper_print_timings(whisper_context*) { ++script.timings_calls; }
#endif
