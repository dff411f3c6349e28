# What both mingw-w64 cross builds share: the compilers named by ZARVO1_MINGW_TRIPLE, and libraries and
# headers taken from the target's tree while programs (Python, the host's tools) come from the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${ZARVO1_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ZARVO1_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${ZARVO1_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZARVO1_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
