#!/usr/bin/env bash
# Fetches the pinned engine source from the npm registry, builds its shared
# libraries and installs them with their headers and licence texts into one
# prefix. A second run with the same prefix and the same build configuration
# does nothing; a changed configuration builds anew.
#
#   scripts/provision-engine.sh [--windows | --aarch64] [PREFIX]
#
# The default is the Linux engine in build/engine. --windows cross-builds the
# engine's DLLs for 64-bit Windows with mingw-w64 instead; they go into
# PREFIX/lib like the shared libraries. --aarch64 cross-builds the Linux engine
# for 64-bit ARM with Debian's cross toolchain.
#
# The engine adapts to the machine it runs on: its backends are plugins beside
# it, one CPU plugin per instruction-set level (from plain x86-64 to AVX-512,
# or from ARMv8.0 to SVE with int8 matrix multiply), of which the engine keeps
# the best one the CPU can run. The x86-64 Linux engine also carries the
# Vulkan plugin (building it needs libvulkan-dev, glslc and spirv-headers);
# without a Vulkan loader or driver it is skipped. Our library
# asks the engine to load the plugins from its own folder, so they must stay
# beside it.
#
# ENGINE_CPU=x86-64-v3 or ENGINE_CPU=native build the former kind of engine
# instead, with one CPU backend linked in (for AVX2 machines, or for this
# machine only); the benchmarks compare them with the adaptive one. Neither
# is shipped.
set -euo pipefail

readonly ENGINE_VERSION=1.9.1
readonly NPM_PACKAGE=nodejs-whisper@0.3.1
readonly NPM_INTEGRITY='sha512-ceoilUVraRuR5FnNyXpGQT2auAR48Oc3AQBEmkXnVpSn9iN6yVRzQBFCqVTGWbk6Wdi95NhvwXNzFvuR7erLWw=='

root=$(cd "$(dirname "$0")/.." && pwd)
platform=linux-x86_64
case "${1:-}" in
--windows) platform=windows-x86_64; shift ;;
--aarch64) platform=linux-aarch64; shift ;;
esac
prefix=$(realpath -m "${1:-$root/build/engine}")
stamp="$prefix/.provisioned-$ENGINE_VERSION"

# What the CPU code is built for. The adaptive engine needs every backend to
# be a plugin, which the engine's loader scans for in the folder our library
# names; the other two link the CPU backend in.
engine_cpu=${ENGINE_CPU:-all}
case "$engine_cpu" in
all) cpu_args=(-DGGML_NATIVE=OFF -DGGML_BACKEND_DL=ON -DGGML_CPU_ALL_VARIANTS=ON) ;;
x86-64-v3)
    cpu_args=(-DGGML_NATIVE=OFF -DGGML_SSE42=ON -DGGML_AVX=ON -DGGML_AVX2=ON -DGGML_BMI2=ON
        -DGGML_FMA=ON -DGGML_F16C=ON -DGGML_AVX_VNNI=OFF -DGGML_AVX512=OFF) ;;
native) cpu_args=(-DGGML_NATIVE=ON) ;;
*) echo "ENGINE_CPU must be all, x86-64-v3 or native, not $engine_cpu" >&2; exit 1 ;;
esac
[ "$engine_cpu" = all ] || cpu_args+=(-DGGML_BACKEND_DL=OFF -DGGML_CPU_ALL_VARIANTS=OFF)

# Per platform: the build's own arguments, the targets built and the GPU
# backends carried as plugins. whisper-cli is the engine's own host, which the
# benchmarks compare against.
# cpu_variants picks CPU plugins from the engine's own list (none picked: all
# of them). Each costs about a minute of build time on one core, so the
# x86-64 picks are a no-AVX baseline (x64) and one plugin per step that pays
# off: SSE4.2, AVX, AVX2 with FMA (haswell), AVX-512 (skylakex) and AVX-512
# with VBMI, VNNI and BF16 (zen4: AMD Zen 4 on, Intel Sapphire Rapids on).
# The Linux engines need no newer C++ runtime than GCC 11's. build_files
# lists the files of ours that the platform's build includes.
linux_cxx_floor=-DCMAKE_CXX_FLAGS="-include $root/cmake/engine-glibcxx-floor.h"
case "$platform" in
linux-x86_64)
    platform_args=("$linux_cxx_floor")
    build_files=(engine-glibcxx-floor.h)
    targets=(whisper whisper-cli)
    cpu_variants=(x64 sse42 sandybridge haswell skylakex zen4)
    gpu_backends=(vulkan) ;;
windows-x86_64)
    # mingw-w64 10 lacks the thread power-throttling API that ggml uses from
    # Windows 8 (0x0602) on. OpenMP rather than ggml's own spinning thread
    # pool, which on a machine with fewer free cores than threads makes the
    # threads fight for them; its runtime DLLs ship beside the engine's.
    platform_args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
        -DCMAKE_C_FLAGS=-D_WIN32_WINNT=0x0601 -DCMAKE_CXX_FLAGS=-D_WIN32_WINNT=0x0601
        -DGGML_OPENMP=ON)
    build_files=(mingw-w64-x86_64.cmake)
    targets=(whisper)
    # mingw-w64's GCC 12 emits AMX tile loads its assembler rejects.
    cpu_variants=(x64 sse42 sandybridge haswell skylakex)
    # The Vulkan plugin crashed under Wine, the only place it could be tested.
    gpu_backends=() ;;
linux-aarch64)
    platform_args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake" "$linux_cxx_floor")
    build_files=(aarch64-linux-gnu.cmake engine-glibcxx-floor.h)
    targets=(whisper)
    # Of the engine's eight ARM plugins, one per step that common boards and
    # servers take: ARMv8.0 (Cortex-A53/A72: Raspberry Pi 3 and 4), ARMv8.2
    # with dot product and FP16 arithmetic (Cortex-A76/A78, Neoverse N1:
    # Raspberry Pi 5, Graviton 2, Jetson Orin) and ARMv8.6 with SVE and int8
    # matrix multiply (Neoverse V1/V2: Graviton 3 and 4). GCC 12 knows
    # neither ARMv9.2 nor SME, which the last two need.
    cpu_variants=(armv8.0_1 armv8.2_2 armv8.6_1)
    # No Vulkan on ARM: no ARM board with a Vulkan GPU is at hand to prove it.
    gpu_backends=() ;;
esac
# Plugins need the plugin build; the linked-in engines are CPU-only.
[ "$engine_cpu" = all ] || { gpu_backends=(); cpu_variants=(); }

# The stamp holds the configuration it was built with (paths relative to the
# checkout), so a changed flag set is never served a stale engine. The work
# folder keeps what it was configured with, so an interrupted or failed build
# resumes there.
configured="$NPM_PACKAGE $platform gpu=${gpu_backends[*]} ${cpu_args[*]} ${platform_args[*]}"
# The files the engine's build includes count as configuration too.
build_files=(engine-library-names.cmake "${build_files[@]}")
configured="$configured build-files=$(cd "$root/cmake" && cat "${build_files[@]}" | sha256sum | cut -c1-16)"
configured=${configured//$root/.}
configuration=${configured/ gpu=/ targets=${targets[*]} gpu=}${cpu_variants:+ variants=${cpu_variants[*]}}
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$configuration" ]; then
    echo "engine $ENGINE_VERSION already provisioned in $prefix"
    exit 0
fi

work="$prefix.work"
# listed WORD LIST...: WORD is one of the LIST
listed() { [[ " ${*:2} " == *" $1 "* ]]; }
src="$work/package/cpp/whisper.cpp"

main() {
    if [ -f "$work/configured" ] && [ "$(cat "$work/configured")" = "$configured" ]; then
        echo "resuming the engine build in $work"
    else
        rm -rf "$work"
        mkdir -p "$work"
        configure
        echo "$configured" >"$work/configured"
    fi
    build
    install_engine
    rm -rf "$work"
    echo "$configuration" >"$stamp"
    echo "engine $ENGINE_VERSION installed in $prefix"
}

configure() {
    echo "fetching $NPM_PACKAGE"
    tarball=$(cd "$work" && npm pack --silent "$NPM_PACKAGE")
    actual="sha512-$(openssl dgst -sha512 -binary "$work/$tarball" | base64 -w0)"
    if [ "$actual" != "$NPM_INTEGRITY" ]; then
        echo "integrity mismatch for $NPM_PACKAGE: got $actual" >&2
        exit 1
    fi
    tar -xzf "$work/$tarball" -C "$work"
    grep -q "VERSION $ENGINE_VERSION)" "$src/CMakeLists.txt" || {
        echo "$NPM_PACKAGE does not hold engine $ENGINE_VERSION" >&2
        exit 1
}

backend_args=()
if listed vulkan "${gpu_backends[@]}"; then
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
fi

# Everything finds its libraries through $ORIGIN, so the prefix can be moved
# or copied next to a host.
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
    -DCMAKE_PROJECT_ggml_INCLUDE="$root/cmake/engine-library-names.cmake" \
    "${cpu_args[@]}" \
    "${backend_args[@]}" \
    "${platform_args[@]}" \
    >"$work/configure.log" 2>&1 || { tail -30 "$work/configure.log" >&2; exit 1; }
}

build() {
    echo "building engine $ENGINE_VERSION for $platform (${engine_cpu} CPUs${gpu_backends:+, ${gpu_backends[*]}}; minutes)"
    started=$SECONDS
    if [ "${#cpu_variants[@]}" -eq 0 ]; then
        cmake --build "$work/build" -j"$(nproc)" --target "${targets[@]}" >>"$work/build.log" 2>&1 ||
            { tail -50 "$work/build.log" >&2; exit 1; }
    else
        # The engine's loader library depends on every CPU plugin the engine
        # knows. So the plugins picked are built first, then each library on the
        # way to the targets on its own (make's TARGET/fast), leaving the rest out.
        plugins=("${cpu_variants[@]/#/ggml-cpu-}" "${gpu_backends[@]/#/ggml-}")
        chain=(ggml whisper)
        ! listed whisper-cli "${targets[@]}" || chain+=(common whisper-cli)
        { cmake --build "$work/build" -j"$(nproc)" --target "${plugins[@]}" &&
            for target in "${chain[@]}"; do cmake --build "$work/build" -j"$(nproc)" --target "$target/fast"; done; } \
            >>"$work/build.log" 2>&1 || { tail -50 "$work/build.log" >&2; exit 1; }
    fi
    echo "engine built in $((SECONDS - started)) s"
}

install_engine() {
    rm -rf "$prefix"
    mkdir -p "$prefix/lib" "$prefix/bin" "$prefix/include"
    if [ "$platform" = windows-x86_64 ]; then
        cp -a "$work/build/bin/"*ggml*.dll "$prefix/lib/"
        # mingw names it libwhisper.dll; hosts look for whisper.dll.
        cp -a "$work/build/bin/libwhisper.dll" "$prefix/lib/whisper.dll"
        # The runtime archives linked into each DLL bring their debug sections.
        x86_64-w64-mingw32-strip --strip-unneeded "$prefix/lib/"*.dll
        # OpenMP's runtime and the DLLs it needs, as the cross compiler has them.
        for runtime in libgomp-1.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
            cp "$(x86_64-w64-mingw32-gcc-posix -print-file-name="$runtime")" "$prefix/lib/"
        done
    else
        cp -a "$work/build/bin/"lib*.so* "$prefix/lib/"
        ! listed whisper-cli "${targets[@]}" || cp -a "$work/build/bin/whisper-cli" "$prefix/bin/"
    fi
    cp -a "$src/include/whisper.h" "$src/ggml/include/"*.h "$prefix/include/"
    # What the release's notices are made of: the engine's licence, which covers
    # whisper.cpp and its ggml, and the notice of the one file in the CPU backend
    # under a licence of its own (its leading comment block).
    mkdir -p "$prefix/licenses"
    cp "$src/LICENSE" "$prefix/licenses/whisper.cpp-and-ggml.txt"
    sed -n '/^\/\//!q; s|^// \{0,1\}||p' "$src/ggml/src/ggml-cpu/llamafile/sgemm.cpp" \
        >"$prefix/licenses/ggml-cpu-llamafile-sgemm.txt"
    if listed vulkan "${gpu_backends[@]}"; then
        # The Vulkan plugin compiles in the C++ Vulkan headers (Apache-2.0 or MIT).
        sed -n '/^\/\//!q; s|^// \{0,1\}||p' /usr/include/vulkan/vulkan.hpp >"$prefix/licenses/vulkan-hpp.txt"
    fi
    echo "$ENGINE_VERSION" >"$prefix/engine-version"
}

main
