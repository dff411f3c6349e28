# Cross build for 64-bit Windows (x86-64) with Debian's mingw-w64 compiler (packages g++-mingw-w64-x86-64-win32
# and binutils-mingw-w64-x86-64). Only the test uses it: a 64-bit twin of the program for machines whose
# kernel cannot run the 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZARVO1_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
