#pragma once

// Builds RIFF/WAVE files byte by byte for tests, including broken ones: every
// chunk states its own size, which need not match the body written.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace wav_builder {

using bytes = std::vector<unsigned char>;

inline void put_le16(bytes& b, std::uint16_t v) {
    b.push_back(static_cast<unsigned char>(v & 0xff));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

inline void put_le32(bytes& b, std::uint32_t v) {
    put_le16(b, static_cast<std::uint16_t>(v & 0xffff));
    put_le16(b, static_cast<std::uint16_t>(v >> 16));
}

inline void put_text(bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

struct chunk {
    std::string id;      // written as given, normally four bytes
    std::uint32_t size;  // stated size
    bytes body;          // written as given
    bool pad;            // add the RIFF pad byte after an odd-length body
};

// A well-formed chunk: the stated size is the body's length.
inline chunk make_chunk(const std::string& id, bytes body) {
    const auto size = static_cast<std::uint32_t>(body.size());
    return chunk{id, size, std::move(body), true};
}

// The 16 standard "fmt " bytes; byte rate and block align follow from the rest.
inline bytes fmt_body(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits = 16,
                      std::uint16_t format = 1) {
    const std::uint32_t block = channels * bits / 8u;
    bytes b;
    put_le16(b, format);
    put_le16(b, channels);
    put_le32(b, rate);
    put_le32(b, rate * block);
    put_le16(b, static_cast<std::uint16_t>(block));
    put_le16(b, bits);
    return b;
}

inline chunk fmt_chunk(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits = 16,
                       std::uint16_t format = 1) {
    return make_chunk("fmt ", fmt_body(channels, rate, bits, format));
}

inline chunk data_chunk(const std::vector<std::int16_t>& samples) {
    bytes b;
    for (const std::int16_t s : samples) {
        put_le16(b, static_cast<std::uint16_t>(s));
    }
    return make_chunk("data", std::move(b));
}

// "RIFF", the RIFF size, "WAVE", then the chunks in order.
inline bytes wav_file(const std::vector<chunk>& chunks) {
    bytes body;
    for (const chunk& c : chunks) {
        put_text(body, c.id);
        put_le32(body, c.size);
        body.insert(body.end(), c.body.begin(), c.body.end());
        if (c.pad && c.body.size() % 2 == 1) {
            body.push_back(0);
        }
    }
    bytes file;
    put_text(file, "RIFF");
    put_le32(file, static_cast<std::uint32_t>(body.size() + 4));
    put_text(file, "WAVE");
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// A file in the test temporary directory, named after the running test and
// removed when the guard goes out of scope.
struct temp_file {
    std::string path;

    explicit temp_file(const bytes& content) {
        static int serial = 0;
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(test->test_suite_name()) + "." + test->name() + "." +
                           std::to_string(serial++) + ".wav";
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        path = testing::TempDir() + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr) << path;
        if (f != nullptr) {
            if (!content.empty()) {
                EXPECT_EQ(std::fwrite(content.data(), 1, content.size(), f), content.size());
            }
            std::fclose(f);
        }
    }
    ~temp_file() { std::remove(path.c_str()); }
    temp_file(const temp_file&) = delete;
    temp_file& operator=(const temp_file&) = delete;
};

}  // namespace wav_builder
