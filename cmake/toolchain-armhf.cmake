# Cross build for Linux on 32-bit ARMv7 with hardware floating point (armhf: a Raspberry Pi 2, 3, 4 or 5 with
# a 32-bit system) with Debian's cross compiler and multiarch libraries: crossbuild-essential-armhf and the
# -dev packages of armhf.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(ZARVO1_CROSS_TRIPLE arm-linux-gnueabihf)
set(ZARVO1_QEMU_CPU arm)
set(ZARVO1_DEBIAN_ARCHITECTURE armhf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross-common.cmake)
