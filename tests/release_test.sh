#!/usr/bin/env bash
# Unpacks the release in DIST into empty folders and uses it as a user would,
# with no LD_LIBRARY_PATH, no WHISPER_MODEL and no build tree in reach, each
# program started from a folder other than its own: a CMake project and a
# pkg-config build link the Linux archive and transcribe the sample through
# the engine it holds; its whisper-inf gives the same document on emulated
# CPUs without AVX and with AVX2 only, natively, and on lavapipe, a software
# Vulkan device, each time through the engine's plugin for that CPU or device.
# The ARM archive's whisper-inf gives it too under qemu-aarch64, on an ARMv8.0
# and an SVE CPU, and so does the CMake project cross-built against it; the
# ARM wheel is installed and tested in an emulated Debian arm64 root. The
# Windows archive's whisper-inf.exe runs under Wine. The Node.js package
# and its Linux native package are installed from their tarballs into an empty
# folder, with koffi and TypeScript from the npm registry, and its tests run
# there.
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
ensure_packages qemu-user pkg-config cmake gcc wine wine64 libvulkan1 mesa-vulkan-drivers \
    crossbuild-essential-arm64 debootstrap || exit 1
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
aarch64="$work/$name-$version-linux-aarch64"
windows="$work/$name-$version-windows-x86_64"
tar -xzf "$dist/$name-$version-linux-x86_64.tar.gz"
tar -xzf "$dist/$name-$version-linux-aarch64.tar.gz"
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
            libc.so.6 | libm.so.6 | libstdc++.so.6 | libgcc_s.so.1 | libgomp.so.1 | ld-linux-*.so.*) ;;
            *) [ -e "$dir/lib/$needed" ] || [[ " $* " == *" $needed "* ]] ||
                { echo "$file needs $needed"; status=1; } ;;
            esac
        done
    done
    return $status
}
# arm64_debian_root DIR: a Debian arm64 root with Python, pip, pytest,
# Node.js and the OpenMP runtime the archive's engine links, kept for the
# next run. debootstrap's first stage downloads the packages and unpacks the
# essential ones; the rest are unpacked here. Their install scripts would
# have to run the root's own programs, which user-mode emulation starts only
# through the kernel's binfmt registration; a Python or Node.js run needs
# nothing they make.
arm64_debian_root() {
    local dir=$1 suite mirror deb packages=python3-venv,python3-pip,python3-pytest,nodejs,libgomp1
    [ "$(cat "$dir/.unpacked" 2>/dev/null)" = "$packages" ] && return 0
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    # The machine's own Debian mirror, else debootstrap's.
    mirror=$(apt-cache policy | sed -n "s|^ *[0-9]* \(https\{0,1\}://[^ ]*\) $suite/main .*|\1|p" | head -1)
    rm -rf "$dir"
    debootstrap --foreign --arch=arm64 --variant=minbase --include="$packages" \
        "$suite" "$dir" ${mirror:+"$mirror"} >"$dir.log" 2>&1 || { tail "$dir.log"; return 1; }
    for deb in "$dir"/var/cache/apt/archives/*.deb; do dpkg-deb -x "$deb" "$dir" || return 1; done
    echo "$packages" >"$dir/.unpacked"
}
# names_no_build_path FILE...: no FILE holds a path of the checkout
names_no_build_path() { ! grep -rnF "$root" "$@"; }

docs="share/doc/$name"
package="lib/cmake/$name"
# The engine's files, as provisioning built them: libraries and plugins.
linux_engine=$(cd "$root/build/engine" && ls lib/*.so*)
aarch64_engine=$(cd "$root/build-aarch64/engine" && ls lib/*.so*)
windows_engine=$(cd "$root/build-windows/engine/lib" && ls ./*.dll | sed 's|^\./|bin/|')
check "SHA256SUMS" sh -c "cd '$dist' && sha256sum -c SHA256SUMS"
# shellcheck disable=SC2086  # one file name a word
check "Linux archive holds the release" holds "$linux" include/whisper_inf.h bin/whisper-inf \
    "lib/lib$name.so" $linux_engine lib/libggml-cpu-x64.so lib/libggml-vulkan.so \
    "$package/$name-config.cmake" "$package/$name-config-version.cmake" "lib/pkgconfig/$name.pc" \
    "$docs/README.md" "$docs/LICENSE" "$docs/CHANGELOG.md" "$docs/THIRD-PARTY-NOTICES"
# shellcheck disable=SC2086
check "ARM archive holds the release" holds "$aarch64" include/whisper_inf.h bin/whisper-inf \
    "lib/lib$name.so" $aarch64_engine lib/libggml-cpu-armv8.0_1.so lib/libggml-cpu-armv8.6_1.so \
    "$package/$name-config.cmake" "$package/$name-config-version.cmake" "lib/pkgconfig/$name.pc" \
    "$docs/README.md" "$docs/LICENSE" "$docs/CHANGELOG.md" "$docs/THIRD-PARTY-NOTICES"
# shellcheck disable=SC2086
check "Windows archive holds the release" holds "$windows" include/whisper_inf.h \
    "bin/$name.dll" $windows_engine bin/whisper.dll bin/ggml-cpu-x64.dll bin/whisper-inf.exe \
    "lib/lib$name.dll.a" "$package/$name-config.cmake" "$package/$name-config-version.cmake" \
    "$docs/README.md" "$docs/LICENSE" "$docs/CHANGELOG.md" "$docs/THIRD-PARTY-NOTICES"
# Another ggml in the host's process answers to these names; ours must not.
check "no library under ggml's own names" sh -c "! ls '$linux'/lib/libggml.so* '$linux'/lib/libggml-base.so* \
    '$aarch64'/lib/libggml.so* '$aarch64'/lib/libggml-base.so* \
    '$windows'/bin/ggml.dll '$windows'/bin/ggml-base.dll 2>/dev/null"
check "notices carry the engine's licence" grep -q "The ggml authors" "$linux/$docs/THIRD-PARTY-NOTICES"
check "packages name no build path" names_no_build_path "$linux/lib/cmake" "$linux/lib/pkgconfig" \
    "$aarch64/lib/cmake" "$aarch64/lib/pkgconfig" \
    "$windows/lib/cmake" "$windows/lib/pkgconfig"
check "Linux binaries need only the system's runtimes and Vulkan loader" \
    needs_only_system "$linux" libvulkan.so.1
check "ARM binaries need only the system's runtimes" needs_only_system "$aarch64"

check "CMake consumer configures and builds" sh -c \
    "cmake -S consumer -B with-cmake -DCMAKE_PREFIX_PATH='$linux' && cmake --build with-cmake"
mkdir elsewhere
check "CMake consumer transcribes" transcribes sh -c "cd elsewhere && ../with-cmake/consumer ../model.bin ../hello.wav"
check "pkg-config consumer builds" sh -c "cc consumer/consumer.c -o with-pkg-config -Wl,-rpath,'$linux/lib' \
    \$(PKG_CONFIG_PATH='$linux/lib/pkgconfig' pkg-config --cflags --libs $name)"
check "pkg-config consumer transcribes" transcribes sh -c "cd elsewhere && ../with-pkg-config ../model.bin ../hello.wav"
engine_version=$(cat "$root/build/engine/engine-version")
check "whisper-inf --version names the release" sh -c \
    "'$linux/bin/whisper-inf' --version | grep -qxF 'whisper-inf $version (whisper.cpp $engine_version)'"
# on RUN TREE BACKEND PLUGIN [PREFIX...]: the unpacked archive TREE's
# whisper-inf, started from another folder behind the command PREFIX (qemu
# emulating a CPU, env), loads the engine's BACKEND from its file PLUGIN and
# writes the native run's document byte for byte. RUN names the run's files.
on() {
    local run=$1 tree=$2 backend=$3 plugin=$4
    shift 4
    (cd elsewhere && "$@" "$tree/bin/whisper-inf" -m ../model.bin ../hello.wav >"$run-document" 2>"$run-log") ||
        { cat "elsewhere/$run-log"; return 1; }
    grep -F "loaded $backend backend from $tree/lib/$plugin" "elsewhere/$run-log" &&
        transcribes cat "elsewhere/$run-document" && cmp elsewhere/native-document "elsewhere/$run-document"
}
# Natively, the plugin for the best instruction set this CPU has.
check "whisper-inf transcribes natively with a CPU plugin" on native "$linux" CPU libggml-cpu- env
check "whisper-inf without AVX (Westmere) uses the SSE4.2 plugin" on westmere "$linux" CPU libggml-cpu-sse42.so \
    qemu-x86_64 -cpu Westmere
check "whisper-inf with AVX2 (Haswell) uses the AVX2 plugin" on haswell "$linux" CPU libggml-cpu-haswell.so \
    qemu-x86_64 -cpu Haswell
# ggml leaves CPU-type devices such as lavapipe out unless they are named.
check "whisper-inf uses a Vulkan device (lavapipe) where one is visible" on lavapipe "$linux" Vulkan libggml-vulkan.so \
    env VK_ICD_FILENAMES=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json GGML_VK_VISIBLE_DEVICES=0
check "the engine computed on the Vulkan device" grep -F "using Vulkan0 backend" elsewhere/lavapipe-log
# ARM under emulation, with the cross toolchain's libraries as the system's.
arm=(qemu-aarch64 -L /usr/aarch64-linux-gnu)
check "ARM whisper-inf on ARMv8.0 (Cortex-A72) uses the ARMv8.0 plugin" on cortex-a72 "$aarch64" CPU \
    libggml-cpu-armv8.0_1.so "${arm[@]}" -cpu cortex-a72
check "ARM whisper-inf with SVE and int8 matrix multiply uses their plugin" on arm-max "$aarch64" CPU \
    libggml-cpu-armv8.6_1.so "${arm[@]}" -cpu max
check "CMake consumer cross-builds for ARM" sh -c "cmake -S consumer -B with-cmake-arm \
    -DCMAKE_TOOLCHAIN_FILE='$root/cmake/aarch64-linux-gnu.cmake' -DCMAKE_PREFIX_PATH='$aarch64' &&
    cmake --build with-cmake-arm"
check "CMake consumer transcribes on ARM" transcribes sh -c \
    "cd elsewhere && ${arm[*]} ../with-cmake-arm/consumer ../model.bin ../hello.wav"

# Every Linux wheel promises manylinux; the check that keeps the promise
# refuses a wheel tagged below what its files need, and one whose files need
# a library that neither it nor the manylinux list holds (the engine's own
# libgomp, which the wheels carry renamed).
linux_wheels_are_manylinux() {
    local wheel count=0
    for wheel in "$dist"/*.whl; do
        case $wheel in
        *-win_amd64.whl) ;;
        *-manylinux_2_*_x86_64.whl | *-manylinux_2_*_aarch64.whl) count=$((count + 1)) ;;
        *) echo "not a manylinux wheel: $wheel"; return 1 ;;
        esac
    done
    [ "$count" -eq 2 ] && python3 "$root/scripts/manylinux.py" show "$dist"/*manylinux*.whl
}
check "both Linux wheels are manylinux wheels that keep the promise" linux_wheels_are_manylinux
refuses() {  # refuses WHEEL TEXT: the wheel check finds a violation in WHEEL and says TEXT
    local said
    said=$(python3 "$root/scripts/manylinux.py" show "$1" 2>&1) && return 1
    echo "$said"
    grep -qF "$2" <<<"$said"
}
cp "$dist"/*manylinux*_x86_64.whl whisper_inf-0-py3-none-manylinux_2_17_x86_64.whl
check "the wheel check refuses a wheel tagged below its glibc floor" \
    refuses whisper_inf-0-py3-none-manylinux_2_17_x86_64.whl "need more than manylinux_2_17 admits"
python3 -m zipfile -c whisper_inf-0-py3-none-manylinux_2_34_x86_64.whl "$linux"/lib/libggml-cpu-x64.so
check "the wheel check refuses a wheel whose files need libgomp it lacks" \
    refuses whisper_inf-0-py3-none-manylinux_2_34_x86_64.whl "need libgomp.so.1"

# arm64_wheel: the ARM wheel, installed by the emulated root's pip into a
# virtual environment, passes the package's tests there. The one test that
# starts a second interpreter is left out: that needs binfmt too.
debian=$root/build-aarch64/debian-arm64
arm64_wheel() {
    arm64_debian_root "$debian" &&
        qemu-aarch64 -L "$debian" "$debian/usr/bin/python3" -m venv --without-pip --system-site-packages venv-arm &&
        qemu-aarch64 -L "$debian" venv-arm/bin/python -m pip install --quiet --no-index --no-cache-dir \
            "$dist"/whisper_inf-*-manylinux_*_aarch64.whl &&
        (cd elsewhere && MODEL=../model.bin SAMPLE=../hello.wav PYTHONDONTWRITEBYTECODE=1 \
            qemu-aarch64 -L "$debian" ../venv-arm/bin/python -m pytest -q -p no:cacheprovider \
            -k "not test_bad_library_setting_is_named" "$root/bindings/python/tests")
}
check "ARM wheel installs and passes its tests in an emulated Debian arm64 root" arm64_wheel

check "whisper-inf.exe runs under Wine" transcribes \
    sh -c "cd elsewhere && '$root/cmake/wine-run.sh' '$windows/bin/whisper-inf.exe' -m ../model.bin ../hello.wav 2>wine-log"
check "under Wine the engine names its CPU plugin" grep -F "loaded CPU backend from" elsewhere/wine-log

# The README's Node.js example, as written.
sed -n '/^## From Node.js/,/^## /p' "$root/README.md" | sed -n '/^```js$/,/^```$/{/^```/!p}' >transcribe.js
# node_package: the packages installed as a user installs them, from nothing
# but the tarballs and the registry; the typed example compiles against the
# declarations, the README's example transcribes and the package's tests pass.
node_package() (
    mkdir node && cd node && npm init -y >/dev/null &&
        npm install --no-audit --no-fund "$dist/whisper-inf-$version.tgz" \
            "$dist/whisper-inf-linux-x64-$version.tgz" typescript@5 &&
        cp "$root/bindings/node/test/"* ../transcribe.js . &&
        node_modules/.bin/tsc --noEmit --strict --target es2020 --module commonjs example.ts &&
        node transcribe.js ../model.bin ../hello.wav 2>/dev/null | grep -qx '\[   1200 ->    2000 ms\] model' &&
        MODEL=../model.bin SAMPLE=../hello.wav node --test whisper-inf.test.js
)
check "Node.js package installs and transcribes" node_package
# node_arm64_package: the main package and the linux-arm64 one, installed as
# npm installs them on an ARM machine, run by the emulated root's Node.js:
# the README's example, and the package's tests in this process (node --test
# would start another, which needs binfmt).
node_arm64_package() (
    arm64_debian_root "$debian" && mkdir node-arm && cd node-arm && npm init -y >/dev/null &&
        # --force: npm holds a package named here to this machine's CPU, whatever --cpu says.
        npm install --no-audit --no-fund --os=linux --cpu=arm64 --force "$dist/whisper-inf-$version.tgz" \
            "$dist/whisper-inf-linux-arm64-$version.tgz" &&
        cp "$root/bindings/node/test/whisper-inf.test.js" ../transcribe.js . &&
        qemu-aarch64 -L "$debian" "$debian/usr/bin/node" transcribe.js ../model.bin ../hello.wav 2>/dev/null |
        grep -qx '\[   1200 ->    2000 ms\] model' &&
        MODEL=../model.bin SAMPLE=../hello.wav qemu-aarch64 -L "$debian" "$debian/usr/bin/node" whisper-inf.test.js
)
check "ARM Node.js package installs and transcribes under emulation" node_arm64_package
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
