// The engine entry points the library drives, and the process-wide state that
// holds them. The engine is never linked: its library is loaded at run time
// and each entry point is looked up by name.
#pragma once

#include <whisper.h>

#include <cstdio>

#include "platform/compiler.h"
#include "platform/dynlib.h"

// Every message of the inference front is one line on standard error.
#define INF_LOG(...) std::fprintf(stderr, "[whisper_inf] " __VA_ARGS__)

// The single list of bound entry points, in binding order (which decides the
// name a missing-symbol message reports). Both the table below and the
// binding loop are generated from it.
#define WHISPER_API_ENTRIES(X)      \
    X(whisper_init_from_file)       \
    X(whisper_free)                 \
    X(whisper_full_default_params)  \
    X(whisper_full)                 \
    X(whisper_full_n_segments)      \
    X(whisper_full_get_segment_t0)  \
    X(whisper_full_get_segment_t1)  \
    X(whisper_full_get_segment_text) \
    X(whisper_full_lang_id)         \
    X(whisper_lang_str)             \
    X(whisper_lang_id)              \
    X(whisper_print_timings)

// The engine marks whisper_init_from_file deprecated; taking its type is not a
// use of it, and the engine version is pinned.
ALLOW_DEPRECATED_BEGIN
struct whisper_api {
#define WHISPER_API_SLOT(name) decltype(&::name) name;
    WHISPER_API_ENTRIES(WHISPER_API_SLOT)
#undef WHISPER_API_SLOT
};
ALLOW_DEPRECATED_END

struct module_state {
    dynlib library;         // handle null until a binding succeeds
    whisper_context* ctx;   // null when no model is loaded
    whisper_api api;
};

// The one process-wide state, read by the transcription exports.
const module_state& inference_state();
