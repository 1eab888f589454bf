# The Windows programs (cross build with cmake/mingw-w64-*.cmake): small, static, and loading on
# every Windows from XP SP3 on, 32-bit (subsystem version 5.01) and 64-bit (5.02, the first x64
# Windows).
enable_language(RC)
set(TVX_WINDOWS_OPTIMIZE -Os CACHE STRING "Optimisation of the Windows programs in Release builds")

# Every function and datum in a section of its own, so that the linker drops what no program
# calls. Size over speed where it costs no measurable speed: a request's time is its file I/O and
# its exchange, against which -Os and -O2 measure the same (docs/windows.md).
add_compile_options(-ffunction-sections -fdata-sections $<$<CONFIG:Release>:${TVX_WINDOWS_OPTIMIZE}>)
# Link-time optimisation in Release builds: the decoders' property definitions serve the block,
# the typed values and the reference, and only across translation units can the linker see which
# parts a plug-in never reaches (it keeps each program about 20 KiB smaller). The objects also
# carry ordinary code, for the one program linked without it (tools/tvx: the cross compiler fails
# inside link-time optimisation of its code).
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION_RELEASE ON)
add_compile_options($<$<CONFIG:Release>:-ffat-lto-objects>)

# The runtime and system libraries as the compiler links them, the C runtime before kernel32.
# CMake's default list would put kernel32 first, and the x64 start-up code's __C_specific_handler
# would then be bound to kernel32, which is not known to export it on XP x64; msvcrt does on
# every x64 Windows.
set(CMAKE_CXX_STANDARD_LIBRARIES "")

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TVX_WINDOWS_SUBSYSTEM_VERSION 5.01)
  set(TVX_WINDOWS_ARCH win32)
else()
  set(TVX_WINDOWS_SUBSYSTEM_VERSION 5.02)
  set(TVX_WINDOWS_ARCH win64)
endif()

# A Windows program of this project: statically linked (it needs only KERNEL32, USER32 and the
# system's msvcrt), stripped, unused code dropped, marked for Windows XP SP3 (32-bit) or XP x64
# and later, with a version resource (product "Tevo Support Library", the project's version)
# that Explorer's Properties page shows.
#
#   tvx_windows_program(<target> GUI|CONSOLE DESCRIPTION <text>)
function(tvx_windows_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "GUI;CONSOLE" "DESCRIPTION" "")
  if(NOT arg_DESCRIPTION OR arg_GUI STREQUAL arg_CONSOLE)
    message(FATAL_ERROR "tvx_windows_program(${target}): GUI|CONSOLE DESCRIPTION <text>")
  endif()
  if(arg_GUI)
    set(subsystem windows)
  else()
    set(subsystem console)
  endif()
  string(REPLACE "." ";" version_parts "${PROJECT_VERSION}.0.0.0")
  list(SUBLIST version_parts 0 4 version_parts)
  list(JOIN version_parts "," TVX_RC_VERSION_NUMBERS)
  set(TVX_RC_VERSION ${PROJECT_VERSION})
  set(TVX_RC_DESCRIPTION ${arg_DESCRIPTION})
  get_target_property(TVX_RC_NAME ${target} OUTPUT_NAME)
  if(NOT TVX_RC_NAME)
    set(TVX_RC_NAME ${target})
  endif()
  get_target_property(suffix ${target} SUFFIX)
  if(NOT suffix)
    set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
  endif()
  set(TVX_RC_FILE_NAME ${TVX_RC_NAME}${suffix})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(arg_GUI)
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  endif()
  string(REPLACE "." ";" subsystem_version ${TVX_WINDOWS_SUBSYSTEM_VERSION})
  list(GET subsystem_version 0 major)
  list(GET subsystem_version 1 minor)
  target_link_options(${target} PRIVATE -static -s -Wl,--gc-sections
    -Wl,--subsystem,${subsystem}:${TVX_WINDOWS_SUBSYSTEM_VERSION}
    -Wl,--major-os-version,${major} -Wl,--minor-os-version,${minor})
endfunction()
