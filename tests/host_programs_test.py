"""The command-line host and the Python example, run as a user runs them,
against the real engine and the generated model.

Paths come from the environment CTest sets: CLI, LIBRARY, MODEL, ENGINE_LIB,
SAMPLE, EXAMPLE.
"""
import json
import os
import subprocess
import sys
import tempfile
import unittest

ENV = os.environ
EXPECTED_TEXTS = [" tiny test", " model"]


def run(args, engine=True, cwd=None, extra_env=None):
    env = {k: v for k, v in ENV.items() if k not in ("LD_LIBRARY_PATH", "WHISPER_MODEL")}
    if engine:
        env["LD_LIBRARY_PATH"] = ENV["ENGINE_LIB"]
    env.update(extra_env or {})
    return subprocess.run(args, capture_output=True, text=True, env=env, cwd=cwd, timeout=120)


def documents(stdout):
    """Splits concatenated documents; each ends with a closing brace line."""
    decoder = json.JSONDecoder()
    found, at = [], 0
    while at < len(stdout.rstrip()):
        doc, end = decoder.raw_decode(stdout, at)
        found.append(doc)
        at = end
        while at < len(stdout) and stdout[at].isspace():
            at += 1
    return found


class CommandLineHost(unittest.TestCase):
    def test_usage_errors_exit_2_with_usage_text(self):
        cases = [
            ([], {"WHISPER_MODEL": ENV["MODEL"]}, "no input file given"),
            (["x.wav"], {}, "no model"),
            (["-m", ENV["MODEL"], "--max-len", "ten", "x.wav"], {}, "--max-len takes a whole number"),
            (["-m", ENV["MODEL"], "--max-len", "-1", "x.wav"], {}, "--max-len takes a whole number"),
            (["-m", ENV["MODEL"], "--speed", "x.wav"], {}, "unknown option --speed"),
            (["-m"], {}, "missing value for -m"),
            (["-m", ENV["MODEL"], "-t", "4", "x.wav"], {}, "the thread count is fixed at 4"),
            (["-m", ENV["MODEL"], "-of", "x", "a.wav", "b.wav"], {}, "--output-file names the output of one"),
            (["-m", ENV["MODEL"], "-oxyz", "x.wav"], {}, "unknown option -oxyz"),
            (["-m", ENV["MODEL"], "-osrt", "-"], {}, "standard input (-) has no name to write files beside"),
        ]
        for args, env, problem in cases:
            with self.subTest(args=args):
                result = run([ENV["CLI"]] + args, extra_env=env)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(problem, result.stderr)
                self.assertIn("usage: whisper-inf", result.stderr)
                self.assertEqual(result.stdout, "")

    def test_help_goes_to_stdout_and_succeeds(self):
        result = run([ENV["CLI"], "--help"])
        self.assertEqual(result.returncode, 0)
        self.assertIn("usage: whisper-inf", result.stdout)

    def test_every_file_gets_a_document_and_one_failure_fails_the_run(self):
        good = run([ENV["CLI"], "-m", ENV["MODEL"], "--language", "auto", ENV["SAMPLE"], ENV["SAMPLE"]])
        self.assertEqual(good.returncode, 0, good.stderr)
        docs = documents(good.stdout)
        self.assertEqual(len(docs), 2)
        for doc in docs:
            self.assertEqual(doc["result"]["language"], "en")
            self.assertEqual([s["text"] for s in doc["transcription"]], EXPECTED_TEXTS)
        self.assertNotIn("[whisper_inf]", good.stdout, "diagnostics stay on standard error")

        mixed = run([ENV["CLI"], "-m", ENV["MODEL"], "missing.wav", ENV["SAMPLE"]])
        self.assertEqual(mixed.returncode, 1)
        self.assertEqual(len(documents(mixed.stdout)), 1)
        self.assertIn("[whisper_inf] Failed to read WAV: missing.wav", mixed.stderr)

        unwritten = run(["sh", "-c", '"$0" -m "$1" "$2" >/dev/full', ENV["CLI"], ENV["MODEL"], ENV["SAMPLE"]])
        self.assertEqual(unwritten.returncode, 1)
        self.assertIn("whisper-inf: can't write to standard output: ", unwritten.stderr)

    def test_unloadable_engine_is_explained_with_the_platforms_reason(self):
        with tempfile.TemporaryDirectory() as empty:
            result = run([ENV["CLI"], "-m", ENV["MODEL"], ENV["SAMPLE"]], engine=False, cwd=empty)
        self.assertEqual(result.returncode, 1)
        lines = result.stderr.splitlines()
        self.assertIn("[whisper_inf] Failed to load whisper library: LoadLibrary failed", lines)
        reason = [l for l in lines if l.startswith("whisper-inf: the engine library can't be loaded: ")]
        self.assertEqual(len(reason), 1, result.stderr)
        self.assertIn("libwhisper.so", reason[0])

    def test_refused_model_fails_without_blaming_the_engine_library(self):
        result = run([ENV["CLI"], "-m", "/nonexistent/model.bin", ENV["SAMPLE"]])
        self.assertEqual(result.returncode, 1)
        self.assertIn("[whisper_inf] Failed to load model: /nonexistent/model.bin", result.stderr)
        self.assertNotIn("can't be loaded", result.stderr)


class PythonExample(unittest.TestCase):
    def test_transcribes_the_sample_through_the_package(self):
        package = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "bindings", "python")
        result = run([sys.executable, ENV["EXAMPLE"], ENV["MODEL"], ENV["SAMPLE"]], extra_env={
            "PYTHONPATH": package, "PYTHONDONTWRITEBYTECODE": "1", "WHISPER_INF_LIBRARY": ENV["LIBRARY"]})
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.splitlines(),
                         ["language: en", "[      0 ->    1000 ms] tiny test", "[   1200 ->    2000 ms] model"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
