// Engine binding and model lifecycle: the exports whisper_inf_load,
// whisper_inf_unload and whisper_inf_free.
#include <cstdlib>
#include <cstring>

#include "include/whisper_inf.h"
#include "inference/engine.h"

namespace {

// Zero-initialised static storage: nothing runs when the host loads us.
module_state state;

template <typename Fn>
bool bind_entry(dynlib& library, const char* name, Fn& slot) {
    void* address = nullptr;
    if (dynlib_sym(&library, name, &address) != 0) {
        return false;
    }
    slot = reinterpret_cast<Fn>(address);
    return true;
}

// Returns the first entry point the library lacks, or null when all are bound.
const char* bind_entries(dynlib& library, whisper_api& api) {
#define WHISPER_API_BIND(name)                      \
    if (!bind_entry(library, #name, api.name)) {    \
        return #name;                               \
    }
    WHISPER_API_ENTRIES(WHISPER_API_BIND)
#undef WHISPER_API_BIND
    return nullptr;
}

int open_engine_library(dynlib& library) {
    const char* names[max_engine_candidates];
    const int count = engine_library_candidates(names);
    for (int i = 0; i < count; ++i) {
        if (dynlib_open(names[i], &library) == 0) {
            INF_LOG("Loaded: %s\n", names[i]);
            return 0;
        }
    }
    INF_LOG("Failed to load whisper library: %s\n", "LoadLibrary failed");
    return -1;
}

// The parameter record passes by value, so an engine of another version than
// the header we were built with would read it wrongly. Engines that cannot
// tell their version are trusted.
int check_engine_version(dynlib& library) {
    const char* (*engine_version)() = nullptr;
    if (!bind_entry(library, "whisper_version", engine_version)) {
        return 0;
    }
    const char* found = engine_version();
    if (found != nullptr && std::strcmp(found, WHISPER_INF_ENGINE_VERSION) == 0) {
        return 0;
    }
    INF_LOG("Engine version mismatch: built for %s, found %s\n", WHISPER_INF_ENGINE_VERSION,
            found != nullptr ? found : "(none)");
    return -1;
}

int load_whisper_library() {
    if (state.library.handle != nullptr) {
        return 0;
    }
    if (open_engine_library(state.library) != 0) {
        return -1;
    }
    if (const char* missing = bind_entries(state.library, state.api)) {
        INF_LOG("Missing symbol: %s\n", missing);
        dynlib_close(&state.library);
        return -1;
    }
    if (check_engine_version(state.library) != 0) {
        dynlib_close(&state.library);
        return -1;
    }
    INF_LOG("Library loaded successfully\n");
    return 0;
}

}  // namespace

const module_state& inference_state() { return state; }

extern "C" WHISPER_INF_API int whisper_inf_load(const char* model_path) {
    if (model_path == nullptr) {
        INF_LOG("model_path is NULL\n");
        return -1;
    }
    if (load_whisper_library() != 0) {
        return -1;
    }
    if (state.ctx != nullptr) {
        state.api.whisper_free(state.ctx);
        state.ctx = nullptr;
    }
    INF_LOG("Loading model: %s\n", model_path);
    state.ctx = state.api.whisper_init_from_file(model_path);
    if (state.ctx == nullptr) {
        INF_LOG("Failed to load model: %s\n", model_path);
        return -1;
    }
    INF_LOG("Model loaded successfully\n");
    return 0;
}

extern "C" WHISPER_INF_API void whisper_inf_unload(void) {
    if (state.ctx != nullptr && state.api.whisper_free != nullptr) {
        state.api.whisper_free(state.ctx);
        state.ctx = nullptr;
    }
    INF_LOG("Model unloaded\n");
}

extern "C" WHISPER_INF_API void whisper_inf_free(void* ptr) { std::free(ptr); }
