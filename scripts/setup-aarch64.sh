#!/usr/bin/env bash
# Cross-builds the library, whisper-inf and the engine for 64-bit ARM Linux
# with Debian's cross toolchain, installing it and qemu's user-mode emulator
# first (as root, with apt-get). The tests run the result under emulation
# from the release. Exits with 77 when the tools can't be had here (not
# Debian, or not root).
#
#   scripts/setup-aarch64.sh [BUILD_DIR]     (default: build-aarch64)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-aarch64}")

# shellcheck source=lib/packages.sh
. "$root/scripts/lib/packages.sh"
ensure_cross_tools setup-aarch64 cmake make ca-certificates openssl nlohmann-json3-dev \
    crossbuild-essential-arm64 qemu-user

# The engine is cached in the build folder: a second run reuses it.
"$root/scripts/provision-engine.sh" --aarch64 "$build/engine"

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DWHISPER_ENGINE_DIR="$build/engine" >/dev/null
cmake --build "$build" -j"$(nproc)"
