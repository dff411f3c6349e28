# Cross build for 32-bit Windows (Intel 386) with Debian's mingw-w64 compiler: packages g++-mingw-w64-i686
# and binutils-mingw-w64-i686.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZARVO1_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
