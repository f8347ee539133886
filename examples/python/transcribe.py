#!/usr/bin/env python3
"""Transcribes a WAV file with the whisper_inf package.

usage: transcribe.py MODEL FILE.wav [LANGUAGE]

Install the package first (scripts/build-python-wheel.sh, then pip install
build/python/whisper_inf-*.whl). Prints the language and the segments.
"""
import sys

import whisper_inf


def main(argv):
    if len(argv) not in (3, 4):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    model, wav_path = argv[1:3]
    try:
        whisper_inf.load(model)
        transcript = whisper_inf.transcribe(wav_path, language=argv[3] if len(argv) == 4 else "auto")
        whisper_inf.unload()
    except whisper_inf.Error as error:
        print(f"transcribe.py: {error}", file=sys.stderr)
        return 1
    print("language:", transcript.language)
    for segment in transcript.segments:
        print(f"[{segment.start_ms:>7} -> {segment.end_ms:>7} ms]{segment.text}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
