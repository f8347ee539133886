#!/usr/bin/env bash
# Cross-builds the library, its tests and the engine for 64-bit Windows with
# mingw-w64 and runs the tests under Wine. Where the cross tools can't be
# installed (not Debian, or not root) it says so and skips.
#
#   scripts/test-windows.sh [BUILD_DIR]     (default: build-windows)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-windows}")

skip() {
    echo "test-windows: SKIPPED, $1" >&2
    exit 0
}

command -v dpkg-query >/dev/null && command -v apt-get >/dev/null ||
    skip "not a Debian system: the cross tools come from Debian's mingw-w64 and wine packages"
# shellcheck source=lib/packages.sh
. "$root/scripts/lib/packages.sh"
ensure_packages cmake make ca-certificates openssl googletest nlohmann-json3-dev \
    g++-mingw-w64-x86-64-posix wine wine64 \
    || skip "the cross tools above can't be installed"
command -v npm >/dev/null || ensure_packages npm || skip "npm can't be installed"

# The engine's DLLs are cached in the build folder: a second run reuses them.
"$root/scripts/provision-engine.sh" --windows "$build/engine"

# Wine keeps its state here rather than in the home folder.
export WINEPREFIX="$build/wine"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWHISPER_ENGINE_DIR="$build/engine" >/dev/null
cmake --build "$build" -j"$(nproc)"

cd "$build"
ctest -j"$(nproc)" --output-on-failure
