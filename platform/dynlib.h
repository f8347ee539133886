// Run-time loading of shared libraries: one small interface, one source file
// per platform. Every platform difference the library has lives here.
#pragma once

#include <cstddef>

struct dynlib {
    void* handle;      // null when nothing is loaded
    char error[256];   // the platform's reason for the last failure
};

// Engine library names: first through the platform's own search, then the
// copy in the current directory.
#if defined(_WIN32)
inline constexpr const char* engine_library_names[] = {"whisper.dll", ".\\whisper.dll"};
#elif defined(__APPLE__)
inline constexpr const char* engine_library_names[] = {"libwhisper.dylib", "./libwhisper.dylib"};
#else
inline constexpr const char* engine_library_names[] = {"libwhisper.so", "./libwhisper.so"};
#endif

// Every candidate tried to bind the engine, in order: the names above, then,
// where the platform's search does not look beside this library (Windows;
// elsewhere its run path does), the engine's full path in this library's own
// folder. Fills `names` with UTF-8 strings, valid until the next call, and
// returns how many there are.
inline constexpr int max_engine_candidates = 3;
int engine_library_candidates(const char* (&names)[max_engine_candidates]);

// Loads the library `filename` (UTF-8). On Windows a full path also has its
// own folder searched for the library's dependencies. Returns 0, or -1 with
// lib->error filled in.
int dynlib_open(const char* filename, dynlib* lib);

// Releases the library; lib->handle becomes null.
void dynlib_close(dynlib* lib);

// Looks up `name`. Returns 0 with *ptr set, or -1 with lib->error filled in.
int dynlib_sym(dynlib* lib, const char* name, void** ptr);

// Looks up `name` in the library and then in the libraries it links, which
// were loaded with it: an engine keeps part of its interface in those.
// Returns 0 with *ptr set, or -1 with lib->error filled in.
int dynlib_sym_linked(dynlib* lib, const char* name, void** ptr);

// Room for any path a platform gives, in UTF-8 with its NUL: Windows' long
// paths take up to 32767 UTF-16 units, and a unit at most 3 UTF-8 bytes.
inline constexpr std::size_t dynlib_path_size = 3 * 32768;

// Writes the absolute path, in UTF-8, of the folder of the loaded library
// that holds `address`. Returns 0, or -1 when the platform can't tell or the
// path takes more than `size` bytes.
int dynlib_folder_of(const void* address, char* folder, std::size_t size);
