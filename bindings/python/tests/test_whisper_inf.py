"""The installed package, with the library its wheel carries, against the real
engine and the generated model. MODEL and SAMPLE come from the environment."""
import array
import os
import shutil
import subprocess
import sys
import threading

import pytest

import whisper_inf

EXPECTED = [whisper_inf.Segment(0, 1000, " tiny test"), whisper_inf.Segment(1200, 2000, " model")]
TWO_SECONDS = 32000


@pytest.fixture(scope="module", autouse=True)
def model():
    whisper_inf.load(os.environ["MODEL"])
    yield
    whisper_inf.unload()


def test_file_gives_the_models_segments():
    transcript = whisper_inf.transcribe(os.environ["SAMPLE"], language="auto")
    assert (transcript.language, transcript.segments, transcript.text) == ("en", EXPECTED, " tiny test model")
    assert '"text": " tiny test"},\n' in transcript.document


@pytest.mark.parametrize("samples", [
    array.array("f", [0.0] * TWO_SECONDS),
    memoryview(array.array("f", [0.0] * TWO_SECONDS)),
    memoryview(bytes(4 * TWO_SECONDS)).cast("f"),  # read-only
    [0] * TWO_SECONDS,
])
def test_samples_give_the_models_segments(samples):
    assert whisper_inf.transcribe_pcm(samples).segments == EXPECTED


@pytest.mark.parametrize("call, named", [
    (lambda: whisper_inf.transcribe("missing.wav"), "transcribing missing.wav failed; the library's diagnostics"),
    (lambda: whisper_inf.transcribe("a\0.wav"), "NUL"),
    (lambda: whisper_inf.transcribe_pcm([]), "transcribing 0 samples failed"),
    (lambda: whisper_inf.transcribe_pcm(array.array("h", [0] * TWO_SECONDS)), "format 'h'"),
    (lambda: whisper_inf.transcribe_pcm(["x"]), "numbers"),
    (lambda: whisper_inf.transcribe(os.environ["SAMPLE"], language="é"), "not ASCII"),
    (lambda: whisper_inf.transcribe(os.environ["SAMPLE"], max_len=2**31), "not a C int"),
])
def test_failures_raise_error_saying_what_failed(call, named):
    with pytest.raises(whisper_inf.Error, match=named):
        call()


@pytest.mark.skipif(shutil.which("ffmpeg") is None, reason="ffmpeg is not installed")
def test_load_audio_decodes_through_ffmpeg_or_says_why(tmp_path):
    recording, text = tmp_path / "hello.ogg", tmp_path / "text.mp3"
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-i", os.environ["SAMPLE"], recording], check=True)
    text.write_text("not a recording\n")
    samples = whisper_inf.load_audio(recording)
    assert samples.typecode == "f" and 94000 < len(samples) < 95000  # 5.9 s
    assert whisper_inf.transcribe_pcm(samples).segments == EXPECTED
    with pytest.raises(whisper_inf.Error, match=f"ffmpeg can't decode {text}: .+"):
        whisper_inf.load_audio(text)


def test_threads_at_once_all_succeed():
    results = []
    threads = [threading.Thread(target=lambda: results.append(whisper_inf.transcribe(os.environ["SAMPLE"])))
               for _ in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert [result.segments for result in results] == [EXPECTED, EXPECTED]


def test_bad_library_setting_is_named():
    env = dict(os.environ, WHISPER_INF_LIBRARY="/nowhere/libwhisper_inf.so")
    result = subprocess.run([sys.executable, "-c", "import whisper_inf; whisper_inf.load('m')"],
                            env=env, capture_output=True, text=True)
    assert result.stderr.splitlines()[-1].startswith(
        "whisper_inf.Error: the library libtovandel-whispercpp-transcription-inference.so can't be loaded;"
        " tried: /nowhere/libwhisper_inf.so (")
