#!/usr/bin/env bash
# Builds the Vulkan engine and runs the real-engine tests with it beside the
# unchanged library, on lavapipe (Mesa's software Vulkan device) and with no
# Vulkan driver. Where the Vulkan packages can't be installed it says so and
# skips.
#
#   scripts/test-vulkan.sh [BUILD_DIR]     (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")

skip() {
    echo "test-vulkan: SKIPPED, $1" >&2
    exit 0
}

command -v dpkg-query >/dev/null && command -v apt-get >/dev/null ||
    skip "not a Debian system: the Vulkan headers, shader compiler and lavapipe come from Debian"
# shellcheck source=lib/packages.sh
. "$root/scripts/lib/packages.sh"
ensure_packages libvulkan-dev glslc spirv-headers mesa-vulkan-drivers ||
    skip "the Vulkan packages above can't be installed"

# Cached like the CPU engine: a second run reuses it.
"$root/scripts/provision-engine.sh" --backend vulkan "$root/build/engine-vulkan"
"$root/scripts/setup.sh" "$build"
cmake -S "$root" -B "$build" -DWHISPER_VULKAN_ENGINE_DIR="$root/build/engine-vulkan" >/dev/null
cmake --build "$build" -j"$(nproc)"

cd "$build"
ctest -j"$(nproc)" --output-on-failure -L vulkan
