// The floor of any whole-file conversion in this design: read the file and
// first-touch the memory the design must hold, 4 bytes per input sample (the
// raw bytes are read into the front of it) plus 4 bytes per output sample,
// allocated as the library allocates it, each byte written once and nothing
// computed. --small-pages allocates with plain malloc instead.
//
//   bench-touch-floor [--small-pages] FILE IN_SAMPLES OUT_SAMPLES
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/sample_memory.h"

namespace {

// Keeps the compiler from dropping stores that nothing reads.
void keep(void* p) { __asm__ volatile("" : : "r"(p) : "memory"); }

}  // namespace

int main(int argc, char** argv) {
    const bool small_pages = argc == 5 && std::string_view(argv[1]) == "--small-pages";
    if (argc != 4 + small_pages) {
        std::fputs("usage: bench-touch-floor [--small-pages] FILE IN_SAMPLES OUT_SAMPLES\n", stderr);
        return 2;
    }
    char** args = argv + 1 + small_pages;
    const std::size_t in_bytes = 4 * std::strtoull(args[1], nullptr, 10);
    const std::size_t out_bytes = 4 * std::strtoull(args[2], nullptr, 10);
    auto* in = static_cast<unsigned char*>(small_pages ? std::malloc(in_bytes)
                                                       : alloc_sample_memory(in_bytes));
    std::FILE* f = std::fopen(args[0], "rb");
    if (f == nullptr || in == nullptr) {
        std::fputs("bench-touch-floor: cannot open the file or allocate\n", stderr);
        return 1;
    }
    const std::size_t got = std::fread(in, 1, in_bytes, f);
    std::fclose(f);
    // Non-zero fill: a zero fill of fresh memory may become calloc and touch nothing.
    std::memset(in + got, 1, in_bytes - got);
    auto* out = static_cast<unsigned char*>(small_pages ? std::malloc(out_bytes)
                                                        : alloc_sample_memory(out_bytes));
    if (out == nullptr) {
        std::fputs("bench-touch-floor: cannot allocate\n", stderr);
        return 1;
    }
    std::memset(out, 1, out_bytes);
    keep(in);
    keep(out);
    std::free(out);
    std::free(in);
    return 0;
}
