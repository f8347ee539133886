#include "tools/decoding.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "audio/little_endian.h"
#include "platform/file.h"
#include "platform/host_io.h"
#include "tools/output.h"

namespace {

// Walks the chunks up to the format chunk, stepping over any before it with
// their pad byte, as the library's reader does.
bool is_pcm16_wav(std::FILE* f) {
    unsigned char head[12];
    if (std::fread(head, 1, 12, f) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0) {
        return false;
    }
    while (std::fread(head, 1, 8, f) == 8 && std::memcmp(head, "data", 4) != 0) {
        const std::uint32_t size = le32(head + 4);
        if (std::memcmp(head, "fmt ", 4) == 0) {
            unsigned char fmt[16];
            return size >= 16 && std::fread(fmt, 1, 16, f) == 16 && le16(fmt) == 1 && le16(fmt + 14) == 16;
        }
        if (file_skip(f, std::int64_t{size} + (size & 1u)) != 0) {
            return false;
        }
    }
    return false;
}

// The library takes a count of samples as an int.
constexpr std::size_t max_sample_bytes = std::size_t{INT_MAX} * sizeof(float);

// Reads the pipe to its end into `out`. The array grows by half each time:
// glibc moves a block that large by remapping its pages rather than copying
// them, and a page takes memory only once written. Returns why it stopped
// early, or an empty string.
std::string read_samples(int fd, decoded_audio& out) {
    std::size_t bytes = 0;
    std::size_t capacity = 0;
    for (;;) {
        if (bytes == capacity) {
            if (capacity > max_sample_bytes) {
                return "longer than " + std::to_string(INT_MAX) + " samples, more than the library takes";
            }
            const std::size_t grown = capacity < (std::size_t{1} << 20) ? std::size_t{1} << 20 : capacity / 2 * 3;
            capacity = grown < max_sample_bytes ? grown : max_sample_bytes + sizeof(float);
            void* larger = std::realloc(out.samples.get(), capacity);
            if (larger == nullptr) {
                return "out of memory after " + std::to_string(bytes / sizeof(float)) + " samples";
            }
            (void)out.samples.release();
            out.samples.reset(static_cast<float*>(larger));
        }
        const std::size_t room = capacity - bytes;
        const long n = fd_read(fd, reinterpret_cast<char*>(out.samples.get()) + bytes,
                               static_cast<unsigned>(room < (1u << 30) ? room : (1u << 30)));
        if (n < 0) {
            return std::string("reading ffmpeg's output failed: ") + std::strerror(errno);
        }
        if (n == 0) {
            out.count = static_cast<int>(bytes / sizeof(float));
            return {};
        }
        bytes += static_cast<std::size_t>(n);
    }
}

}  // namespace

bool library_reads(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        return true;
    }
    const bool pcm16 = is_pcm16_wav(f);
    const bool unreadable = std::ferror(f) != 0;
    std::fclose(f);
    return pcm16 || unreadable;
}

bool decode_with_ffmpeg(const char* input, decoded_audio& out) {
    const bool from_stdin = std::strcmp(input, standard_input_name) == 0;
    // "file:" keeps a name with a colon or a leading dash from being taken
    // for a protocol or an option.
    const std::string source = from_stdin ? "pipe:0" : std::string("file:") + input;
    const char* const arguments[] = {"ffmpeg", "-nostdin", "-hide_banner", "-nostats", "-loglevel", "error",
                                     "-i", source.c_str(), "-vn", "-ar", "16000", "-ac", "1", "-f", "f32le",
                                     "pipe:1", nullptr};
    // ffmpeg's messages wait in a file, so the last one can be quoted.
    const int log = fd_temporary();
    child_process child{};
    if (log < 0 || process_start(arguments[0], arguments, log, &child) != 0) {
        const int error = errno;
        if (log >= 0) {
            fd_close(log);
        }
        if (error == ENOENT) {
            std::fprintf(stderr, "whisper-inf: %s: %s\n", input,
                         from_stdin ? "standard input is read through ffmpeg, which was not found on PATH"
                                    : "not a 16-bit PCM WAV file, and ffmpeg (needed for other formats) "
                                      "was not found on PATH");
        } else {
            std::fprintf(stderr, "whisper-inf: %s: ffmpeg can't be started: %s\n", input, std::strerror(error));
        }
        return false;
    }
    const std::string stopped = read_samples(child.output, out);
    const int status = process_finish(&child);
    const std::string last_line = replay_to_stderr(log);
    fd_close(log);
    if (!stopped.empty()) {
        std::fprintf(stderr, "whisper-inf: %s: %s\n", input, stopped.c_str());
    } else if (status != 0 && !last_line.empty()) {
        std::fprintf(stderr, "whisper-inf: %s: ffmpeg can't decode it: %s\n", input, last_line.c_str());
    } else if (status != 0) {
        std::fprintf(stderr, "whisper-inf: %s: ffmpeg failed with exit status %d\n", input, status);
    } else if (out.count == 0) {
        std::fprintf(stderr, "whisper-inf: %s: ffmpeg decoded no audio from it\n", input);
    } else {
        std::fprintf(stderr, "whisper-inf: %s: decoded by ffmpeg: %d samples (16kHz mono)\n", input, out.count);
        return true;
    }
    out = decoded_audio{};
    return false;
}
