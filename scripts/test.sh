#!/usr/bin/env bash
# Runs the whole test suite from nothing: set-up, build, then every test.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"

cd "$root/build"
ctest -j"$(nproc)" --output-on-failure
