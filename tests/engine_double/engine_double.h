// A stand-in for the engine library: the entry points the library binds,
// answering from a script that the test sets and recording what it was asked.
#pragma once

#include <whisper.h>

#include <cstdint>

// The double is compiled with WHISPER_SHARED and WHISPER_BUILD, so the
// engine header marks what it defines as exported, exactly as the engine does.
#define ENGINE_DOUBLE_API extern "C" WHISPER_API

constexpr int engine_double_max_segments = 8;
constexpr int engine_double_kept_samples = 32000;

struct engine_double_script {
    // Answers. A model path containing "refuse" is refused.
    int full_result;
    int n_segments;
    std::int64_t t0[engine_double_max_segments];
    std::int64_t t1[engine_double_max_segments];
    const char* text[engine_double_max_segments];
    int lang_id;
    const char* lang_code;  // what whisper_lang_str answers; may be null

    // Observations.
    int init_calls;
    int free_calls;
    int full_calls;
    int timings_calls;
    whisper_context* last_freed;
    whisper_sampling_strategy last_strategy;
    whisper_full_params last_params;
    const float* last_samples;
    int last_n_samples;
    float kept_samples[engine_double_kept_samples];  // the first samples of the last run
};

// The defaults the double's whisper_full_default_params answers, so tests can
// tell which fields the library changed.
constexpr int engine_double_default_max_len = 123;
constexpr int engine_double_default_threads = 1;
inline constexpr const char* engine_double_default_language = "xx";

// The double of the engine's ggml library, which engines that keep their
// backends as plugins bind too.
struct ggml_double_script {
    int devices;       // what a load from the engine's folder finds; starts at 1
    int load_calls;
    int count_calls;
    char folder[4096];  // the folder the last load was given, as given
};
