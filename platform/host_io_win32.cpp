#include "platform/host_io.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

int fd_duplicate(int fd) { return _dup(fd); }

// The C runtime also points the process's standard handle at the new file
// for descriptors 0 to 2, so code writing through the handle follows.
int fd_redirect(int from, int onto) { return _dup2(from, onto); }

int fd_close(int fd) { return _close(fd); }

long fd_read(int fd, char* buffer, unsigned size) { return _read(fd, buffer, size); }

int fd_rewind(int fd) { return _lseeki64(fd, 0, SEEK_SET) == 0 ? 0 : -1; }

// tmpfile() would create its file in the root of the current drive, which a
// user often may not write to; the user's temporary folder is meant for this.
int fd_temporary() {
    char dir[MAX_PATH + 1];
    char name[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n > sizeof dir || GetTempFileNameA(dir, "wif", 0, name) == 0) {
        return -1;
    }
    const int fd = _open(name, _O_RDWR | _O_BINARY | _O_TRUNC | _O_TEMPORARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        DeleteFileA(name);
    }
    return fd;
}

// rename() refuses an existing target on Windows. The narrow names are in
// the ANSI code page, as the program's arguments and fopen take them.
int file_replace(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return -1;
}

long process_id() { return static_cast<long>(_getpid()); }
