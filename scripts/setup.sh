#!/usr/bin/env bash
# Brings a fresh Debian 12 machine to a built project: installs the packages
# it needs (as root, with apt-get), provisions the engine and builds.
#
#   scripts/setup.sh [BUILD_DIR]     (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")

# shellcheck source=lib/packages.sh
. "$root/scripts/lib/packages.sh"
ensure_packages build-essential cmake pkg-config git ca-certificates openssl python3 \
    googletest libgtest-dev nlohmann-json3-dev
# The engine's Vulkan plugin is built here, and tested on lavapipe.
ensure_packages "${vulkan_packages[@]}"
# The Python package's and the C# binding's tests; without these they are skipped.
ensure_packages python3-venv python3-pip python3-setuptools python3-wheel python3-pytest binutils \
    mono-mcs mono-runtime libmono-system-runtime-serialization4.0-cil ||
    echo "setup: the Python package and C# binding tests will be skipped" >&2
# Recordings in formats other than 16-bit PCM WAV, for whisper-inf's and the
# Python package's tests of them; without it those tests are skipped.
ensure_packages ffmpeg || echo "setup: the tests of other recording formats will be skipped" >&2
# npm fetches the engine's source; it may come from elsewhere than Debian.
command -v npm >/dev/null || ensure_packages npm

"$root/scripts/provision-engine.sh" "$root/build/engine"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWHISPER_ENGINE_DIR="$root/build/engine" >/dev/null
cmake --build "$build" -j"$(nproc)"
