#include "platform/dynlib.h"

#include <dlfcn.h>
#include <limits.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void save_error(dynlib* lib) {
    const char* reason = dlerror();
    std::snprintf(lib->error, sizeof lib->error, "%s", reason ? reason : "unknown error");
}

}  // namespace

// The library's run path is $ORIGIN (@loader_path on macOS), so the search by
// name already finds an engine placed beside it.
int engine_library_candidates(const char* (&names)[max_engine_candidates]) {
    names[0] = engine_library_names[0];
    names[1] = engine_library_names[1];
    return 2;
}

int dynlib_open(const char* filename, dynlib* lib) {
    dlerror();
    lib->error[0] = '\0';
    lib->handle = dlopen(filename, RTLD_NOW | RTLD_LOCAL);
    if (lib->handle == nullptr) {
        save_error(lib);
        return -1;
    }
    return 0;
}

void dynlib_close(dynlib* lib) {
    if (lib->handle != nullptr) {
        dlclose(lib->handle);
        lib->handle = nullptr;
    }
}

int dynlib_sym(dynlib* lib, const char* name, void** ptr) {
    dlerror();
    *ptr = dlsym(lib->handle, name);
    if (*ptr == nullptr) {
        save_error(lib);
        return -1;
    }
    return 0;
}

// dlsym already searches the libraries loaded with the one it is given.
int dynlib_sym_linked(dynlib* lib, const char* name, void** ptr) { return dynlib_sym(lib, name, ptr); }

int dynlib_folder_of(const void* address, char* folder, std::size_t size) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return -1;
    }
    // The name the library was opened by: relative for "./libwhisper.so",
    // which names the current directory while we are still binding.
    char opened_in[PATH_MAX] = ".";
    if (const char* slash = std::strrchr(info.dli_fname, '/')) {
        const std::size_t length = slash == info.dli_fname ? 1 : static_cast<std::size_t>(slash - info.dli_fname);
        if (length >= sizeof opened_in) {
            return -1;
        }
        std::memcpy(opened_in, info.dli_fname, length);
        opened_in[length] = '\0';
    }
    char* absolute = realpath(opened_in, nullptr);
    const bool fits = absolute != nullptr && std::strlen(absolute) < size;
    if (fits) {
        std::strcpy(folder, absolute);
    }
    std::free(absolute);
    return fits ? 0 : -1;
}
