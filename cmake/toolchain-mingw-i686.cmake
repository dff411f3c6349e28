# Cross build for 32-bit Windows (Intel 386) with Debian's mingw-w64 compiler: packages g++-mingw-w64-i686
# and binutils-mingw-w64-i686. Programs (Python, the host's tools) still come from the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(ZARVO1_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ZARVO1_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZARVO1_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${ZARVO1_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZARVO1_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
