#include "platform/dynlib.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct heap_free {
    void operator()(void* p) const { std::free(p); }
};
using wide_string = std::unique_ptr<wchar_t[], heap_free>;

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

// UTF-8 to UTF-16, or null for text that is not UTF-8.
wide_string to_wide(const char* text) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    wide_string wide(n > 0 ? static_cast<wchar_t*>(std::malloc(sizeof(wchar_t) * n)) : nullptr);
    if (wide != nullptr && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.get(), n) != n) {
        wide.reset();
    }
    return wide;
}

// "C:\..." or "\\server\...": a path that names one file wherever we run.
bool is_full_path(const char* p) {
    const bool drive = ((p[0] | 0x20) >= 'a' && (p[0] | 0x20) <= 'z') && p[1] == ':' &&
                       (p[2] == '\\' || p[2] == '/');
    return drive || (p[0] == '\\' && p[1] == '\\');
}

// A full path is loaded with its own folder searched for its dependencies
// (the engine's ggml DLLs), whatever the host did to its DLL search. Systems
// without these flags refuse them as an invalid parameter; the older flag
// then does the same, except in processes that called
// SetDefaultDllDirectories, which is why it is only the fallback.
HMODULE load_library(const wchar_t* name, bool full_path) {
    if (!full_path) {
        return LoadLibraryExW(name, nullptr, 0);
    }
    HMODULE module =
        LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        module = LoadLibraryExW(name, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return module;
}

constexpr DWORD longest_path = 32768;  // in UTF-16 units, with the NUL

// The full path of the module that holds `address`, cut after the backslash
// that ends its folder (`length` units); null when the system can't tell.
wide_string module_folder(const void* address, DWORD& length) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module)) {
        return nullptr;
    }
    wide_string path(static_cast<wchar_t*>(std::malloc(sizeof(wchar_t) * longest_path)));
    if (path == nullptr) {
        return nullptr;
    }
    length = GetModuleFileNameW(module, path.get(), longest_path);
    if (length == 0 || length >= longest_path) {
        return nullptr;  // failed, or cut short
    }
    while (length > 0 && path[length - 1] != L'\\') {
        --length;
    }
    if (length == 0) {
        return nullptr;
    }
    path[length] = L'\0';
    return path;
}

bool to_utf8(const wchar_t* text, char* out, std::size_t size) {
    const int capacity = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, out, capacity, nullptr, nullptr) > 0;
}

// The engine's full path beside the module that holds this code, in UTF-8.
char engine_beside_library[dynlib_path_size];

bool find_engine_beside_library() {
    DWORD folder_end = 0;
    const wide_string path = module_folder(&engine_beside_library, folder_end);
    const char* engine = engine_library_names[0];
    const std::size_t engine_length = std::strlen(engine);
    if (path == nullptr || folder_end + engine_length >= longest_path) {
        return false;
    }
    for (std::size_t i = 0; i <= engine_length; ++i) {  // with its NUL
        path[folder_end + i] = static_cast<wchar_t>(engine[i]);
    }
    return to_utf8(path.get(), engine_beside_library, sizeof engine_beside_library);
}

}  // namespace

// Windows looks for a DLL beside the host's .exe, not beside the DLL that asks
// for it; hosts often keep us in a folder of our own (.NET's
// runtimes/win-x64/native, a Python package, a plugin folder).
int engine_library_candidates(const char* (&names)[max_engine_candidates]) {
    names[0] = engine_library_names[0];
    names[1] = engine_library_names[1];
    if (!find_engine_beside_library()) {
        return 2;
    }
    names[2] = engine_beside_library;
    return 3;
}

int dynlib_open(const char* filename, dynlib* lib) {
    lib->error[0] = '\0';
    lib->handle = nullptr;
    const wide_string name = to_wide(filename);
    if (name == nullptr) {
        std::snprintf(lib->error, sizeof lib->error, "not a UTF-8 file name");
        return -1;
    }
    lib->handle = reinterpret_cast<void*>(load_library(name.get(), is_full_path(filename)));
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

// The loader has filled each import's address table with the addresses it
// bound, so the first of them names the module that import was resolved to,
// whatever that module is called.
int dynlib_sym_linked(dynlib* lib, const char* name, void** ptr) {
    if (dynlib_sym(lib, name, ptr) == 0) {
        return 0;
    }
    const auto* base = static_cast<const unsigned char*>(lib->handle);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT) {
        return -1;
    }
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) {
        return -1;
    }
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        const void* bound = *reinterpret_cast<void* const*>(base + entry->FirstThunk);
        HMODULE module = nullptr;
        if (bound == nullptr ||
            !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                static_cast<LPCWSTR>(bound), &module)) {
            continue;
        }
        if (FARPROC found = GetProcAddress(module, name)) {
            *ptr = reinterpret_cast<void*>(found);
            return 0;
        }
    }
    return -1;  // lib->error still says why the library itself lacks it
}

int dynlib_folder_of(const void* address, char* folder, std::size_t size) {
    DWORD length = 0;
    const wide_string path = module_folder(address, length);
    return path != nullptr && to_utf8(path.get(), folder, size) ? 0 : -1;
}
