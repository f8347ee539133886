#!/usr/bin/env bash
# Packs the Node.js package whisper-inf and one native package per platform
# (whisper-inf-linux-x64, ...) into OUTPUT_DIR with npm pack, from installed
# release trees:
#
#   scripts/pack-node.sh VERSION OUTPUT_DIR PLATFORM=TREE...
#
# PLATFORM is Node's name for it, such as linux-x64, linux-arm64 or win32-x64;
# TREE holds what `cmake --install` put there. A native package carries every
# library of the tree (lib/ on Linux, the DLLs of bin/ on Windows), so engine
# libraries of any name come along, and the licences. The main package lists
# the native packages given as optional dependencies; npm installs the one
# whose os and cpu match.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: scripts/pack-node.sh VERSION OUTPUT_DIR PLATFORM=TREE..."
[ $# -ge 3 ] || { echo "$usage" >&2; exit 2; }
version=$1 output=$(realpath -m "$2")
shift 2

# shellcheck source=lib/packages.sh
. "$root/scripts/lib/packages.sh"
ensure_packages binutils
command -v npm >/dev/null || ensure_packages npm

name=tovandel-whispercpp-transcription-inference
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$output"

# carry_linux_libraries TREE DIR: each library of TREE/lib once, under the name
# the loader asks for: one that another library needs, else the unversioned
# name the library opens the engine by, else its own (a plugin). npm packs no
# symbolic links.
carry_linux_libraries() {
    local lib=$1/lib dir=$2 file name names needed chosen
    needed=" $(find "$lib" -maxdepth 1 -name '*.so*' -type f -exec readelf -d {} + |
        sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')"
    for file in "$lib"/*.so*; do
        if [ -L "$file" ]; then continue; fi
        names=$(find -L "$lib" -maxdepth 1 -samefile "$file" -printf '%f\n' | sort)
        chosen=""
        for name in $names; do
            if [[ $needed == *" $name "* ]]; then chosen=$name; fi
        done
        [ -n "$chosen" ] || chosen=$(grep -m1 '\.so$' <<<"$names" || basename "$file")
        cp "$file" "$dir/$chosen"
    done
}

native=()
for pair in "$@"; do
    platform=${pair%%=*} tree=$(realpath "${pair#*=}")
    package="$stage/whisper-inf-$platform"
    mkdir "$package"
    case $platform in
        linux-*) carry_linux_libraries "$tree" "$package" ;;
        # The library finds whisper.dll beside itself, and Windows finds the
        # DLLs whisper.dll imports beside it.
        win32-*) cp "$tree"/bin/*.dll "$package/" ;;
        *) echo "pack-node: no native layout for $platform" >&2; exit 2 ;;
    esac
    cp "$tree/share/doc/$name/LICENSE" "$tree/share/doc/$name/THIRD-PARTY-NOTICES" "$package/"
    echo '{}' >"$package/package.json"
    (cd "$package" && npm pkg set name="whisper-inf-$platform" version="$version" license=MIT \
        description="The native libraries of whisper-inf for $platform" \
        "os[]=${platform%-*}" "cpu[]=${platform#*-}")
    native+=("optionalDependencies.whisper-inf-$platform=$version")
done

main="$stage/whisper-inf"
mkdir "$main"
cp "$root/bindings/node/package.json" "$root/bindings/node/index.js" "$root/bindings/node/index.d.ts" \
    "$root/LICENSE" "$main/"
(cd "$main" && npm pkg set version="$version" "${native[@]}")

for package in "$stage"/whisper-inf*/; do
    (cd "$package" && npm pack --silent --pack-destination "$output")
done
