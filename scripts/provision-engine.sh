#!/usr/bin/env bash
# Fetches the pinned engine source from the npm registry, builds its shared
# libraries and installs them with their headers into one prefix.
# A second run with the same prefix does nothing.
#
#   scripts/provision-engine.sh [--windows] [--backend vulkan] [PREFIX]
#
# The default is the CPU engine in build/engine. --windows cross-builds the
# engine's DLLs for 64-bit Windows with mingw-w64 instead; they go into
# PREFIX/lib like the shared libraries. --backend vulkan adds the Vulkan
# backend (default prefix build/engine-vulkan); it needs libvulkan-dev, glslc
# and spirv-headers, and combines with --windows.
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

if [ -f "$stamp" ]; then
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

targets=(whisper whisper-cli)
# mingw-w64 10 lacks the thread power-throttling API that ggml uses from
# Windows 8 (0x0602) on, and OpenMP would be one more DLL to ship.
windows_args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
    -DCMAKE_C_FLAGS=-D_WIN32_WINNT=0x0601 -DCMAKE_CXX_FLAGS=-D_WIN32_WINNT=0x0601
    -DGGML_OPENMP=OFF)
[ -z "$windows" ] || targets=(whisper)
backend_args=()
if [ "$backend" = vulkan ]; then
    # Linked in, not loaded as modules, so the engine stays the same set of
    # libraries beside our own; the CPU part keeps a portable x86-64-v3 baseline.
    backend_args=(-DGGML_VULKAN=ON -DGGML_NATIVE=OFF
        -DGGML_AVX=ON -DGGML_AVX2=ON -DGGML_FMA=ON -DGGML_F16C=ON)
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
    -DGGML_NATIVE="${GGML_NATIVE:-ON}" \
    ${windows:+"${windows_args[@]}"} \
    "${backend_args[@]}" \
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
else
    cp -a "$work/build/bin/"lib*.so* "$prefix/lib/"
    cp -a "$work/build/bin/whisper-cli" "$prefix/bin/"
fi
cp -a "$src/include/whisper.h" "$src/ggml/include/"*.h "$prefix/include/"
echo "$ENGINE_VERSION" >"$prefix/engine-version"

rm -rf "$work"
touch "$stamp"
echo "engine $ENGINE_VERSION installed in $prefix"
