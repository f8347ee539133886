// Helpers shared by the tests: capturing what the library writes to
// standard error, and where the platform keeps its libraries.
#pragma once

#include <cstdio>
#include <string>

#if defined(_WIN32)
#    include <io.h>
#    define test_dup _dup
#    define test_dup2 _dup2
#    define test_close _close
#    define test_fileno _fileno
#else
#    include <unistd.h>
#    define test_dup dup
#    define test_dup2 dup2
#    define test_close close
#    define test_fileno fileno
#endif

// What the stand-in for ffmpeg (ffmpeg_standin.cpp) decodes any file to:
// values that are exact in float, whose bytes include the line ends and the
// end-of-file mark that a pipe read in text mode would mangle.
constexpr int standin_sample_count = 40000;
constexpr float standin_sample(int i) { return static_cast<float>(i * 7919 % 65536 - 32768) / 32768.0f; }

inline std::string read_stream(std::FILE* f) {
    std::string content;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        content.append(chunk, n);
    }
    return content;
}

// Redirects file descriptor 2 into a temporary file for its lifetime;
// finish() restores it and returns everything written meanwhile.
class stderr_capture {
public:
    stderr_capture() : file_(std::tmpfile()) {
        std::fflush(stderr);
        saved_ = test_dup(2);
        test_dup2(test_fileno(file_), 2);
    }
    ~stderr_capture() { finish(); }
    stderr_capture(const stderr_capture&) = delete;
    stderr_capture& operator=(const stderr_capture&) = delete;

    std::string finish() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            test_dup2(saved_, 2);
            test_close(saved_);
            saved_ = -1;
            std::rewind(file_);
            text_ = read_stream(file_);
            std::fclose(file_);
        }
        return text_;
    }

private:
    std::FILE* file_;
    int saved_ = -1;
    std::string text_;
};


#if defined(_WIN32)
#    include <direct.h>
#    include <windows.h>
// windows.h maps SearchPath to SearchPathA, which would rename a test suite.
#    undef SearchPath
inline bool change_directory(const std::string& dir) { return _chdir(dir.c_str()) == 0; }
// Whether the library file at `path` is loaded in this process.
inline bool library_is_loaded(const std::string& path) {
    return GetModuleHandleA(path.c_str()) != nullptr;
}
#else
#    include <dlfcn.h>
inline bool change_directory(const std::string& dir) { return chdir(dir.c_str()) == 0; }
inline bool library_is_loaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) {
        dlclose(handle);
    }
    return handle != nullptr;
}
#endif
