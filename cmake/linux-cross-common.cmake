# What the Linux cross builds share: Debian's cross compilers of ZARVO1_CROSS_TRIPLE
# (crossbuild-essential-<arch>) and the target's libraries in their multiarch folders (the -dev packages of
# <arch>: libxcb1-dev:arm64, ...), with no root of their own. Libraries, headers and pkg-config files come
# from the target's folders, programs (wayland-scanner above all) from the build machine; programs built for
# the target run under qemu's user-mode emulator (qemu-user-static), which is how ctest runs the unit tests.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${ZARVO1_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZARVO1_CROSS_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${ZARVO1_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# Only the target's pkg-config files, and those that hold no library (wayland-protocols').
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/${ZARVO1_CROSS_TRIPLE}/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

find_program(ZARVO1_CROSS_EMULATOR qemu-${ZARVO1_QEMU_CPU}-static)
if(ZARVO1_CROSS_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${ZARVO1_CROSS_EMULATOR}")
endif()
