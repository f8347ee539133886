// One transcription of 16 kHz mono samples with the fixed decoding settings.
#pragma once

#include "inference/engine.h"

// Runs the engine of `state` over `pcm` (only read, during the call) and
// returns the result document, or null after logging why.
char* transcribe_samples(const module_state& state, const float* pcm, int n_samples,
                         const char* language, int translate, int max_len);
