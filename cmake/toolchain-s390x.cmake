# Cross build for Linux on 64-bit IBM Z (s390x), the big-endian machine the byte order is tested on, with
# Debian's cross compiler and multiarch libraries: crossbuild-essential-s390x and the -dev packages of s390x.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(ZARVO1_CROSS_TRIPLE s390x-linux-gnu)
set(ZARVO1_QEMU_CPU s390x)
set(ZARVO1_DEBIAN_ARCHITECTURE s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross-common.cmake)
