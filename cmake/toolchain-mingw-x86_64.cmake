# Cross build for 64-bit Windows (x86-64) with Debian's mingw-w64 compiler (packages g++-mingw-w64-x86-64-win32
# and binutils-mingw-w64-x86-64). Only the test uses it: a 64-bit twin of the program for machines whose
# kernel cannot run the 32-bit Wine. Programs (Python, the host's tools) still come from the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(ZARVO1_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZARVO1_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZARVO1_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${ZARVO1_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZARVO1_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
