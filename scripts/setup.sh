#!/usr/bin/env bash
# Brings a fresh Debian 12 machine to a built project: installs the packages
# it needs (as root, with apt-get), provisions the engine and builds.
#
#   scripts/setup.sh [BUILD_DIR]     (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")

packages=(
    build-essential cmake pkg-config git ca-certificates openssl
    python3
    googletest libgtest-dev
    espeak-ng sox
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
# npm fetches the engine's source; it may come from elsewhere than Debian.
command -v npm >/dev/null || missing+=(npm)
if [ "${#missing[@]}" -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]} (run as root, or install them)" >&2
        exit 1
    fi
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

"$root/scripts/provision-engine.sh" "$root/build/engine"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWHISPER_ENGINE_DIR="$root/build/engine" >/dev/null
cmake --build "$build" -j"$(nproc)"
