// Engine binding and model lifecycle: the exports whisper_inf_load,
// whisper_inf_unload and whisper_inf_free.
#include <ggml-backend.h>

#include <cstdlib>
#include <cstring>

#include "include/whisper_inf.h"
#include "inference/engine.h"

// The engine's ggml entry points for backends kept as plugin libraries
// beside it, which it does not load by itself: one loads them from a folder,
// the other tells whether that gave any device to run on. Engines with
// linked-in backends export them too, and a load there finds nothing new.
#define ENGINE_BACKEND_ENTRIES(X)       \
    X(ggml_backend_load_all_from_path) \
    X(ggml_backend_dev_count)

namespace {

struct engine_backend_api {
#define ENGINE_BACKEND_SLOT(name) decltype(&::name) name;
    ENGINE_BACKEND_ENTRIES(ENGINE_BACKEND_SLOT)
#undef ENGINE_BACKEND_SLOT
};

// Zero-initialised static storage: nothing runs when the host loads us.
module_state state;

using dynlib_lookup = int (*)(dynlib*, const char*, void**);

template <typename Fn>
bool bind_entry(dynlib& library, const char* name, Fn& slot, dynlib_lookup lookup = dynlib_sym) {
    void* address = nullptr;
    if (lookup(&library, name, &address) != 0) {
        return false;
    }
    slot = reinterpret_cast<Fn>(address);
    return true;
}

// Each returns the first entry point the library lacks, or null when all are
// bound.
#define BIND_ENTRY(name)                                \
    if (!bind_entry(library, #name, api.name, lookup)) { \
        return #name;                                   \
    }

const char* bind_entries(dynlib& library, whisper_api& api) {
    const dynlib_lookup lookup = dynlib_sym;
    WHISPER_API_ENTRIES(BIND_ENTRY)
    return nullptr;
}

const char* bind_backend_entries(dynlib& library, engine_backend_api& api) {
    const dynlib_lookup lookup = dynlib_sym_linked;
    ENGINE_BACKEND_ENTRIES(BIND_ENTRY)
    return nullptr;
}
#undef BIND_ENTRY

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

// The absolute UTF-8 path of the folder the engine was bound from.
char engine_folder[dynlib_path_size];

// The engine aborts the process when it loads a model without any backend
// device, so an engine that keeps its backends as plugins has them loaded
// from its own folder (ggml looks only beside the program and in the current
// directory), and is refused when that gives no device. The folder is known
// on every platform we run on; should it not be, the device count decides.
int load_engine_backends(dynlib& library, const whisper_api& api) {
    engine_backend_api backends{};
    if (bind_backend_entries(library, backends) != nullptr) {
        return 0;  // an engine that keeps ggml to itself, or a stand-in: as before
    }
    const bool found = dynlib_folder_of(reinterpret_cast<const void*>(api.whisper_init_from_file),
                                        engine_folder, sizeof engine_folder) == 0;
    if (found) {
        backends.ggml_backend_load_all_from_path(engine_folder);
    }
    if (backends.ggml_backend_dev_count() > 0) {
        return 0;
    }
    INF_LOG("No backend device: the engine found no usable backend in %s\n",
            found ? engine_folder : "its folder");
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
    if (check_engine_version(state.library) != 0 || load_engine_backends(state.library, state.api) != 0) {
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
