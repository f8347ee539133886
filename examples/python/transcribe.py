#!/usr/bin/env python3
"""Transcribes a WAV file through the library from Python, with ctypes only.

usage: transcribe.py LIBRARY MODEL FILE.wav [LANGUAGE]

LIBRARY is the path of libtovandel-whispercpp-transcription-inference.so (or
the .dll); the engine library must be next to it, on the library search path,
or in the current directory. Prints the segments, one per line.
"""
import ctypes
import json
import sys


def open_library(path):
    lib = ctypes.CDLL(path)
    lib.whisper_inf_load.argtypes = [ctypes.c_char_p]
    lib.whisper_inf_load.restype = ctypes.c_int
    lib.whisper_inf_unload.argtypes = []
    lib.whisper_inf_unload.restype = None
    # A c_void_p result keeps the pointer, so the document can be handed back
    # to the library to release; c_char_p would copy it and lose it.
    lib.whisper_inf_transcribe.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_int]
    lib.whisper_inf_transcribe.restype = ctypes.c_void_p
    lib.whisper_inf_free.argtypes = [ctypes.c_void_p]
    lib.whisper_inf_free.restype = None
    return lib


def transcribe(lib, wav_path, language):
    document = lib.whisper_inf_transcribe(wav_path.encode(), language.encode(), 0, 0)
    if not document:
        return None
    try:
        return json.loads(ctypes.string_at(document).decode("utf-8"))
    finally:
        lib.whisper_inf_free(document)


def main(argv):
    if len(argv) not in (4, 5):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    library, model, wav_path = argv[1:4]
    language = argv[4] if len(argv) == 5 else "auto"
    lib = open_library(library)
    if lib.whisper_inf_load(model.encode()) != 0:
        return 1
    try:
        result = transcribe(lib, wav_path, language)
    finally:
        lib.whisper_inf_unload()
    if result is None:
        return 1
    print("language:", result["result"]["language"])
    for segment in result["transcription"]:
        offsets = segment["offsets"]
        print(f'[{offsets["from"]:>7} -> {offsets["to"]:>7} ms]{segment["text"]}')
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
