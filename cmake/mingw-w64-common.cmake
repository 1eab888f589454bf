# The part of the two mingw-w64 toolchain files they share; each sets TVX_MINGW_PREFIX and
# CMAKE_SYSTEM_PROCESSOR first.
#
# The compilers of the "win32" threads variant: their C++ runtime uses only what Windows XP's
# kernel32 offers, where the "posix" variant brings winpthreads along.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_C_COMPILER NAMES ${TVX_MINGW_PREFIX}-gcc-win32 ${TVX_MINGW_PREFIX}-gcc)
find_program(CMAKE_CXX_COMPILER NAMES ${TVX_MINGW_PREFIX}-g++-win32 ${TVX_MINGW_PREFIX}-g++)
find_program(CMAKE_RC_COMPILER NAMES ${TVX_MINGW_PREFIX}-windres)
if(NOT CMAKE_CXX_COMPILER)
  message(FATAL_ERROR
    "${TVX_MINGW_PREFIX}-g++ not found: install mingw-w64 (apt-get install -y mingw-w64)")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${TVX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
