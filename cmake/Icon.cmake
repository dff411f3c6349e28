# The application icon, drawn at build time from its text source (assets/icon.txt) by scripts/make-icon.py:
# the Windows icon with all three pictures, a PNG for the desktop entry, a header with the window icon's
# pixels and the desktop icon theme's PNGs in the sizes of ZARVO1_ICON_THEME_SIZES.
#
#   zarvo1_icon(ICO <var> PNG <var> HEADER <var> INCLUDE_DIR <var> THEME_DIR <var> TARGET <var>)
#
# sets each named variable in the caller's scope: ICO, PNG and HEADER to the generated files, INCLUDE_DIR
# to the folder that holds the header (#include "icon_pixels.hpp"), THEME_DIR to the folder that holds
# <size>x<size>/apps/zarvo1.png for every theme size, TARGET to a custom target that makes
# them all. A target using the files depends on TARGET (add_dependencies); call the function in the
# directory of that target, so the files are known there as generated. Every argument is optional.
include_guard(GLOBAL)

find_package(Python3 3.7 REQUIRED COMPONENTS Interpreter)

# The sizes a desktop asks an icon theme for: menus and panels, the window list, launchers, the software
# centre.
set(ZARVO1_ICON_THEME_SIZES 16 32 48 64 128 256)

# The project's root, seen from this file.
get_filename_component(ZARVO1_ICON_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

function(zarvo1_icon)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "ICO;PNG;HEADER;INCLUDE_DIR;THEME_DIR;TARGET" "")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "zarvo1_icon: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()

  set(dir "${PROJECT_BINARY_DIR}/icon")
  set(source "${ZARVO1_ICON_ROOT}/assets/icon.txt")
  set(script "${ZARVO1_ICON_ROOT}/scripts/make-icon.py")
  set(ico "${dir}/zarvo1.ico")
  set(png "${dir}/zarvo1.png")
  set(header "${dir}/icon_pixels.hpp")
  set(theme "${dir}/hicolor")
  set(theme_pngs "")
  foreach(size IN LISTS ZARVO1_ICON_THEME_SIZES)
    list(APPEND theme_pngs "${theme}/${size}x${size}/apps/zarvo1.png")
  endforeach()
  string(REPLACE ";" "," sizes "${ZARVO1_ICON_THEME_SIZES}")

  if(NOT TARGET zarvo1-icon)
    add_custom_command(
      OUTPUT "${ico}" "${png}" "${header}" ${theme_pngs}
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${dir}"
      COMMAND "${Python3_EXECUTABLE}" "${script}" --source "${source}" --ico "${ico}" --png "${png}"
              --header "${header}" --theme "${theme}" --sizes "${sizes}"
      DEPENDS "${source}" "${script}"
      COMMENT "Drawing the application icon"
      VERBATIM)
    add_custom_target(zarvo1-icon DEPENDS "${ico}" "${png}" "${header}" ${theme_pngs})
  endif()

  foreach(pair IN ITEMS "ICO;${ico}" "PNG;${png}" "HEADER;${header}" "INCLUDE_DIR;${dir}" "THEME_DIR;${theme}"
                    "TARGET;zarvo1-icon")
    list(GET pair 0 key)
    list(GET pair 1 value)
    if(arg_${key})
      set(${arg_${key}} "${value}" PARENT_SCOPE)
    endif()
  endforeach()
endfunction()
