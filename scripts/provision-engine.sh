#!/usr/bin/env bash
# Fetches the pinned engine source from the npm registry, builds its shared
# libraries and installs them with their headers and licence texts into one
# prefix. A second run with the same prefix and the same build configuration
# does nothing; a changed configuration builds anew.
#
#   scripts/provision-engine.sh [--windows] [--backend vulkan] [PREFIX]
#
# The default is the CPU engine in build/engine. --windows cross-builds the
# engine's DLLs for 64-bit Windows with mingw-w64 instead; they go into
# PREFIX/lib like the shared libraries. --backend vulkan adds the Vulkan
# backend (default prefix build/engine-vulkan); it needs libvulkan-dev, glslc
# and spirv-headers, and combines with --windows.
#
# The engine's CPU code is built for x86-64-v3 (AVX2, FMA, F16C, BMI2: every
# x86-64 CPU since about 2015), so what is built here runs on users' machines
# too. ENGINE_CPU=native builds for this machine's CPU instead (the benchmarks
# compare the two); such an engine must not be shipped.
set -euo pipefail

readonly ENGINE_VERSION=1.9.1
readonly NPM_PACKAGE=nodejs-whisper@0.3.1
readonly NPM_INTEGRITY='sha512-ceoilUVraRuR5FnNyXpGQT2auAR48Oc3AQBEmkXnVpSn9iN6yVRzQBFCqVTGWbk6Wdi95NhvwXNzFvuR7erLWw=='

root=$(cd "$(dirname "$0")/.." && pwd)
windows=
backend=cpu
while [ $# -gt 0 ]; do
    case "$1" in
    --windows) windows=1; shift ;;
    --backend)
        backend=${2:-}
        [ "$backend" = vulkan ] || { echo "unknown backend '$backend' (known: vulkan)" >&2; exit 2; }
        shift 2 ;;
    *) break ;;
    esac
done
default_prefix=$root/build/engine
[ "$backend" = cpu ] || default_prefix=$root/build/engine-$backend
prefix=$(realpath -m "${1:-$default_prefix}")
stamp="$prefix/.provisioned-$ENGINE_VERSION"

# Backends stay linked in: ggml's dynamic backend loading searches the folder
# of the executable and the current one, which in a host's process are not
# where the engine is.
case "${ENGINE_CPU:-x86-64-v3}" in
x86-64-v3)
    cpu_args=(-DGGML_NATIVE=OFF -DGGML_SSE42=ON -DGGML_AVX=ON -DGGML_AVX2=ON -DGGML_BMI2=ON
        -DGGML_FMA=ON -DGGML_F16C=ON -DGGML_AVX_VNNI=OFF -DGGML_AVX512=OFF) ;;
native) cpu_args=(-DGGML_NATIVE=ON) ;;
*) echo "ENGINE_CPU must be x86-64-v3 or native, not $ENGINE_CPU" >&2; exit 1 ;;
esac
cpu_args+=(-DGGML_BACKEND_DL=OFF -DGGML_CPU_ALL_VARIANTS=OFF)

targets=(whisper whisper-cli)
# mingw-w64 10 lacks the thread power-throttling API that ggml uses from
# Windows 8 (0x0602) on, and OpenMP would be one more DLL to ship.
windows_args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
    -DCMAKE_C_FLAGS=-D_WIN32_WINNT=0x0601 -DCMAKE_CXX_FLAGS=-D_WIN32_WINNT=0x0601
    -DGGML_OPENMP=OFF)
[ -z "$windows" ] || targets=(whisper)

# The stamp holds the configuration it was built with (paths relative to the
# checkout), so a changed flag set is never served a stale engine.
configuration="$NPM_PACKAGE backend=$backend targets=${targets[*]} ${cpu_args[*]}${windows:+ ${windows_args[*]}}"
configuration=${configuration//$root/.}
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$configuration" ]; then
    echo "engine $ENGINE_VERSION already provisioned in $prefix"
    exit 0
fi

work="$prefix.work"
rm -rf "$work"
mkdir -p "$work"

echo "fetching $NPM_PACKAGE"
tarball=$(cd "$work" && npm pack --silent "$NPM_PACKAGE")
actual="sha512-$(openssl dgst -sha512 -binary "$work/$tarball" | base64 -w0)"
if [ "$actual" != "$NPM_INTEGRITY" ]; then
    echo "integrity mismatch for $NPM_PACKAGE: got $actual" >&2
    exit 1
fi
tar -xzf "$work/$tarball" -C "$work"
src="$work/package/cpp/whisper.cpp"
grep -q "VERSION $ENGINE_VERSION)" "$src/CMakeLists.txt" || {
    echo "$NPM_PACKAGE does not hold engine $ENGINE_VERSION" >&2
    exit 1
}

backend_args=()
if [ "$backend" = vulkan ]; then
    # Linked in like the CPU backend, so the engine stays the same set of
    # libraries beside our own, with the same CPU baseline.
    backend_args=(-DGGML_VULKAN=ON)
    vulkan_header_version=$(sed -n 's/^#define VK_HEADER_VERSION \([0-9]*\).*/\1/p' \
        /usr/include/vulkan/vulkan_core.h 2>/dev/null || true)
    if [ -z "$vulkan_header_version" ]; then
        echo "no Vulkan headers in /usr/include/vulkan (install libvulkan-dev)" >&2
        exit 1
    fi
    if [ "$vulkan_header_version" -lt 261 ]; then
        patch_file="$root/scripts/patches/ggml-vulkan-old-headers.patch"
        echo "Vulkan headers 1.3.$vulkan_header_version: applying $(basename "$patch_file")"
        patch -d "$src" -p1 --forward --silent --no-backup-if-mismatch <"$patch_file"
        patch -d "$src" -p1 --reverse --dry-run --silent <"$patch_file" >/dev/null
    fi
    if [ -n "$windows" ]; then
        # mingw-w64 has no Vulkan SDK: the headers are the same on every
        # platform, and the import library of vulkan-1.dll (which Windows GPU
        # drivers install) is made from the names the Linux loader exports.
        sdk="$work/vulkan-sdk"
        mkdir -p "$sdk/include" "$sdk/lib"
        cp -a /usr/include/vulkan /usr/include/vk_video /usr/include/spirv "$sdk/include/"
        { echo "LIBRARY vulkan-1.dll"; echo EXPORTS
          nm -D --defined-only "$(ldconfig -p | sed -n 's/.*libvulkan.so.1 (libc6,x86-64) => //p' | head -1)" |
              awk '$3 ~ /^vk/ { print $3 }'; } >"$sdk/vulkan-1.def"
        x86_64-w64-mingw32-dlltool -d "$sdk/vulkan-1.def" -l "$sdk/lib/libvulkan-1.a"
        backend_args+=(-DVulkan_INCLUDE_DIR="$sdk/include" -DVulkan_LIBRARY="$sdk/lib/libvulkan-1.a"
            -DVulkan_GLSLC_EXECUTABLE="$(command -v glslc)"
            -DSPIRV-Headers_DIR=/usr/share/cmake/SPIRV-Headers)
    fi
fi

# whisper-cli is built as well: it is the engine's own host, which the
# benchmarks compare against. Everything finds its libraries through $ORIGIN,
# so the prefix can be moved or copied next to a host.
cmake -S "$src" -B "$work/build" \
    -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=ON \
    -DCMAKE_BUILD_WITH_INSTALL_RPATH=ON \
    -DCMAKE_INSTALL_RPATH='$ORIGIN:$ORIGIN/../lib' \
    -DWHISPER_BUILD_TESTS=OFF \
    -DWHISPER_BUILD_SERVER=OFF \
    -DWHISPER_BUILD_EXAMPLES=ON \
    -DWHISPER_SDL2=OFF \
    -DWHISPER_CURL=OFF \
    "${cpu_args[@]}" \
    "${backend_args[@]}" \
    ${windows:+"${windows_args[@]}"} \
    >"$work/configure.log" 2>&1 || { tail -30 "$work/configure.log" >&2; exit 1; }
echo "building engine $ENGINE_VERSION (a few minutes)"
cmake --build "$work/build" -j"$(nproc)" --target "${targets[@]}" >"$work/build.log" 2>&1 ||
    { tail -50 "$work/build.log" >&2; exit 1; }

rm -rf "$prefix"
mkdir -p "$prefix/lib" "$prefix/bin" "$prefix/include"
if [ -n "$windows" ]; then
    cp -a "$work/build/bin/"ggml*.dll "$prefix/lib/"
    # mingw names it libwhisper.dll; hosts look for whisper.dll.
    cp -a "$work/build/bin/libwhisper.dll" "$prefix/lib/whisper.dll"
    # The runtime archives linked into each DLL bring their debug sections.
    x86_64-w64-mingw32-strip --strip-unneeded "$prefix/lib/"*.dll
else
    cp -a "$work/build/bin/"lib*.so* "$prefix/lib/"
    cp -a "$work/build/bin/whisper-cli" "$prefix/bin/"
fi
cp -a "$src/include/whisper.h" "$src/ggml/include/"*.h "$prefix/include/"
# What the release's notices are made of: the engine's licence, which covers
# whisper.cpp and its ggml, and the notice of the one file in the CPU backend
# under a licence of its own (its leading comment block).
mkdir -p "$prefix/licenses"
cp "$src/LICENSE" "$prefix/licenses/whisper.cpp-and-ggml.txt"
sed -n '/^\/\//!q; s|^// \{0,1\}||p' "$src/ggml/src/ggml-cpu/llamafile/sgemm.cpp" \
    >"$prefix/licenses/ggml-cpu-llamafile-sgemm.txt"
echo "$ENGINE_VERSION" >"$prefix/engine-version"

rm -rf "$work"
echo "$configuration" >"$stamp"
echo "engine $ENGINE_VERSION installed in $prefix"
