# What a user installs, and CPack's packages of it. On Linux: the program, its desktop entry, the icon in
# the theme's sizes, the manual page, the software-centre metadata, the XScreenSaver display mode with the
# description its settings read, and the package's copyright and changelog; `cpack -G DEB` in the release build makes zarvo1_<version>_<arch>.deb. On Windows: the
# executable and a short text on its use; `cpack -G ZIP` in the win32 build makes zarvo1-<x.yy>-win32.zip.
# For the web: the site's files; `cpack -G ZIP` in the web build makes zarvo1-<x.yy>-web.zip.
include_guard(GLOBAL)
if(NOT TARGET zarvo1)
  return()
endif()
include(GNUInstallDirs)

set(ZARVO1_MAINTAINER "Zarvo1 developers <zarvo1-developers@example.org>"
    CACHE STRING "Who the packages name as their maintainer")
set(CPACK_PACKAGE_NAME zarvo1)
set(CPACK_PACKAGE_VENDOR "Zarvo1 developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chain of points wandering over a window, leaving colour trails")
# The package's long description, wrapped for an 80-column terminal.
set(CPACK_PACKAGE_DESCRIPTION [=[
Zarvo1 opens one window and lets a chain of 21 points wander over it. The
head moves one pixel at a time on a slowly turning heading and slides along
the edges; each follower closes a fixed fraction of the gap to the point
before it. Every point nudges the colour of the pixel under it toward a
target colour that drifts at random, so the trails slowly change hue and
fade into one another.
A left click scatters the chain, a right click also wipes the window, a
click with Shift held picks a new colour and Escape ends the program.
The package also holds zarvo1-saver, the same animation as a display mode
for XScreenSaver.]=])
set(CPACK_PACKAGE_CONTACT "${ZARVO1_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/zarvo1/zarvo1")

if(EMSCRIPTEN)
  # The site's zip: its files at the top, for any static web server.
  install(DIRECTORY "${PROJECT_BINARY_DIR}/site/" DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME "zarvo1-${ZARVO1_VERSION_TEXT}-web")
elseif(WIN32)
  # The zip: one folder with the program, the screen saver and README.txt (Windows line ends, so every
  # editor shows it).
  install(TARGETS zarvo1 zarvo1-saver RUNTIME DESTINATION .)
  configure_file(packaging/README-windows.txt "${PROJECT_BINARY_DIR}/README.txt" @ONLY NEWLINE_STYLE CRLF)
  install(FILES "${PROJECT_BINARY_DIR}/README.txt" DESTINATION .)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(platform win64)
  else()
    set(platform win32)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "zarvo1-${ZARVO1_VERSION_TEXT}-${platform}")
else()
  install(TARGETS zarvo1 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The display mode where XScreenSaver runs its display modes from (Debian: /usr/libexec/xscreensaver), and
  # its description where the settings look for it by the program's name.
  install(TARGETS zarvo1-saver RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
  install(FILES packaging/zarvo1-saver.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
  # Relocations resolved and made read-only at start-up, as Debian's hardening asks of a binary.
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_link_options(zarvo1 PRIVATE -Wl,-z,relro -Wl,-z,now)
    target_link_options(zarvo1-saver PRIVATE -Wl,-z,relro -Wl,-z,now)
  endif()
  install(FILES packaging/zarvo1.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  zarvo1_icon(THEME_DIR theme)
  install(DIRECTORY "${theme}/" DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES packaging/io.github.zarvo1.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The manual page and the changelog travel compressed, without a time stamp so that every build of the
  # same source makes the same files.
  find_program(ZARVO1_GZIP gzip REQUIRED)
  set(docs "${PROJECT_BINARY_DIR}/packaging")
  set(compressed "")
  foreach(file IN ITEMS zarvo1.6 changelog)
    add_custom_command(
      OUTPUT "${docs}/${file}.gz"
      COMMAND "${CMAKE_COMMAND}" -E copy "${PROJECT_SOURCE_DIR}/packaging/${file}" "${docs}/${file}"
      COMMAND "${ZARVO1_GZIP}" -9nf "${docs}/${file}"
      DEPENDS "${PROJECT_SOURCE_DIR}/packaging/${file}"
      COMMENT "Compressing ${file}"
      VERBATIM)
    list(APPEND compressed "${docs}/${file}.gz")
  endforeach()
  add_custom_target(zarvo1-docs ALL DEPENDS ${compressed})
  install(FILES "${docs}/zarvo1.6.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
  install(FILES "${docs}/changelog.gz" packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # The Debian package: dependencies from the libraries the binary links (dpkg-shlibdeps).
  set(CPACK_GENERATOR DEB)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # A cross build's package is of its target (the toolchain file names it; dpkg-shlibdeps finds the target's
  # libraries in their multiarch folders by their format), a native one of this machine.
  if(ZARVO1_DEBIAN_ARCHITECTURE)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${ZARVO1_DEBIAN_ARCHITECTURE}")
  endif()
  # Section x11 rather than games: Debian puts a game's binary in /usr/games, which is not on every
  # desktop session's path, while the desktop entry and `cmake --install` use bin/ like any program.
  set(CPACK_DEBIAN_PACKAGE_SECTION x11)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
endif()

include(CPack)
