#include "platform/host_io.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

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

namespace {

// Appends `argument` to a command line so that the C runtime's parser, which
// the started program uses, reads it back unchanged: quoted when it holds a
// blank or a quote, with the backslashes before a quote doubled.
void append_argument(std::string& line, std::string_view argument) {
    if (!line.empty()) {
        line += ' ';
    }
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
        line += argument;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
}

// A copy of `handle` that a child can inherit, or null.
HANDLE inheritable(HANDLE handle) {
    HANDLE copy = nullptr;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS);
    }
    return copy;
}

void close_if_open(HANDLE handle) {
    if (handle != nullptr) {
        CloseHandle(handle);
    }
}

}  // namespace

int process_start(const char* program, const char* const* arguments, int error_fd, child_process* child) {
    // PATH alone: CreateProcess's own search would try this program's folder
    // and the current directory first.
    std::string path_list(32767, '\0');
    const DWORD listed = GetEnvironmentVariableA("PATH", path_list.data(), static_cast<DWORD>(path_list.size()));
    char found[MAX_PATH];
    const std::string file = std::string(program) + ".exe";
    const DWORD length = listed > 0 && listed < path_list.size()
                             ? SearchPathA(path_list.c_str(), file.c_str(), nullptr, MAX_PATH, found, nullptr)
                             : 0;
    if (length == 0 || length >= MAX_PATH) {  // the latter: a path too long for `found`
        errno = ENOENT;
        return -1;
    }
    std::string line;
    for (const char* const* argument = arguments; *argument != nullptr; ++argument) {
        append_argument(line, *argument);
    }
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherited, 1 << 20)) {
        errno = EMFILE;
        return -1;
    }
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inheritable(GetStdHandle(STD_INPUT_HANDLE));
    startup.hStdOutput = write_end;
    startup.hStdError = inheritable(reinterpret_cast<HANDLE>(_get_osfhandle(error_fd)));
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessA(found, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    const DWORD error = GetLastError();
    close_if_open(startup.hStdInput);
    close_if_open(startup.hStdError);
    CloseHandle(write_end);
    const int fd = started ? _open_osfhandle(reinterpret_cast<intptr_t>(read_end), _O_RDONLY | _O_BINARY) : -1;
    if (fd < 0) {
        CloseHandle(read_end);
        if (started) {
            TerminateProcess(process.hProcess, 1);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        errno = error == ERROR_BAD_EXE_FORMAT ? ENOEXEC : error == ERROR_ACCESS_DENIED ? EACCES : EMFILE;
        return -1;
    }
    CloseHandle(process.hThread);
    child->id = reinterpret_cast<std::intptr_t>(process.hProcess);
    child->output = fd;
    return 0;
}

int process_finish(child_process* child) {
    _close(child->output);
    child->output = -1;
    const HANDLE process = reinterpret_cast<HANDLE>(child->id);
    DWORD code = 0;
    const bool ended = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return ended ? static_cast<int>(code) : -1;
}
