// A stand-in for the engine's ggml library: loading the backends from a
// folder finds devices only when that folder holds the engine, as plugins
// kept beside it would be found. Built once more under the stock ggml name,
// as another copy of ggml that a host may have loaded before us.
#include <ggml-backend.h>

#include <cstdio>
#include <filesystem>

#include "tests/engine_double/engine_double.h"

namespace {

ggml_double_script script = {1, 0, 0, {}};
std::size_t devices_found = 0;

}  // namespace

extern "C" {
GGML_API ggml_double_script* ggml_double_script_get();
}

ggml_double_script* ggml_double_script_get() { return &script; }

void ggml_backend_load_all_from_path(const char* dir_path) {
    ++script.load_calls;
    std::snprintf(script.folder, sizeof script.folder, "%s", dir_path);
    std::error_code error;
    const bool beside_engine = std::filesystem::exists(std::filesystem::u8path(dir_path) / ENGINE_DOUBLE_FILE, error);
    devices_found = beside_engine ? static_cast<std::size_t>(script.devices) : 0;
}

size_t ggml_backend_dev_count() {
    ++script.count_calls;
    return devices_found;
}
