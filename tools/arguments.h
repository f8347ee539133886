// The command line of whisper-inf, spelt as the engine's own CLI spells the
// same meanings.
#pragma once

#include <string>
#include <vector>

#include "tools/formats.h"

struct options {
    const char* model = nullptr;
    const char* language = nullptr;
    int translate = 0;
    int max_len = 0;
    std::vector<const char*> files;
    std::vector<output_format> formats;  // empty: the documents go to standard output
    const char* output_base = nullptr;   // -of: the one input's output path without extension
    bool quiet = false;
};

enum class command { transcribe, help, version, usage_error };

struct parsed_arguments {
    command what = command::transcribe;
    std::string problem;  // for a usage error
    options opts;
};

extern const char usage_text[];

// Reads argv[1..argc-1]; `default_model` is $WHISPER_MODEL or null.
parsed_arguments parse_arguments(int argc, const char* const* argv, const char* default_model);
