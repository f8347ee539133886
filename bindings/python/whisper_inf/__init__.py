"""Speech-to-text through the tovandel-whispercpp-transcription-inference library.

    import whisper_inf
    whisper_inf.load("ggml-base.en.bin")
    for segment in whisper_inf.transcribe("speech.wav", language="auto").segments:
        print(segment.start_ms, segment.end_ms, segment.text)

transcribe() takes 16-bit PCM WAV files, which the library reads itself.
Any other recording (mp3, m4a, flac, ogg, opus, WAV files of other sample
formats, the sound of a video) goes through load_audio(), which needs ffmpeg
on PATH, then transcribe_pcm():

    whisper_inf.transcribe_pcm(whisper_inf.load_audio("talk.mp3"))

The library is found, on first use, at the path in WHISPER_INF_LIBRARY, else
in this package's native/ folder (a wheel that carries it), else by the
platform's own search. It keeps one model per process and must not be
entered twice at once, so every call here holds one lock.
"""
from __future__ import annotations

import array
import ctypes
import json
import os
import subprocess
import sys
import threading
from dataclasses import dataclass
from typing import Iterable, Optional, Union

__all__ = ["Error", "Segment", "Transcript", "load", "unload", "transcribe", "transcribe_pcm", "load_audio"]

LIBRARY_NAME = "tovandel-whispercpp-transcription-inference"
LIBRARY_FILE = f"{LIBRARY_NAME}.dll" if os.name == "nt" else f"lib{LIBRARY_NAME}.so"
_WHY = "the library's diagnostics on standard error say why"
_NATIVE_FLOAT = {"f", "@f", "=f", "<f" if sys.byteorder == "little" else ">f"}
_INT_RANGE = range(-(2**31), 2**31)

FilePath = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


class Error(Exception):
    """A call into the library failed."""


@dataclass(frozen=True)
class Segment:
    """One recognised stretch of speech, in milliseconds from the start."""

    start_ms: int
    end_ms: int
    text: str


@dataclass(frozen=True)
class Transcript:
    """The language, the segments, their texts joined (each keeps the leading
    blank the engine gives it) and the JSON document exactly as returned."""

    language: str
    segments: list[Segment]
    text: str
    document: str


# One entry per export: (argument types, result type). A document comes back
# as c_void_p, not c_char_p, so that the pointer itself can be freed.
_EXPORTS = {
    "whisper_inf_load": ([ctypes.c_char_p], ctypes.c_int),
    "whisper_inf_unload": ([], None),
    "whisper_inf_free": ([ctypes.c_void_p], None),
    "whisper_inf_transcribe_pcm": (
        [ctypes.POINTER(ctypes.c_float), ctypes.c_int, ctypes.c_char_p, ctypes.c_int, ctypes.c_int],
        ctypes.c_void_p,
    ),
    "whisper_inf_transcribe": (
        [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_int],
        ctypes.c_void_p,
    ),
}

_lock = threading.Lock()
_library: Optional[ctypes.CDLL] = None


def _candidates() -> list[str]:
    chosen = os.environ.get("WHISPER_INF_LIBRARY")
    if chosen:
        # An explicit choice is the only one: falling back would hide a mistake.
        return [chosen]
    bundled = os.path.join(os.path.dirname(os.path.abspath(__file__)), "native", LIBRARY_FILE)
    return [bundled, LIBRARY_FILE] if os.path.exists(bundled) else [LIBRARY_FILE]


def _open_library() -> ctypes.CDLL:
    """The library, opened on first use; the caller holds the lock."""
    global _library
    if _library is not None:
        return _library
    tried = []
    for candidate in _candidates():
        try:
            # winmode=0 asks Windows for its standard search, PATH included.
            library = ctypes.CDLL(candidate, winmode=0)
            for name, (argtypes, restype) in _EXPORTS.items():
                function = getattr(library, name)
                function.argtypes, function.restype = argtypes, restype
        except (OSError, AttributeError) as error:
            tried.append(f"{candidate} ({error})")
            continue
        _library = library
        return library
    raise Error(f"the library {LIBRARY_FILE} can't be loaded; tried: " + "; ".join(tried))


def _without_nul(encoded: bytes, what: str) -> bytes:
    if b"\0" in encoded:
        raise Error(f"{what} {encoded!r} contains a NUL character")
    return encoded


def _path(path: FilePath, what: str) -> bytes:
    path = os.fspath(path)
    if os.name == "nt" and isinstance(path, str):
        # The library opens files with the C runtime's narrow functions, which
        # take the ANSI code page; a path outside it must not be garbled.
        try:
            path = path.encode("mbcs", "strict")
        except UnicodeEncodeError:
            raise Error(f"{what} {path!r} can't be written in the ANSI code page") from None
    return _without_nul(os.fsencode(path), what)


def _language(language: Optional[str]) -> Optional[bytes]:
    if language is None:
        return None
    try:
        return _without_nul(language.encode("ascii"), "the language code")
    except UnicodeEncodeError:
        raise Error(f"the language code {language!r} is not ASCII") from None


def _c_int(value: int, what: str) -> int:
    if not isinstance(value, int) or value not in _INT_RANGE:
        raise Error(f"{what} {value!r} is not a C int")
    return value


def _take_document(library: ctypes.CDLL, document: Optional[int], failed: str) -> Transcript:
    """Reads the document into a Transcript, always freeing it through the library."""
    if not document:
        raise Error(f"{failed}; {_WHY}")
    try:
        text = ctypes.string_at(document).decode("utf-8")
    except UnicodeDecodeError as error:
        raise Error(f"{failed}: the document is not UTF-8 ({error})") from None
    finally:
        library.whisper_inf_free(document)
    try:
        parsed = json.loads(text)
        segments = [
            Segment(item["offsets"]["from"], item["offsets"]["to"], item["text"])
            for item in parsed["transcription"]
        ]
        language = parsed["result"]["language"]
    except (ValueError, KeyError, TypeError) as error:
        raise Error(f"{failed}: the document can't be read ({error!r})") from None
    return Transcript(language, segments, "".join(s.text for s in segments), text)


def load(model_path: FilePath) -> None:
    """Loads the model file, replacing any loaded model."""
    path = _path(model_path, "the model path")
    with _lock:
        if _open_library().whisper_inf_load(path) != 0:
            raise Error(f"loading the model {os.fsdecode(model_path)} failed; {_WHY}")


def unload() -> None:
    """Releases the loaded model, if any."""
    with _lock:
        if _library is not None:
            _library.whisper_inf_unload()


def transcribe(
    wav_path: FilePath, language: Optional[str] = None, translate: bool = False, max_len: int = 0
) -> Transcript:
    """Transcribes a 16-bit PCM WAV file of any sample rate and channel count.

    Any other recording: transcribe_pcm(load_audio(path)).

    language is a code such as "en", "auto" to detect it, or None for the
    engine's default; translate asks for English; max_len above 0 limits
    segments to that many characters.
    """
    path = _path(wav_path, "the WAV path")
    code, max_len = _language(language), _c_int(max_len, "max_len")
    with _lock:
        library = _open_library()
        document = library.whisper_inf_transcribe(path, code, int(bool(translate)), max_len)
        return _take_document(library, document, f"transcribing {os.fsdecode(wav_path)} failed")


def _c_floats(samples: Union[Iterable[float], memoryview]) -> ctypes.Array[ctypes.c_float]:
    """The samples as a C float array: a float32 buffer in place, else a copy."""
    try:
        view = memoryview(samples)  # type: ignore[arg-type]
    except TypeError:
        values = list(samples)
        try:
            return (ctypes.c_float * len(values))(*values)
        except TypeError:
            raise Error("samples must be numbers") from None
    if view.format not in _NATIVE_FLOAT or not view.c_contiguous:
        raise Error(f"samples must be contiguous float32 items, not of format {view.format!r}")
    array_type = ctypes.c_float * (view.nbytes // 4)
    return array_type.from_buffer_copy(view) if view.readonly else array_type.from_buffer(view)


def transcribe_pcm(
    samples: Union[Iterable[float], memoryview],
    language: Optional[str] = None,
    translate: bool = False,
    max_len: int = 0,
) -> Transcript:
    """Transcribes 16 kHz mono samples at full scale 1.0.

    samples is a float32 buffer (array.array('f'), a float32 numpy array, a
    memoryview of format 'f'), read in place, or any sequence of numbers,
    copied. The other arguments are those of transcribe().
    """
    pcm = _c_floats(samples)
    count = _c_int(len(pcm), "the sample count")
    code, max_len = _language(language), _c_int(max_len, "max_len")
    with _lock:
        library = _open_library()
        document = library.whisper_inf_transcribe_pcm(pcm, count, code, int(bool(translate)), max_len)
        return _take_document(library, document, f"transcribing {count} samples failed")


def load_audio(path: FilePath) -> array.array[float]:
    """Decodes any recording ffmpeg reads into 16 kHz mono samples for transcribe_pcm().

    Runs ffmpeg from PATH and holds the samples, 4 bytes each, in an
    array('f'). Raises Error with ffmpeg's own last message when it can't
    decode the file, when it is not on PATH, or when there is no sound.
    """
    name = os.fsdecode(path)
    # "file:" keeps a name with a colon or a leading dash from being taken
    # for a protocol or an option.
    command = ["ffmpeg", "-nostdin", "-hide_banner", "-nostats", "-loglevel", "error",
               "-i", "file:" + name, "-vn", "-ar", "16000", "-ac", "1", "-f", "f32le", "pipe:1"]
    samples = array.array("f")
    try:
        with subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE) as ffmpeg:
            # Both pipes at once, or a chatty ffmpeg could fill one and stall.
            messages = []
            reader = threading.Thread(target=lambda: messages.append(ffmpeg.stderr.read()))
            reader.start()
            # Each read but the last is whole: a cut sample can only end the stream.
            while chunk := ffmpeg.stdout.read(1 << 20):
                samples.frombytes(chunk[: len(chunk) - len(chunk) % 4])
            reader.join()
    except FileNotFoundError:
        raise Error(f"decoding {name} needs ffmpeg, which was not found on PATH") from None
    if ffmpeg.returncode != 0:
        lines = [line for line in messages[0].decode(errors="replace").splitlines() if line.strip()]
        raise Error(f"ffmpeg can't decode {name}: {lines[-1] if lines else f'exit status {ffmpeg.returncode}'}")
    if not samples:
        raise Error(f"ffmpeg decoded no audio from {name}")
    if sys.byteorder == "big":
        samples.byteswap()
    return samples
