#include "platform/file.h"

#include <sys/types.h>

int file_skip(std::FILE* f, std::int64_t n) { return fseeko(f, static_cast<off_t>(n), SEEK_CUR); }

int file_seek(std::FILE* f, std::int64_t pos) {
    return fseeko(f, static_cast<off_t>(pos), SEEK_SET);
}

std::int64_t file_length(std::FILE* f) {
    if (fseeko(f, 0, SEEK_END) != 0) {
        return -1;
    }
    const off_t n = ftello(f);
    return fseeko(f, 0, SEEK_SET) == 0 ? static_cast<std::int64_t>(n) : -1;
}
