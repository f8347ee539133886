#include "platform/host_io.h"

#include <unistd.h>

#include <cstdio>

int fd_duplicate(int fd) { return dup(fd); }

int fd_redirect(int from, int onto) { return dup2(from, onto); }

int fd_close(int fd) { return close(fd); }

long fd_read(int fd, char* buffer, unsigned size) { return static_cast<long>(read(fd, buffer, size)); }

int fd_rewind(int fd) { return lseek(fd, 0, SEEK_SET) == 0 ? 0 : -1; }

int fd_temporary() {
    std::FILE* file = std::tmpfile();  // already unlinked: gone when closed
    if (file == nullptr) {
        return -1;
    }
    const int fd = dup(fileno(file));
    std::fclose(file);
    return fd;
}

// POSIX rename replaces the target atomically.
int file_replace(const char* from, const char* to) { return std::rename(from, to); }

long process_id() { return static_cast<long>(getpid()); }
