# Cross build for 64-bit ARM Linux with Debian's cross toolchain
# (crossbuild-essential-arm64), run under qemu-aarch64 user-mode emulation.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake ...
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# The cross toolchain's own sysroot: the target's libc, libstdc++ and libgomp.
set(aarch64_sysroot /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH ${aarch64_sysroot})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages are looked for where CMAKE_PREFIX_PATH says too, so that a project
# finds an unpacked ARM release wherever it is, as a native build does.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L ${aarch64_sysroot} CACHE STRING
    "Runs the ARM programs the build and the tests start")
