/* A host written in C that knows only the public header: it must compile as
 * C, link against the library and reach every export. */
#include <stdio.h>

#include "whisper_inf.h"

int main(void) {
    const float samples[4] = {0};
    int failures = 0;
    failures += whisper_inf_load(NULL) != -1;
    failures += whisper_inf_transcribe_pcm(samples, 4, "en", 0, 0) != NULL;
    whisper_inf_unload();
    whisper_inf_free(NULL);
    printf("%s\n", failures == 0 ? "c host: ok" : "c host: FAILED");
    return failures == 0 ? 0 : 1;
}
