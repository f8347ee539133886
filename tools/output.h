// Where whisper-inf's output goes: files written whole or not at all, and
// standard error held back in quiet mode.
#pragma once

#include <string>
#include <string_view>

#include "tools/formats.h"

// FILE.EXT beside the input, the engine CLI's naming, or BASE.EXT.
std::string output_path(const char* input, const char* base, output_format format);

// Writes `contents` to a temporary file beside `path`, then renames it onto
// `path`: a reader sees the old file or the whole new one. Returns false
// with the reason on standard error.
bool write_whole_file(const std::string& path, std::string_view contents);

// Writes what the file at descriptor `fd` holds, from its start, to standard
// error, and returns its last line that is not empty.
std::string replay_to_stderr(int fd);

// While alive and `active`, what anyone in the process writes to file
// descriptor 2 goes to a temporary file; release(true) shows it.
class held_stderr {
public:
    explicit held_stderr(bool active);
    ~held_stderr() { release(false); }
    held_stderr(const held_stderr&) = delete;
    held_stderr& operator=(const held_stderr&) = delete;

    void release(bool show);

private:
    int saved_ = -1;
    int held_ = -1;
};
