/* consumer MODEL FILE.wav: transcribes the file and prints the document. */
#include <stdio.h>

#include "whisper_inf.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: consumer MODEL FILE.wav\n");
        return 2;
    }
    if (whisper_inf_load(argv[1]) != 0) {
        return 1;
    }
    char* document = whisper_inf_transcribe(argv[2], "en", 0, 0);
    if (document != NULL) {
        puts(document);
        whisper_inf_free(document);
    }
    whisper_inf_unload();
    return document != NULL ? 0 : 1;
}
