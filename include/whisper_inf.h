/*
 * Speech-to-text for any host with a C FFI.
 *
 * The library binds the whisper.cpp engine at run time on the first
 * whisper_inf_load, transcribes 16 kHz mono samples or 16-bit PCM WAV files
 * and returns a JSON document that the host releases with whisper_inf_free.
 * Calls must not overlap: the library keeps one process-wide model.
 */
#ifndef WHISPER_INF_H
#define WHISPER_INF_H

#if defined(_WIN32)
#    if defined(WHISPER_INF_BUILD)
#        define WHISPER_INF_API __declspec(dllexport)
#    else
#        define WHISPER_INF_API __declspec(dllimport)
#    endif
#elif defined(__GNUC__)
#    define WHISPER_INF_API __attribute__((visibility("default")))
#else
#    define WHISPER_INF_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Binds the engine if needed, then loads the model at model_path, replacing
 * any loaded model. Returns 0 on success, -1 on failure. */
WHISPER_INF_API int whisper_inf_load(const char* model_path);

/* Releases the loaded model, if any. The engine stays bound. */
WHISPER_INF_API void whisper_inf_unload(void);

/* Releases a document returned by a transcription call; null is ignored. */
WHISPER_INF_API void whisper_inf_free(void* ptr);

/* Transcribes n_samples 16 kHz mono float samples (full scale 1.0).
 * language: a language code, "auto" to detect it, or NULL for the engine's
 * default. translate: non-zero translates to English. max_len: maximum
 * segment length in characters, or 0 or less for the engine's default.
 * Returns the JSON document, or NULL on failure. */
WHISPER_INF_API char* whisper_inf_transcribe_pcm(const float* pcm, int n_samples,
                                                 const char* language, int translate,
                                                 int max_len);

/* Transcribes a RIFF/WAVE file of 16-bit integer PCM at any sample rate and
 * channel count; it is mixed down to mono and resampled to 16 kHz first.
 * The other arguments are those of whisper_inf_transcribe_pcm. */
WHISPER_INF_API char* whisper_inf_transcribe(const char* wav_path, const char* language,
                                             int translate, int max_len);

#ifdef __cplusplus
}
#endif

#endif /* WHISPER_INF_H */
