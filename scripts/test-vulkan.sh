#!/usr/bin/env bash
# Runs the real-engine tests with the engine's Vulkan plugin on lavapipe
# (Mesa's software Vulkan device) and with no Vulkan driver. The engine and
# the build are the Linux suite's; where the Vulkan packages can't be
# installed it says so and skips.
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

"$root/scripts/setup.sh" "$build"
cd "$build"
ctest -j"$(nproc)" --output-on-failure -L vulkan
