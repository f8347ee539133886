#!/usr/bin/env bash
# Makes a release in dist/, every file named after the version in
# CMakeLists.txt: the Linux (x86-64 and ARM) and Windows archives, the Python
# wheels, the Node.js packages, the C# binding and SHA256SUMS. Sets itself up
# like the tests do and reuses what build/, build-aarch64/ and build-windows/
# already hold. Every Linux wheel must keep its manylinux promise, or no
# release is made.
#
#   scripts/release.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dist="$root/dist"
stage="$root/build/release-stage"

"$root/scripts/setup.sh" "$root/build"
"$root/scripts/setup-aarch64.sh" "$root/build-aarch64"
"$root/scripts/setup-windows.sh" "$root/build-windows"
rm -rf "$dist" "$stage"
mkdir -p "$dist" "$stage"
"$root/scripts/build-python-wheel.sh" --from "$root/build" --output "$stage/wheels"
"$root/scripts/build-python-wheel.sh" --aarch64 --from "$root/build-aarch64" --output "$stage/wheels"
"$root/scripts/build-python-wheel.sh" --windows --from "$root/build-windows" --output "$stage/wheels"
python3 "$root/scripts/manylinux.py" show "$stage"/wheels/*manylinux*.whl

name=$(sed -n 's/^CMAKE_PROJECT_NAME:STATIC=//p' "$root/build/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/CMakeCache.txt")
linux="$name-$version-linux-x86_64"
aarch64="$name-$version-linux-aarch64"
windows="$name-$version-windows-x86_64"

cmake --install "$root/build" --prefix "$stage/$linux" --strip >/dev/null
cmake --install "$root/build-aarch64" --prefix "$stage/$aarch64" --strip >/dev/null
cmake --install "$root/build-windows" --prefix "$stage/$windows" --strip >/dev/null
# An archive holds one folder of its own name, owned by nobody in particular.
for tree in "$linux" "$aarch64"; do
    tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner -czf "$dist/$tree.tar.gz" "$tree"
done
(cd "$stage" && cmake -E tar cf "$dist/$windows.zip" --format=zip "$windows")

# The Node.js package and its native packages, from the trees just staged.
"$root/scripts/pack-node.sh" "$version" "$dist" linux-x64="$stage/$linux" linux-arm64="$stage/$aarch64" \
    win32-x64="$stage/$windows" >/dev/null

cp "$stage"/wheels/*.whl "$root/bindings/csharp/WhisperInf.cs" "$dist/"
(cd "$dist" && sha256sum -- * >SHA256SUMS)
rm -rf "$stage"
ls -l "$dist"
