# Cross build of the Windows programs with mingw-w64 (64-bit, Windows GUI subsystem):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#   cmake --build build-win
# The deliverables land in build-win/bin/ as <Deliverable>.tvx.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TVX_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${TVX_MINGW_PREFIX}-gcc ${TVX_MINGW_PREFIX}-gcc-win32)
find_program(CMAKE_CXX_COMPILER NAMES ${TVX_MINGW_PREFIX}-g++ ${TVX_MINGW_PREFIX}-g++-win32)
find_program(CMAKE_RC_COMPILER NAMES ${TVX_MINGW_PREFIX}-windres)
if(NOT CMAKE_CXX_COMPILER)
  message(FATAL_ERROR "${TVX_MINGW_PREFIX}-g++ not found: install mingw-w64 (apt-get install -y mingw-w64)")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${TVX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
