#include "platform/host_io.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

extern char** environ;

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

int process_start(const char* program, const char* const* arguments, int error_fd, child_process* child) {
    // Close-on-exec, so that no other child inherits either end; dup2 in the
    // child clears it on the copies it makes.
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    int error = posix_spawn_file_actions_init(&actions);
    if (error == 0) {
        error = posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
        error = error != 0 ? error : posix_spawn_file_actions_adddup2(&actions, error_fd, 2);
        pid_t pid = 0;
        // posix_spawnp searches PATH and reports a program it can't run.
        error = error != 0 ? error
                           : posix_spawnp(&pid, program, &actions, nullptr, const_cast<char* const*>(arguments),
                                          environ);
        posix_spawn_file_actions_destroy(&actions);
        child->id = pid;
    }
    close(pipe_fds[1]);
    if (error != 0) {
        close(pipe_fds[0]);
        errno = error;
        return -1;
    }
    child->output = pipe_fds[0];
    return 0;
}

int process_finish(child_process* child) {
    close(child->output);
    child->output = -1;
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(static_cast<pid_t>(child->id), &status, 0)) < 0 && errno == EINTR) {
    }
    return waited >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
