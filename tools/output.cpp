#include "tools/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/host_io.h"

std::string output_path(const char* input, const char* base, output_format format) {
    return std::string(base != nullptr ? base : input) + '.' + std::string(extension_of(format));
}

bool write_whole_file(const std::string& path, std::string_view contents) {
    const std::string temporary = path + ".tmp" + std::to_string(process_id());
    // Binary: the formats' line ends are "\n" on every platform.
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    bool written = file != nullptr && std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    int error = errno;
    if (file != nullptr && std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && file_replace(temporary.c_str(), path.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        std::remove(temporary.c_str());
        std::fprintf(stderr, "whisper-inf: can't write %s: %s\n", path.c_str(), std::strerror(error));
    }
    return written;
}

std::string replay_to_stderr(int fd) {
    std::string last;
    std::string line;
    std::string text;
    char chunk[4096];
    for (long n = fd_rewind(fd) == 0 ? fd_read(fd, chunk, sizeof chunk) : 0; n > 0;
         n = fd_read(fd, chunk, sizeof chunk)) {
        text.clear();
        for (const char c : std::string_view(chunk, static_cast<std::size_t>(n))) {
            // A Windows program's line ends: standard error adds its own.
            if (c == '\r') {
                continue;
            }
            text += c;
            if (c != '\n') {
                line += c;
            } else if (!line.empty()) {
                last.swap(line);
                line.clear();
            }
        }
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
    return line.empty() ? last : line;
}

held_stderr::held_stderr(bool active) {
    if (!active) {
        return;
    }
    std::fflush(stderr);
    held_ = fd_temporary();
    saved_ = held_ >= 0 ? fd_duplicate(2) : -1;
    if (saved_ < 0 || fd_redirect(held_, 2) < 0) {
        // Not held: the messages are shown as they come.
        release(false);
    }
}

void held_stderr::release(bool show) {
    if (saved_ >= 0) {
        std::fflush(stderr);
        fd_redirect(saved_, 2);
        fd_close(saved_);
        saved_ = -1;
        if (show) {
            replay_to_stderr(held_);
        }
    }
    if (held_ >= 0) {
        fd_close(held_);
        held_ = -1;
    }
}
