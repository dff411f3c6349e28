# Cross build for Linux on 64-bit ARM (arm64: a Raspberry Pi 3, 4 or 5 with a 64-bit system) with Debian's
# cross compiler and multiarch libraries: crossbuild-essential-arm64 and the -dev packages of arm64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(ZARVO1_CROSS_TRIPLE aarch64-linux-gnu)
set(ZARVO1_QEMU_CPU aarch64)
set(ZARVO1_DEBIAN_ARCHITECTURE arm64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross-common.cmake)
