#include "platform/dynlib.h"

#include <dlfcn.h>

#include <cstdio>

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
