// What the command-line host needs from the platform beyond the C library:
// file descriptor juggling to hold standard error back, replacing a file in
// one step, and running a decoder program whose output it reads on a pipe.
// One source file per platform.
#pragma once

#include <cstdint>

// Descriptor calls under the platform's own names (dup, _dup and so on).
int fd_duplicate(int fd);
int fd_redirect(int from, int onto);  // makes `onto` refer to what `from` does
int fd_close(int fd);
long fd_read(int fd, char* buffer, unsigned size);
int fd_rewind(int fd);

// Opens a new, empty temporary file for reading and writing that disappears
// when closed. Returns its descriptor, or -1.
int fd_temporary();

// Renames `from` to `to`, replacing `to` if it exists, in one step as far as
// the platform allows. Returns 0, or -1 with errno set.
int file_replace(const char* from, const char* to);

// This process's id, to make file names no other running copy uses.
long process_id();

// A program started by process_start, its standard output on a pipe.
struct child_process {
    std::intptr_t id;  // the platform's process id or handle
    int output;        // descriptor of the pipe's reading end, for fd_read
};

// Starts `program`, looked for on PATH only (as `program`.exe on Windows),
// with `arguments` (argv style: the program's name first, then a null). It
// shares this process's standard input, writes its standard output into the
// pipe and its standard error to descriptor `error_fd`. Returns 0, or -1
// with errno set: ENOENT when no such program is on PATH.
int process_start(const char* program, const char* const* arguments, int error_fd, child_process* child);

// Closes the pipe, so a child still writing fails instead of blocking, and
// waits for the child to end. Returns its exit status, or -1 when it was
// killed or can't be waited for.
int process_finish(child_process* child);
