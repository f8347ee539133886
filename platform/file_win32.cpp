#include "platform/file.h"

int file_skip(std::FILE* f, std::int64_t n) { return _fseeki64(f, n, SEEK_CUR); }

int file_seek(std::FILE* f, std::int64_t pos) { return _fseeki64(f, pos, SEEK_SET); }

std::int64_t file_length(std::FILE* f) {
    if (_fseeki64(f, 0, SEEK_END) != 0) {
        return -1;
    }
    const std::int64_t n = _ftelli64(f);
    return _fseeki64(f, 0, SEEK_SET) == 0 ? n : -1;
}
