// Run-time loading of shared libraries: one small interface, one source file
// per platform. Every platform difference the library has lives here.
#pragma once

#include <cstddef>

struct dynlib {
    void* handle;      // null when nothing is loaded
    char error[256];   // the platform's reason for the last failure
};

// Engine library names, tried in order: first through the platform's own
// search (which includes an engine placed next to this library), then the
// copy in the current directory.
#if defined(_WIN32)
inline constexpr const char* engine_library_names[] = {"whisper.dll", ".\\whisper.dll"};
#elif defined(__APPLE__)
inline constexpr const char* engine_library_names[] = {"libwhisper.dylib", "./libwhisper.dylib"};
#else
inline constexpr const char* engine_library_names[] = {"libwhisper.so", "./libwhisper.so"};
#endif

// Loads the library `filename`. Returns 0, or -1 with lib->error filled in.
int dynlib_open(const char* filename, dynlib* lib);

// Releases the library; lib->handle becomes null.
void dynlib_close(dynlib* lib);

// Looks up `name`. Returns 0 with *ptr set, or -1 with lib->error filled in.
int dynlib_sym(dynlib* lib, const char* name, void** ptr);
