// The result document: the language and every segment of the last run, as
// one JSON text on the C heap that the host releases with whisper_inf_free.
#pragma once

#include "inference/engine.h"

// Reads the segments of ctx back through `api`. `language` is what the host
// asked for: null or "auto" reports the engine's language, anything else is
// reported as given. Returns null when the document can't be allocated.
char* build_result_json(const whisper_api& api, whisper_context* ctx, const char* language);
