#!/usr/bin/env bash
# Unpacks the release in DIST into empty folders and uses it as a user would,
# with no LD_LIBRARY_PATH, no WHISPER_MODEL and no build tree in reach: a CMake
# project and a pkg-config build link the Linux archive and transcribe the
# sample through the engine it holds, its whisper-inf runs on an emulated
# AVX2-only CPU, the Windows archive's whisper-inf.exe runs under Wine, and
# the Vulkan archive's whisper-inf gives the same document on lavapipe, a
# software Vulkan device. The Node.js package and its Linux native package are
# installed from their tarballs into an empty folder, with koffi and
# TypeScript from the npm registry, and its tests run there.
#
#   tests/release_test.sh DIST MAKE_TEST_MODEL
#
# MAKE_TEST_MODEL is the build's test model generator. WINEPREFIX, if set,
# saves Wine setting up a prefix of its own.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dist=$(realpath "$1")
# shellcheck source=../scripts/lib/packages.sh
. "$root/scripts/lib/packages.sh"
ensure_packages qemu-user pkg-config cmake gcc wine wine64 libvulkan1 mesa-vulkan-drivers || exit 1
command -v npm >/dev/null || ensure_packages npm || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/tests/consumer" "$root/samples/hello.wav" "$work/"
"$2" "$work/model.bin" >/dev/null || exit 1
cd "$work" || exit 1
unset LD_LIBRARY_PATH WHISPER_MODEL

version=$(sed -n 's/^project(.* VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
name=tovandel-whispercpp-transcription-inference
linux="$work/$name-$version-linux-x86_64"
windows="$work/$name-$version-windows-x86_64"
vulkan="$linux-vulkan"
tar -xzf "$dist/$name-$version-linux-x86_64.tar.gz"
tar -xzf "$dist/$name-$version-linux-x86_64-vulkan.tar.gz"
cmake -E tar xf "$dist/$name-$version-windows-x86_64.zip"

passed=0 failed=0
check() {  # check WHAT COMMAND...: passes when COMMAND succeeds
    local what=$1
    shift
    if "$@" >"$work/out" 2>&1; then
        passed=$((passed + 1))
        echo "ok: $what"
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
        sed 's/^/    /' "$work/out"
    fi
}
# transcribes COMMAND...: COMMAND prints the generated model's two segments
transcribes() {
    "$@" >"$work/document" || return 1
    cat "$work/document"
    grep -q '"text": " tiny test"' "$work/document" && grep -q '"text": " model"' "$work/document"
}
# holds DIR PATH...: every PATH exists under DIR
holds() {
    local dir=$1 path missing=0
    shift
    for path in "$@"; do
        [ -e "$dir/$path" ] || { echo "missing: $path"; missing=1; }
    done
    return $missing
}
# needs_only_system DIR [LIBRARY...]: every ELF file in DIR needs only the C,
# C++ and OpenMP runtimes, the LIBRARYs and the archive's own libraries
needs_only_system() {
    local dir=$1 file needed status=0
    shift
    for file in "$dir"/lib/*.so* "$dir"/bin/*; do
        [ -L "$file" ] && continue
        for needed in $(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
            case $needed in
            libc.so.6 | libm.so.6 | libstdc++.so.6 | libgcc_s.so.1 | libgomp.so.1 | ld-linux-x86-64.so.2) ;;
            *) [ -e "$dir/lib/$needed" ] || [[ " $* " == *" $needed "* ]] ||
                { echo "$file needs $needed"; status=1; } ;;
            esac
        done
    done
    return $status
}
# names_no_build_path FILE...: no FILE holds a path of the checkout
names_no_build_path() { ! grep -rnF "$root" "$@"; }

docs="share/doc/$name"
package="lib/cmake/$name"
check "SHA256SUMS" sh -c "cd '$dist' && sha256sum -c SHA256SUMS"
check "Linux archive holds the release" holds "$linux" include/whisper_inf.h bin/whisper-inf \
    "lib/lib$name.so" lib/libwhisper.so lib/libggml.so.0 lib/libggml-base.so.0 lib/libggml-cpu.so.0 \
    "$package/$name-config.cmake" "$package/$name-config-version.cmake" "lib/pkgconfig/$name.pc" \
    "$docs/README.md" "$docs/LICENSE" "$docs/CHANGELOG.md" "$docs/THIRD-PARTY-NOTICES"
check "Windows archive holds the release" holds "$windows" include/whisper_inf.h \
    "bin/$name.dll" bin/whisper.dll bin/ggml.dll bin/ggml-base.dll bin/ggml-cpu.dll bin/whisper-inf.exe \
    "lib/lib$name.dll.a" "$package/$name-config.cmake" "$package/$name-config-version.cmake" \
    "$docs/README.md" "$docs/LICENSE" "$docs/CHANGELOG.md" "$docs/THIRD-PARTY-NOTICES"
check "notices carry the engine's licence" grep -q "The ggml authors" "$linux/$docs/THIRD-PARTY-NOTICES"
check "packages name no build path" names_no_build_path "$linux/lib/cmake" "$linux/lib/pkgconfig" \
    "$windows/lib/cmake" "$windows/lib/pkgconfig"
check "Linux binaries need only the system's runtimes" needs_only_system "$linux"
check "Vulkan archive holds the Vulkan engine" holds "$vulkan" bin/whisper-inf "lib/lib$name.so" \
    lib/libwhisper.so lib/libggml-vulkan.so.0 "$package/$name-config.cmake" "$docs/THIRD-PARTY-NOTICES"
check "Vulkan binaries need only the system's runtimes and Vulkan loader" \
    needs_only_system "$vulkan" libvulkan.so.1

check "CMake consumer configures and builds" sh -c \
    "cmake -S consumer -B with-cmake -DCMAKE_PREFIX_PATH='$linux' && cmake --build with-cmake"
check "CMake consumer transcribes" transcribes with-cmake/consumer model.bin hello.wav
check "pkg-config consumer builds" sh -c "cc consumer/consumer.c -o with-pkg-config -Wl,-rpath,'$linux/lib' \
    \$(PKG_CONFIG_PATH='$linux/lib/pkgconfig' pkg-config --cflags --libs $name)"
check "pkg-config consumer transcribes" transcribes ./with-pkg-config model.bin hello.wav
# The engine is built for x86-64-v3; Haswell has AVX2 but no AVX-512.
check "whisper-inf runs on an AVX2-only CPU" transcribes \
    qemu-x86_64 -cpu Haswell "$linux/bin/whisper-inf" -m model.bin hello.wav
engine_version=$(cat "$root/build/engine/engine-version")
check "whisper-inf --version names the release" sh -c \
    "'$linux/bin/whisper-inf' --version | grep -qxF 'whisper-inf $version (whisper.cpp $engine_version)'"
# on_vulkan_device: the Vulkan archive names the device it used and writes the
# CPU archive's document byte for byte. ggml leaves CPU-type devices such as
# lavapipe out unless they are named.
on_vulkan_device() {
    "$linux/bin/whisper-inf" -m model.bin hello.wav >cpu-document 2>/dev/null || return 1
    VK_ICD_FILENAMES=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json GGML_VK_VISIBLE_DEVICES=0 \
        "$vulkan/bin/whisper-inf" -m model.bin hello.wav >vulkan-document 2>vulkan-log ||
        { cat vulkan-log; return 1; }
    grep "using Vulkan0 backend" vulkan-log && cmp cpu-document vulkan-document
}
check "Vulkan archive transcribes on lavapipe" on_vulkan_device
mkdir elsewhere
check "whisper-inf.exe runs under Wine" transcribes \
    sh -c "cd elsewhere && '$root/cmake/wine-run.sh' '$windows/bin/whisper-inf.exe' -m ../model.bin ../hello.wav"

# node_package: the packages installed as a user installs them, from nothing
# but the tarballs and the registry; the typed example compiles against the
# declarations, the README's example transcribes and the package's tests pass.
node_package() (
    mkdir node && cd node && npm init -y >/dev/null &&
        npm install --no-audit --no-fund "$dist/whisper-inf-$version.tgz" \
            "$dist/whisper-inf-linux-x64-$version.tgz" typescript@5 &&
        cp "$root/bindings/node/test/"* . &&
        sed -n '/^## From Node.js/,/^## /p' "$root/README.md" | sed -n '/^```js$/,/^```$/{/^```/!p}' >transcribe.js &&
        node_modules/.bin/tsc --noEmit --strict --target es2020 --module commonjs example.ts &&
        node transcribe.js ../model.bin ../hello.wav 2>/dev/null | grep -qx '\[   1200 ->    2000 ms\] model' &&
        MODEL=../model.bin SAMPLE=../hello.wav node --test whisper-inf.test.js
)
check "Node.js package installs and transcribes" node_package
# win32_package_holds_the_dlls: the win32-x64 package carries the Windows
# archive's DLLs under the same names, the library and whisper.dll among them.
win32_package_holds_the_dlls() {
    local listed
    listed=$(tar -tzf "$dist/whisper-inf-win32-x64-$version.tgz" | sed -n 's|^package/\([^/]*\.dll\)$|\1|p' | sort)
    diff <(echo "$listed") <(find "$windows/bin" -maxdepth 1 -name '*.dll' -printf '%f\n' | sort) &&
        grep -qx "$name.dll" <<<"$listed" && grep -qx whisper.dll <<<"$listed"
}
check "win32-x64 Node.js package holds the Windows DLLs" win32_package_holds_the_dlls

echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
