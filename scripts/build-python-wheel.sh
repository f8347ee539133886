#!/usr/bin/env bash
# Builds the Python wheel that carries the library and the engine in
# whisper_inf/native/: build/python/whisper_inf-VERSION-py3-none-TAG.whl, where
# TAG is manylinux_2_NN_x86_64 with NN the glibc floor of what the wheel
# holds; with --aarch64 the same from the ARM cross build, and with --windows
# the win_amd64 wheel from the Windows cross build.
#
#   scripts/build-python-wheel.sh [--windows | --aarch64] [--from BUILD_DIR] [--output DIR]
#
# Without --from it first sets up and builds (scripts/setup.sh,
# scripts/setup-windows.sh or scripts/setup-aarch64.sh).
# VERSION is the CMake project's version, read from the build's cache. A
# Linux wheel carries what it needs beyond the manylinux library list
# (GCC's OpenMP runtime, the Vulkan loader) as renamed copies
# (scripts/manylinux.py).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: scripts/build-python-wheel.sh [--windows | --aarch64] [--from BUILD_DIR] [--output DIR]"
target=native from="" output="$root/build/python"
while [ $# -gt 0 ]; do
    case $1 in
        --windows) target=windows ;;
        --aarch64) target=aarch64 ;;
        --from) from=${2:?$usage}; shift ;;
        --output) output=${2:?$usage}; shift ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
    shift
done

# shellcheck source=lib/packages.sh
. "$root/scripts/lib/packages.sh"
ensure_packages python3 python3-pip python3-setuptools python3-wheel binutils patchelf
# Debian's interpreter, which holds the packages above; PYTHON picks another.
python=${PYTHON:-/usr/bin/python3}

case $target in
    native) build="$root/build" setup=setup.sh ;;
    windows) build="$root/build-windows" setup=setup-windows.sh ;;
    aarch64) build="$root/build-aarch64" setup=setup-aarch64.sh ;;
esac
if [ -n "$from" ]; then
    build=$(realpath "$from")
else
    "$root/scripts/$setup" "$build"
fi
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cached CMAKE_PROJECT_VERSION)
engine="$(cached WHISPER_ENGINE_DIR)/lib"
[ -n "$version" ] || { echo "no CMake build in $build" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp -r "$root/bindings/python/pyproject.toml" "$root/bindings/python/whisper_inf" "$stage/"
rm -rf "$stage/whisper_inf/__pycache__" "$stage/whisper_inf/native"
echo "$version" >"$stage/VERSION"
native="$stage/whisper_inf/native"
mkdir "$native"
# Shipping the engine's binaries means shipping its licence texts.
cp "$build/THIRD-PARTY-NOTICES" "$native/"

# carry NAME: copies the engine library the loader asks for by NAME, then
# each library it needs that the engine folder holds. A wheel holds no
# symbolic links, so each file is carried once, under the name asked for.
carry() {
    local name=$1 needed
    [ -e "$native/$name" ] && return 0
    cp -L "$engine/$name" "$native/$name"
    for needed in $(readelf -d "$native/$name" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        if [ -e "$engine/$needed" ]; then carry "$needed"; fi
    done
}
if [ "$target" = windows ]; then
    platform=win_amd64
    # The library finds whisper.dll beside itself, and Windows finds the DLLs
    # whisper.dll imports beside it.
    cp "$build/tovandel-whispercpp-transcription-inference.dll" "$engine"/*.dll "$native/"
else
    # The library asks for the engine by this name and finds it through its
    # run path, $ORIGIN; the engine finds its ggml libraries through its own,
    # and its backend plugins in its folder.
    cp "$build/libtovandel-whispercpp-transcription-inference.so" "$native/"
    carry libwhisper.so
    for plugin in "$engine"/libggml-*.so; do
        [ ! -e "$plugin" ] || carry "$(basename "$plugin")"
    done
    # What the files need beyond the manylinux list comes from the libraries
    # they were linked against: the build machine's or the cross sysroot's.
    if [ "$target" = aarch64 ]; then
        arch=aarch64 system_libraries=(/usr/aarch64-linux-gnu/lib)
    else
        arch=$(uname -m) system_libraries=("/lib/$arch-linux-gnu" "/usr/lib/$arch-linux-gnu")
    fi
    "$python" "$root/scripts/manylinux.py" repair "$native" "${system_libraries[@]}"
    platform=$("$python" "$root/scripts/manylinux.py" tag "$native" "$arch")
fi

"$python" -m pip wheel --quiet --no-build-isolation --no-index --no-deps --no-cache-dir \
    --config-settings=--build-option=--plat-name="$platform" --wheel-dir "$output" "$stage"
echo "$output/whisper_inf-$version-py3-none-$platform.whl"
