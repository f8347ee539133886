// The floor of a file conversion in this design: read the file through one
// reused block buffer and first-touch the output array the engine needs, 4
// bytes per output sample, allocated as the library allocates it, each byte
// written once and nothing computed. --small-pages allocates with plain
// malloc instead.
//
//   bench-touch-floor [--small-pages] FILE OUT_SAMPLES
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/sample_memory.h"

namespace {

// Keeps the compiler from dropping stores that nothing reads.
void keep(void* p) { __asm__ volatile("" : : "r"(p) : "memory"); }

// As many bytes as the library reads at a time: 64 Ki samples of 4 bytes.
unsigned char block[1 << 18];

}  // namespace

int main(int argc, char** argv) {
    const bool small_pages = argc == 4 && std::string_view(argv[1]) == "--small-pages";
    if (argc != 3 + small_pages) {
        std::fputs("usage: bench-touch-floor [--small-pages] FILE OUT_SAMPLES\n", stderr);
        return 2;
    }
    char** args = argv + 1 + small_pages;
    const std::size_t out_bytes = 4 * std::strtoull(args[1], nullptr, 10);
    std::FILE* f = std::fopen(args[0], "rb");
    auto* out = static_cast<unsigned char*>(small_pages ? std::malloc(out_bytes)
                                                        : alloc_sample_memory(out_bytes));
    if (f == nullptr || out == nullptr) {
        std::fputs("bench-touch-floor: cannot open the file or allocate\n", stderr);
        return 1;
    }
    while (std::fread(block, 1, sizeof block, f) == sizeof block) {
        keep(block);
    }
    std::fclose(f);
    // Non-zero fill: a zero fill of fresh memory may become calloc and touch nothing.
    std::memset(out, 1, out_bytes);
    keep(out);
    std::free(out);
    return 0;
}
