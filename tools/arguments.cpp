#include "tools/arguments.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "tools/decoding.h"

const char usage_text[] =
    "usage: whisper-inf [options] FILE [FILE ...]\n"
    "\n"
    "Transcribes recordings and prints one JSON document per file on standard\n"
    "output, or writes the formats asked for to files beside each input\n"
    "(FILE.srt and so on). 16-bit PCM WAV files (any sample rate, any channel\n"
    "count) are read by the library itself. Any other file, such as mp3, m4a,\n"
    "flac, ogg, opus, a WAV file of another sample format, or the sound of an\n"
    "mp4, mkv or webm video, is decoded by ffmpeg, which must then be on PATH.\n"
    "A FILE of - reads the recording from standard input, through ffmpeg.\n"
    "\n"
    "options:\n"
    "  -m,    --model PATH        model file (default: $WHISPER_MODEL)\n"
    "  -f,    --file FILE         an input file (repeatable; bare arguments are too)\n"
    "  -l,    --language CODE     spoken language, e.g. en or de, or auto to detect it\n"
    "                             (default: the engine's, English)\n"
    "  -tr,   --translate         translate the speech into English\n"
    "  -ml,   --max-len N         maximum segment length in characters (default: none)\n"
    "  -oj,   --output-json       write the JSON document to FILE.json\n"
    "  -otxt, --output-txt        write the text, one segment a line, to FILE.txt\n"
    "  -osrt, --output-srt        write SRT subtitles to FILE.srt\n"
    "  -ovtt, --output-vtt        write WebVTT subtitles to FILE.vtt\n"
    "  -ocsv, --output-csv        write start,end,text rows to FILE.csv\n"
    "  -of,   --output-file BASE  output path without extension (one input only;\n"
    "                             needed to write files for standard input)\n"
    "  -np,   --no-prints         hold back the library's and the engine's messages\n"
    "                             unless a step fails\n"
    "         --version           show the version and the engine's version\n"
    "  -h,    --help              show this text\n"
    "\n"
    "The thread count is fixed at 4 by the library. The engine library is looked\n"
    "for next to this library, on the system's library search path, then in the\n"
    "current directory.\n"
    "Exit status: 0 when every file was transcribed, 1 otherwise, 2 for a usage error.\n";

namespace {

struct output_flag {
    std::string_view short_name;
    std::string_view long_name;
    output_format format;
};

constexpr output_flag output_flags[] = {
    {"-oj", "--output-json", output_format::json}, {"-otxt", "--output-txt", output_format::txt},
    {"-osrt", "--output-srt", output_format::srt}, {"-ovtt", "--output-vtt", output_format::vtt},
    {"-ocsv", "--output-csv", output_format::csv},
};

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

parsed_arguments usage_error(std::string problem) {
    parsed_arguments result;
    result.what = command::usage_error;
    result.problem = std::move(problem);
    return result;
}

void add_format(options& opts, output_format format) {
    for (const output_format known : opts.formats) {
        if (known == format) {
            return;
        }
    }
    opts.formats.push_back(format);
}

}  // namespace

parsed_arguments parse_arguments(int argc, const char* const* argv, const char* default_model) {
    parsed_arguments result;
    options& opts = result.opts;
    opts.model = default_model;
    const auto is = [](std::string_view arg, std::string_view short_name, std::string_view long_name) {
        return arg == short_name || arg == long_name;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool takes_value = is(arg, "-m", "--model") || is(arg, "-f", "--file") ||
                                 is(arg, "-l", "--language") || is(arg, "-ml", "--max-len") ||
                                 is(arg, "-of", "--output-file");
        if (takes_value && i + 1 >= argc) {
            return usage_error("missing value for " + std::string(arg));
        }
        const output_flag* output = nullptr;
        for (const output_flag& flag : output_flags) {
            output = is(arg, flag.short_name, flag.long_name) ? &flag : output;
        }
        if (is(arg, "-h", "--help")) {
            result.what = command::help;
            return result;
        } else if (arg == "--version") {
            result.what = command::version;
            return result;
        } else if (is(arg, "-t", "--threads")) {
            return usage_error(std::string(arg) + " is not supported: the thread count is fixed at 4 by the library");
        } else if (is(arg, "-m", "--model")) {
            opts.model = argv[++i];
        } else if (is(arg, "-f", "--file")) {
            opts.files.push_back(argv[++i]);
        } else if (is(arg, "-l", "--language")) {
            opts.language = argv[++i];
        } else if (is(arg, "-tr", "--translate")) {
            opts.translate = 1;
        } else if (is(arg, "-ml", "--max-len")) {
            if (!parse_count(argv[++i], opts.max_len)) {
                return usage_error(std::string(arg) + " takes a whole number from 0 to 1000000, not " + argv[i]);
            }
        } else if (output != nullptr) {
            add_format(opts, output->format);
        } else if (is(arg, "-of", "--output-file")) {
            opts.output_base = argv[++i];
        } else if (is(arg, "-np", "--no-prints")) {
            opts.quiet = true;
        } else if (arg == "--") {
            opts.files.insert(opts.files.end(), argv + i + 1, argv + argc);
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option " + std::string(arg));
        } else {
            opts.files.push_back(argv[i]);
        }
    }
    if (opts.model == nullptr || *opts.model == '\0') {
        return usage_error("no model: pass --model PATH or set WHISPER_MODEL");
    }
    if (opts.files.empty()) {
        return usage_error("no input file given");
    }
    for (const char* file : opts.files) {
        if (std::string_view(file) == standard_input_name && !opts.formats.empty() && opts.output_base == nullptr) {
            return usage_error("standard input (-) has no name to write files beside: give --output-file BASE");
        }
    }
    if (opts.output_base != nullptr && opts.files.size() > 1) {
        return usage_error("--output-file names the output of one input file, but " +
                           std::to_string(opts.files.size()) + " were given");
    }
    return result;
}
