#!/usr/bin/env bash
# Runs the whole test suite from nothing: set-up and build, the Linux suite,
# the hardening checks (sanitizers, fuzzing, valgrind, stress), the Windows
# build under Wine, the engine's Vulkan plugin on a software device and the
# release, the ARM build under emulation among it. Every stage runs; the exit
# status is non-zero if any failed.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
failed=()

stage() {  # stage NAME COMMAND...
    local name=$1
    shift
    echo "==== $name"
    "$@" || failed+=("$name")
}

linux_suite() {
    "$root/scripts/setup.sh" "$root/build" &&
        (cd "$root/build" && ctest -j"$(nproc)" --output-on-failure -LE "stress|vulkan")
}

# Makes the release from the builds above and uses it as a user would.
release_suite() {
    "$root/scripts/release.sh" &&
        WINEPREFIX="$root/build-windows/wine" "$root/tests/release_test.sh" "$root/dist" \
            "$root/build/tests/make_test_model"
}

stage "linux" linux_suite
stage "hardening" "$root/scripts/test-hardening.sh"
stage "windows" "$root/scripts/test-windows.sh" "$root/build-windows"
stage "vulkan" "$root/scripts/test-vulkan.sh" "$root/build"
stage "release" release_suite

echo
if [ "${#failed[@]}" -gt 0 ]; then
    echo "FAILED stages: ${failed[*]}"
    exit 1
fi
echo "all stages passed: linux, hardening, windows, vulkan, release"
