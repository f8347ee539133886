// A stand-in for ffmpeg, put on PATH under that name by the tests of
// whisper-inf's decoding: it runs where the real one is not to be had
// (Windows under Wine) and fails on request. It takes the input after -i and
// answers by its name:
//   ...fail...   two lines on standard error, exit status 1
//   ...empty...  no samples, exit status 0
//   otherwise    the input must open (so its name arrived whole), then the
//                stand-in's samples as raw 32-bit floats, in uneven pieces
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/test_support.h"

#if defined(_WIN32)
#    include <fcntl.h>
#endif

int main(int argc, char** argv) {
    std::string input;
    for (int i = 1; i + 1 < argc; ++i) {
        input = std::strcmp(argv[i], "-i") == 0 ? argv[i + 1] : input;
    }
    if (input.find("fail") != std::string::npos) {
        std::fputs("stand-in: first line\nstand-in: can't decode it\n", stderr);
        return 1;
    }
    if (input.find("empty") != std::string::npos) {
        return 0;
    }
    std::FILE* file = input.rfind("file:", 0) == 0 ? std::fopen(input.c_str() + 5, "rb") : nullptr;
    if (file == nullptr) {
        std::fprintf(stderr, "stand-in: can't open the input %s\n", input.c_str());
        return 3;
    }
    std::fclose(file);
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    float samples[standin_sample_count];
    for (int i = 0; i < standin_sample_count; ++i) {
        samples[i] = standin_sample(i);
    }
    // Pieces that split samples, flushed one by one, so reads see them apart.
    const char* bytes = reinterpret_cast<const char*>(samples);
    const std::size_t total = sizeof samples;
    const std::size_t pieces[] = {1, 3, 4093, 65537};
    for (std::size_t at = 0, k = 0; at < total; ++k) {
        const std::size_t n = pieces[k % 4] < total - at ? pieces[k % 4] : total - at;
        std::fwrite(bytes + at, 1, n, stdout);
        std::fflush(stdout);
        at += n;
    }
    return 0;
}
