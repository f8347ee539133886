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

# shellcheck source=lib/packages.sh
. "$root/scripts/lib/packages.sh"
ensure_packages "${vulkan_packages[@]}" || {
    echo "test-vulkan: SKIPPED, Debian's ${vulkan_packages[*]} can't be installed" >&2
    exit 0
}

# The set-up brings npm and the CPU engine the build compiles against. The
# Vulkan engine is cached like the CPU one: a second run reuses it.
"$root/scripts/setup.sh" "$build"
"$root/scripts/provision-engine.sh" --backend vulkan "$root/build/engine-vulkan"
cmake -S "$root" -B "$build" -DWHISPER_VULKAN_ENGINE_DIR="$root/build/engine-vulkan" >/dev/null
cmake --build "$build" -j"$(nproc)"

cd "$build"
ctest -j"$(nproc)" --output-on-failure -L vulkan
