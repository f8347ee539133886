// Micro-benchmarks of the three stages our code owns: the WAV reader, the
// 16 kHz mono converter and the result document writer. Buffers are reused
// between iterations, so these show compute cost; the first touch of fresh
// memory is what compare.sh measures, process by process.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "audio/wav_reader.h"
#include "inference/resample.h"
#include "inference/result_json.h"

namespace {

constexpr int input_rate = 44100;
constexpr int input_channels = 2;
constexpr int seconds = 60;

std::vector<std::int16_t> noise(std::size_t count) {
    std::mt19937 generator(42);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::vector<std::int16_t> out(count);
    for (auto& s : out) {
        s = static_cast<std::int16_t>(sample(generator));
    }
    return out;
}

void put_le(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
    }
}

// A canonical 44-byte-header WAV file of noise that lives as long as the process.
class noise_wav {
public:
    noise_wav() {
        const std::vector<std::int16_t> samples =
            noise(static_cast<std::size_t>(input_rate) * input_channels * seconds);
        const auto data_bytes = static_cast<std::uint32_t>(samples.size() * 2);
        std::string header = "RIFF";
        put_le(header, 36 + data_bytes, 4);
        header += "WAVEfmt ";
        put_le(header, 16, 4);
        put_le(header, 1, 2);
        put_le(header, input_channels, 2);
        put_le(header, input_rate, 4);
        put_le(header, input_rate * input_channels * 2, 4);
        put_le(header, input_channels * 2, 2);
        put_le(header, 16, 2);
        header += "data";
        put_le(header, data_bytes, 4);

        const char* dir = std::getenv("TMPDIR");
        path_ = std::string(dir != nullptr ? dir : "/tmp") + "/whisper-inf-bench-XXXXXX";
        const int fd = mkstemp(path_.data());
        std::FILE* f = fd >= 0 ? fdopen(fd, "wb") : nullptr;
        // The host is little-endian, as the file format is.
        const bool ok = f != nullptr && std::fwrite(header.data(), 1, header.size(), f) == header.size() &&
                        std::fwrite(samples.data(), 2, samples.size(), f) == samples.size();
        if (f == nullptr || std::fclose(f) != 0 || !ok) {
            std::fprintf(stderr, "cannot write %s\n", path_.c_str());
            std::exit(1);
        }
    }
    ~noise_wav() { std::remove(path_.c_str()); }
    noise_wav(const noise_wav&) = delete;
    noise_wav& operator=(const noise_wav&) = delete;
    const char* path() const { return path_.c_str(); }
    static std::int64_t data_bytes() { return std::int64_t{input_rate} * input_channels * seconds * 2; }

private:
    std::string path_;
};

void read_wav(benchmark::State& state) {
    static const noise_wav file;
    for (auto _ : state) {
        audio_buffer audio{};
        if (audio_read_wav(file.path(), &audio) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(audio.samples);
        audio_buffer_free(&audio);
    }
    state.SetBytesProcessed(state.iterations() * noise_wav::data_bytes());
}
BENCHMARK(read_wav)->Unit(benchmark::kMillisecond);

// Arguments: input rate, channel count.
void convert(benchmark::State& state) {
    const int rate = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const int frames = rate * seconds;
    std::vector<float> samples(static_cast<std::size_t>(frames) * channels);
    const std::vector<std::int16_t> raw = noise(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(raw[i]) / 32768.0f;
    }
    const audio_buffer in{samples.data(), static_cast<int>(samples.size()), rate, channels, frames};
    for (auto _ : state) {
        int n_out = 0;
        float* out = resample_to_16k_mono(&in, &n_out);
        benchmark::DoNotOptimize(out);
        std::free(out);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples.size()));
}
BENCHMARK(convert)
    ->Args({44100, 2})
    ->Args({48000, 1})
    ->Args({16000, 1})
    ->Unit(benchmark::kMillisecond);

// The writer reads segments back through the engine's entry points; these
// stand-ins answer from a list of texts passed as the context.
using segment_list = std::vector<std::string>;

const segment_list& segments_of(whisper_context* ctx) {
    return *reinterpret_cast<const segment_list*>(ctx);
}
int stub_n_segments(whisper_context* ctx) { return static_cast<int>(segments_of(ctx).size()); }
std::int64_t stub_t0(whisper_context*, int i) { return std::int64_t{i} * 300; }
std::int64_t stub_t1(whisper_context*, int i) { return std::int64_t{i} * 300 + 250; }
const char* stub_text(whisper_context* ctx, int i) {
    return segments_of(ctx)[static_cast<std::size_t>(i)].c_str();
}

// Argument: segment count. Each text is ASCII with a quote, a tab and some
// two- and three-byte characters, so escaping and UTF-8 checks both run.
void write_document(benchmark::State& state) {
    segment_list segments(static_cast<std::size_t>(state.range(0)),
                          " The \"quick\" brown fox\tjumps over the lazy dog: caf\xC3\xA9 \xE2\x82\xAC 12.");
    whisper_api api{};
    api.whisper_full_n_segments = stub_n_segments;
    api.whisper_full_get_segment_t0 = stub_t0;
    api.whisper_full_get_segment_t1 = stub_t1;
    api.whisper_full_get_segment_text = stub_text;
    auto* ctx = reinterpret_cast<whisper_context*>(&segments);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        char* document = build_result_json(api, ctx, "en");
        benchmark::DoNotOptimize(document);
        bytes += static_cast<std::int64_t>(std::char_traits<char>::length(document));
        std::free(document);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(write_document)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
