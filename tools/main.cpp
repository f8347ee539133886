// whisper-inf: transcribes recordings through the library, as any host would,
// and prints each JSON document on standard output or writes the formats
// asked for to files. The library reads 16-bit PCM WAV files itself; ffmpeg
// decodes anything else. The diagnostics stay on standard error.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/dynlib.h"
#include "tools/arguments.h"
#include "tools/decoding.h"
#include "tools/formats.h"
#include "tools/output.h"
#include "whisper_inf.h"

namespace {

constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

// The library reports only that the engine could not be loaded; the
// platform's reason (a missing dependency, a wrong architecture) is what a
// user needs to fix the set-up.
void explain_engine_failure() {
    dynlib probe{};
    for (const char* name : engine_library_names) {
        if (dynlib_open(name, &probe) == 0) {
            dynlib_close(&probe);
            return;  // the engine loads: the library's message says the rest
        }
    }
    dynlib_open(engine_library_names[0], &probe);
    std::fprintf(stderr, "whisper-inf: the engine library can't be loaded: %s\n", probe.error);
}

// The library's document for `input`, or null after saying why.
char* transcribe_input(const options& opts, const char* input) {
    if (std::strcmp(input, standard_input_name) != 0 && library_reads(input)) {
        return whisper_inf_transcribe(input, opts.language, opts.translate, opts.max_len);
    }
    decoded_audio audio;
    if (!decode_with_ffmpeg(input, audio)) {
        return nullptr;
    }
    return whisper_inf_transcribe_pcm(audio.samples.get(), audio.count, opts.language, opts.translate,
                                      opts.max_len);
}

// Transcribes `file` and delivers its document. Returns the segment count,
// or -1 when the file failed.
long transcribe_one(const options& opts, const char* file) {
    char* raw = nullptr;
    {
        held_stderr held(opts.quiet);
        raw = transcribe_input(opts, file);
        held.release(raw == nullptr);
    }
    if (raw == nullptr) {
        return -1;
    }
    const std::unique_ptr<char, decltype(&whisper_inf_free)> document(raw, whisper_inf_free);
    std::vector<segment> segments;
    if (!read_segments(document.get(), segments)) {
        std::fprintf(stderr, "whisper-inf: %s: the library's document can't be read\n", file);
        return -1;
    }
    if (opts.formats.empty()) {
        if (std::fputs(document.get(), stdout) == EOF || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "whisper-inf: can't write to standard output: %s\n", std::strerror(errno));
            return -1;
        }
        return static_cast<long>(segments.size());
    }
    bool written = true;
    for (const output_format format : opts.formats) {
        written = write_whole_file(output_path(file, opts.output_base, format),
                                   format_output(format, document.get(), segments)) &&
                  written;
    }
    return written ? static_cast<long>(segments.size()) : -1;
}

int transcribe_all(const options& opts) {
    const bool show_progress = opts.files.size() > 1 || !opts.formats.empty();
    int failures = 0;
    for (std::size_t i = 0; i < opts.files.size(); ++i) {
        const auto start = std::chrono::steady_clock::now();
        const long segments = transcribe_one(opts, opts.files[i]);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        failures += segments < 0;
        if (!show_progress) {
            continue;
        }
        std::fprintf(stderr, "[%zu/%zu] %s: ", i + 1, opts.files.size(), opts.files[i]);
        if (segments < 0) {
            std::fputs("failed\n", stderr);
        } else {
            std::fprintf(stderr, "%ld segments, %.1f s\n", segments, took.count());
        }
    }
    return failures == 0 ? EXIT_SUCCESS : exit_failure;
}

}  // namespace

int main(int argc, char** argv) {
    const parsed_arguments arguments = parse_arguments(argc, argv, std::getenv("WHISPER_MODEL"));
    switch (arguments.what) {
    case command::help:
        std::fputs(usage_text, stdout);
        return EXIT_SUCCESS;
    case command::version:
        std::printf("whisper-inf %s (whisper.cpp %s)\n", WHISPER_INF_VERSION, WHISPER_INF_ENGINE_VERSION);
        return EXIT_SUCCESS;
    case command::usage_error:
        std::fprintf(stderr, "whisper-inf: %s\n\n%s", arguments.problem.c_str(), usage_text);
        return exit_usage;
    case command::transcribe:
        break;
    }
    const options& opts = arguments.opts;
    {
        held_stderr held(opts.quiet);
        if (whisper_inf_load(opts.model) != 0) {
            held.release(true);
            explain_engine_failure();
            return exit_failure;
        }
    }
    const int status = transcribe_all(opts);
    held_stderr held(opts.quiet);
    whisper_inf_unload();
    return status;
}
