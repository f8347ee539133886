#!/usr/bin/env bash
# Makes a release in dist/, every file named after the version in
# CMakeLists.txt: the Linux and Windows archives, the Python wheels, the
# Node.js packages, the C# binding and SHA256SUMS. Sets itself up like the
# tests do and reuses what build/ and build-windows/ already hold.
#
#   scripts/release.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dist="$root/dist"
stage="$root/build/release-stage"

"$root/scripts/setup.sh" "$root/build"
"$root/scripts/setup-windows.sh" "$root/build-windows"
"$root/scripts/build-python-wheel.sh"
"$root/scripts/build-python-wheel.sh" --windows

name=$(sed -n 's/^CMAKE_PROJECT_NAME:STATIC=//p' "$root/build/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/CMakeCache.txt")
linux="$name-$version-linux-x86_64"
windows="$name-$version-windows-x86_64"

rm -rf "$dist" "$stage"
mkdir -p "$dist" "$stage"
cmake --install "$root/build" --prefix "$stage/$linux" --strip >/dev/null
cmake --install "$root/build-windows" --prefix "$stage/$windows" --strip >/dev/null
# The archive holds one folder of its own name, owned by nobody in particular.
tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner -czf "$dist/$linux.tar.gz" "$linux"
(cd "$stage" && cmake -E tar cf "$dist/$windows.zip" --format=zip "$windows")

# The Node.js package and its native packages, from the trees just staged.
"$root/scripts/pack-node.sh" "$version" "$dist" linux-x64="$stage/$linux" win32-x64="$stage/$windows" >/dev/null

cp "$root/build/python/whisper_inf-$version-py3-none-linux_x86_64.whl" \
    "$root/build/python/whisper_inf-$version-py3-none-win_amd64.whl" \
    "$root/bindings/csharp/WhisperInf.cs" "$dist/"
(cd "$dist" && sha256sum -- * >SHA256SUMS)
rm -rf "$stage"
ls -l "$dist"
