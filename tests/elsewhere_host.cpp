// A host that keeps the library in a folder of its own, as .NET, Python
// packages and plugin systems do: it loads the library by its full path and
// runs one model load through it, and one transcription when given a file.
//   elsewhere_host LIBRARY MODEL [FILE.wav]
// The library's path is read from the wide command line, so its folder may
// have a name that the ANSI code page can't hold.
#include <windows.h>

#include <cstdio>
#include <string>

#include "include/whisper_inf.h"
#include "platform/dynlib.h"

namespace {

std::string narrow(const wchar_t* text, UINT code_page) {
    const int n = WideCharToMultiByte(code_page, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(code_page, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

template <typename Fn>
Fn entry(dynlib& library, const char* name) {
    void* address = nullptr;
    return dynlib_sym(&library, name, &address) == 0 ? reinterpret_cast<Fn>(address) : nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: elsewhere_host LIBRARY MODEL [FILE.wav]\n", stderr);
        return 2;
    }
    dynlib library{};
    if (dynlib_open(narrow(argv[1], CP_UTF8).c_str(), &library) != 0) {
        std::fprintf(stderr, "elsewhere_host: %s\n", library.error);
        return 1;
    }
    const auto load = entry<decltype(&whisper_inf_load)>(library, "whisper_inf_load");
    const auto transcribe = entry<decltype(&whisper_inf_transcribe)>(library, "whisper_inf_transcribe");
    const auto release = entry<decltype(&whisper_inf_free)>(library, "whisper_inf_free");
    if (load == nullptr || transcribe == nullptr || release == nullptr) {
        std::fputs("elsewhere_host: the library lacks an export\n", stderr);
        return 1;
    }
    if (load(narrow(argv[2], CP_ACP).c_str()) != 0) {
        return 1;
    }
    if (argc < 4) {
        return 0;
    }
    char* document = transcribe(narrow(argv[3], CP_ACP).c_str(), "en", 0, 0);
    if (document == nullptr) {
        return 1;
    }
    std::fputs(document, stdout);
    release(document);
    return 0;
}
