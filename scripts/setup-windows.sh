#!/usr/bin/env bash
# Cross-builds the library, its tests and the engine for 64-bit Windows with
# mingw-w64, installing the cross tools and Wine first (as root, with apt-get).
# Exits with 77 when the tools can't be had here (not Debian, or not root).
#
#   scripts/setup-windows.sh [BUILD_DIR]     (default: build-windows)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-windows}")

# shellcheck source=lib/packages.sh
. "$root/scripts/lib/packages.sh"
ensure_cross_tools setup-windows cmake make ca-certificates openssl googletest nlohmann-json3-dev \
    g++-mingw-w64-x86-64-posix wine wine64

# The engine's DLLs are cached in the build folder: a second run reuses them.
"$root/scripts/provision-engine.sh" --windows "$build/engine"

# Wine keeps its state here rather than in the home folder.
export WINEPREFIX="$build/wine"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWHISPER_ENGINE_DIR="$build/engine" >/dev/null
cmake --build "$build" -j"$(nproc)"
