// What the command-line host needs from the platform beyond the C library:
// file descriptor juggling to hold standard error back, and replacing a file
// in one step. One source file per platform.
#pragma once

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
