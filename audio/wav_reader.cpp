#include "audio/wav_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "audio/little_endian.h"
#include "platform/file.h"
#include "platform/sample_memory.h"

namespace {

// The open file and our own position in it. The length is measured once so
// that every stated chunk size can be checked against what is left.
struct wav_file {
    std::FILE* f;
    std::int64_t pos;
    std::int64_t length;
};

std::int64_t remaining(const wav_file& w) { return w.length - w.pos; }

bool read_exact(wav_file& w, void* dst, std::int64_t n) {
    const std::size_t want = static_cast<std::size_t>(n);
    if (std::fread(dst, 1, want, w.f) != want) {
        return false;
    }
    w.pos += n;
    return true;
}

// Steps over the unread rest of a chunk body and, after an odd size, over the
// pad byte RIFF requires; a file that ends without that pad is still fine.
bool finish_chunk(wav_file& w, std::int64_t unread, std::uint32_t size) {
    const std::int64_t step = unread + ((size & 1u) && remaining(w) > unread ? 1 : 0);
    if (file_skip(w.f, step) != 0) {
        return false;
    }
    w.pos += step;
    return true;
}

}  // namespace

int wav_stream_open(const char* path, wav_stream* out) {
    std::unique_ptr<std::FILE, wav_file_closer> file(std::fopen(path, "rb"));
    if (file == nullptr) {
        std::fprintf(stderr, "[audio_io] Cannot open: %s\n", path);
        return -1;
    }
    // What opens but can't be measured (a directory on tmpfs) can't be read
    // either: it fails like any other file without a readable header.
    const std::int64_t length = file_length(file.get());
    wav_file w{file.get(), 0, length};

    unsigned char riff[12];
    if (length < 0 || !read_exact(w, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        std::fprintf(stderr, "[audio_io] Not a WAV file: %s\n", path);
        return -1;
    }

    // Raw "fmt " bytes, zeroed once: a later, shorter "fmt " chunk overwrites
    // only what it supplies and keeps the rest of the earlier one.
    unsigned char fmt[16] = {};
    bool fmt_seen = false;
    // Where the samples of the last data chunk start, and how many there are.
    std::int64_t data_pos = 0;
    int count = 0;

    while (remaining(w) >= 8) {
        unsigned char head[8];
        if (!read_exact(w, head, 8)) {
            break;
        }
        const std::uint32_t size = le32(head + 4);
        const bool is_fmt = std::memcmp(head, "fmt ", 4) == 0;
        const bool is_data = std::memcmp(head, "data", 4) == 0;

        if (is_data && !(fmt_seen && le16(fmt) == 1 && le16(fmt + 14) == 16)) {
            std::fprintf(stderr, "[audio_io] Unsupported format (need 16-bit PCM): %s\n", path);
            return -1;
        }
        if (size > remaining(w)) {
            // A data chunk the file does not back is unreadable; any other
            // chunk cut short just ends the scan.
            if (is_data) {
                return -1;
            }
            break;
        }

        std::int64_t unread = size;
        if (is_fmt) {
            if (size == 0) {
                break;  // an empty "fmt " body ends the scan like a failed read
            }
            const std::int64_t n = unread < 16 ? unread : 16;
            if (!read_exact(w, fmt, n)) {
                break;
            }
            unread -= n;
            fmt_seen = true;
        } else if (is_data) {
            if (size == 0) {
                return -1;  // an empty body counts as unreadable
            }
            // The samples are read once the scan has found the last data
            // chunk and the format that ends up describing it.
            data_pos = w.pos;
            count = static_cast<int>(size / 2);  // an odd last byte is no sample
        }
        if (!finish_chunk(w, unread, size)) {
            break;
        }
    }

    // count is positive only after a data chunk, so this also covers a last
    // data chunk of a single byte.
    if (count == 0) {
        std::fprintf(stderr, "[audio_io] No data chunk found: %s\n", path);
        return -1;
    }
    if (file_seek(file.get(), data_pos) != 0) {
        return -1;
    }

    const int channels = static_cast<int>(le16(fmt + 2));
    out->file = std::move(file);
    out->path = path;
    out->sample_rate = static_cast<int>(le32(fmt + 4));  // 2^31 and above read negative
    out->channels = channels;
    out->n_frames = count / (channels != 0 ? channels : 1);
    out->n_samples = count;
    out->samples_left = count;
    return 0;
}

int wav_stream_read(wav_stream* s, float* dst, int n) {
    const std::size_t bytes = std::size_t{2} * static_cast<std::size_t>(n);
    if (std::fread(dst, 1, bytes, s->file.get()) != bytes) {
        return -1;
    }
    s->samples_left -= n;
    // Backwards, so that each float only overwrites raw bytes already widened.
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(dst);
    for (int i = n; i-- > 0;) {
        const std::uint32_t u = le16(raw + 2 * i);
        const int v = static_cast<int>(u) - (u & 0x8000u ? 0x10000 : 0);
        dst[i] = static_cast<float>(v) * 3.0517578125e-05f;  // v / 32768, exact
    }
    return 0;
}

void wav_stream_report(const wav_stream& s) {
    std::fprintf(stderr, "[audio_io] Read %s: %d frames, %d Hz, %d ch\n", s.path, s.n_frames,
                 s.sample_rate, s.channels);
}

int audio_read_wav(const char* path, audio_buffer* out) {
    if (path == nullptr || out == nullptr) {
        return -1;
    }
    *out = audio_buffer{nullptr, 0, 0, 0, 0};

    wav_stream s{};
    if (wav_stream_open(path, &s) != 0) {
        return -1;
    }
    std::unique_ptr<float, sample_memory_free> samples(
        static_cast<float*>(alloc_sample_memory(sizeof(float) * s.n_samples)));
    if (samples == nullptr || wav_stream_read(&s, samples.get(), s.n_samples) != 0) {
        return -1;
    }
    out->samples = samples.release();
    out->n_samples = s.n_samples;
    out->sample_rate = s.sample_rate;
    out->channels = s.channels;
    out->n_frames = s.n_frames;
    wav_stream_report(s);
    return 0;
}

void audio_buffer_free(audio_buffer* buf) {
    if (buf == nullptr || buf->samples == nullptr) {
        return;
    }
    std::free(buf->samples);
    buf->samples = nullptr;
    buf->n_samples = 0;
}
