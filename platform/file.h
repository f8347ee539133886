// 64-bit positions in open files: long, which fseek and ftell use, has 32
// bits on Windows.
#pragma once

#include <cstdint>
#include <cstdio>

// Returns the length of `f` and leaves it at its start, or -1.
std::int64_t file_length(std::FILE* f);

// Moves `f` forward by `n` bytes. Returns 0, or -1.
int file_skip(std::FILE* f, std::int64_t n);

// Moves `f` to `pos` bytes from its start. Returns 0, or -1.
int file_seek(std::FILE* f, std::int64_t pos);
