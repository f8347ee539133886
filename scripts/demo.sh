#!/usr/bin/env bash
# The main job: builds everything from nothing, installs the library with the
# engine beside it, and transcribes the bundled speech sample with the model
# at $WHISPER_MODEL (or the generated test model, whose text is meaningless).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
dist="$build/dist"

mkdir -p "$build"
echo "setting up: packages, engine, build (a few minutes the first time; log: build/setup.log)" >&2
"$root/scripts/setup.sh" "$build" >"$build/setup.log" 2>&1 ||
    { tail -40 "$build/setup.log" >&2; exit 1; }
cmake --install "$build" --prefix "$dist" >/dev/null

model=${WHISPER_MODEL:-}
if [ -z "$model" ]; then
    model="$build/tests/test-model.bin"
    "$build/tests/make_test_model" "$model"
    cat >&2 <<NOTICE
------------------------------------------------------------------------
WHISPER_MODEL is not set, so this run uses the generated test model. It
only exists so the tests can drive the real engine: its text is always
" tiny test" / " model", whatever is said. For a real transcription,
set WHISPER_MODEL to a downloaded model file (see README, "A real model").
------------------------------------------------------------------------
NOTICE
fi

exec "$dist/bin/whisper-inf" --model "$model" --language auto "$root/samples/hello.wav"
