/* Drives the file pipeline up to the engine and no further: with no model
 * loaded, whisper_inf_transcribe reads and converts the whole file, then
 * stops with "No model loaded". Only the public header is used.
 *
 *   bench-convert-only FILE.wav */
#include <stdio.h>

#include "whisper_inf.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: bench-convert-only FILE.wav\n", stderr);
        return 2;
    }
    /* Null is the only answer without a model; a document would mean the
     * pipeline did not stop where it is meant to. */
    char* document = whisper_inf_transcribe(argv[1], NULL, 0, 0);
    whisper_inf_free(document);
    return document == NULL ? 0 : 1;
}
