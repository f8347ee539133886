#!/usr/bin/env bash
# Cross-builds the library, its tests and the engine for 64-bit Windows with
# mingw-w64 (scripts/setup-windows.sh) and runs the tests under Wine. Where
# the cross tools can't be installed (not Debian, or not root) it says so and
# skips.
#
#   scripts/test-windows.sh [BUILD_DIR]     (default: build-windows)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-windows}")

status=0
"$root/scripts/setup-windows.sh" "$build" || status=$?
if [ "$status" -eq 77 ]; then
    echo "test-windows: SKIPPED, the cross tools can't be had here" >&2
    exit 0
fi
[ "$status" -eq 0 ] || exit "$status"

export WINEPREFIX="$build/wine"
cd "$build"
ctest -j"$(nproc)" --output-on-failure
