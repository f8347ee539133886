// whisper-inf: transcribes WAV files through the library, as any host would,
// and prints one JSON document per file on standard output. The library's
// own diagnostics stay on standard error.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/dynlib.h"
#include "whisper_inf.h"

namespace {

constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

constexpr char usage_text[] =
    "usage: whisper-inf [options] FILE.wav [FILE.wav ...]\n"
    "\n"
    "Transcribes 16-bit PCM WAV files (any sample rate, any channel count) and\n"
    "prints one JSON document per file on standard output.\n"
    "\n"
    "options:\n"
    "  -m, --model PATH     model file (default: $WHISPER_MODEL)\n"
    "  -l, --language CODE  spoken language, e.g. en or de, or auto to detect it\n"
    "                       (default: the engine's, English)\n"
    "  -t, --translate      translate the speech into English\n"
    "      --max-len N      maximum segment length in characters (default: none)\n"
    "  -h, --help           show this text\n"
    "\n"
    "The engine library is looked for next to this library, on the system's\n"
    "library search path, then in the current directory.\n"
    "Exit status: 0 when every file was transcribed, 1 otherwise, 2 for a usage error.\n";

struct options {
    const char* model = std::getenv("WHISPER_MODEL");
    const char* language = nullptr;
    int translate = 0;
    int max_len = 0;
    std::vector<const char*> files;
};

int usage_error(const char* problem, const char* detail) {
    std::fprintf(stderr, "whisper-inf: %s%s\n\n%s", problem, detail, usage_text);
    return exit_usage;
}

bool parse_count(const char* text, int& out) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > 1000000) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

// Returns -1 when the arguments are usable, else the exit status.
int parse_arguments(int argc, char** argv, options& opts) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool takes_value = arg == "-m" || arg == "--model" || arg == "-l" ||
                                 arg == "--language" || arg == "--max-len";
        if (takes_value && i + 1 >= argc) {
            return usage_error("missing value for ", argv[i]);
        }
        if (arg == "-h" || arg == "--help") {
            std::fputs(usage_text, stdout);
            return EXIT_SUCCESS;
        } else if (arg == "-m" || arg == "--model") {
            opts.model = argv[++i];
        } else if (arg == "-l" || arg == "--language") {
            opts.language = argv[++i];
        } else if (arg == "-t" || arg == "--translate") {
            opts.translate = 1;
        } else if (arg == "--max-len") {
            if (!parse_count(argv[++i], opts.max_len)) {
                return usage_error("--max-len takes a whole number from 0 to 1000000, not ", argv[i]);
            }
        } else if (arg == "--") {
            opts.files.insert(opts.files.end(), argv + i + 1, argv + argc);
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option ", argv[i]);
        } else {
            opts.files.push_back(argv[i]);
        }
    }
    if (opts.model == nullptr || *opts.model == '\0') {
        return usage_error("no model: pass --model PATH or set WHISPER_MODEL", "");
    }
    if (opts.files.empty()) {
        return usage_error("no WAV file given", "");
    }
    return -1;
}

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

}  // namespace

int main(int argc, char** argv) {
    options opts;
    if (const int status = parse_arguments(argc, argv, opts); status >= 0) {
        return status;
    }
    if (whisper_inf_load(opts.model) != 0) {
        explain_engine_failure();
        return exit_failure;
    }
    int failures = 0;
    for (const char* file : opts.files) {
        char* document = whisper_inf_transcribe(file, opts.language, opts.translate, opts.max_len);
        if (document == nullptr) {
            ++failures;
            continue;
        }
        std::fputs(document, stdout);
        std::fflush(stdout);
        whisper_inf_free(document);
    }
    whisper_inf_unload();
    return failures == 0 ? EXIT_SUCCESS : exit_failure;
}
