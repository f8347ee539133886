#include "platform/dynlib.h"

#include <windows.h>

#include <cstdio>

namespace {

void save_error(dynlib* lib) {
    const DWORD code = GetLastError();
    const DWORD written = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), lib->error, sizeof lib->error, nullptr);
    if (written == 0) {
        std::snprintf(lib->error, sizeof lib->error, "error %lu", static_cast<unsigned long>(code));
        return;
    }
    // System messages end in "\r\n"; callers print the reason on one line.
    for (DWORD i = written; i > 0 && (lib->error[i - 1] == '\r' || lib->error[i - 1] == '\n'); --i) {
        lib->error[i - 1] = '\0';
    }
}

}  // namespace

int dynlib_open(const char* filename, dynlib* lib) {
    lib->error[0] = '\0';
    lib->handle = reinterpret_cast<void*>(LoadLibraryA(filename));
    if (lib->handle == nullptr) {
        save_error(lib);
        return -1;
    }
    return 0;
}

void dynlib_close(dynlib* lib) {
    if (lib->handle != nullptr) {
        FreeLibrary(static_cast<HMODULE>(lib->handle));
        lib->handle = nullptr;
    }
}

int dynlib_sym(dynlib* lib, const char* name, void** ptr) {
    *ptr = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib->handle), name));
    if (*ptr == nullptr) {
        save_error(lib);
        return -1;
    }
    return 0;
}
