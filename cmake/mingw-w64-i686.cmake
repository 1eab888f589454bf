# Cross build of the 32-bit Windows programs with mingw-w64 (Windows XP SP3 and later, any
# i686 processor: no SSE2 needed):
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
#   cmake --build build-win32
# The deliverables land in build-win32/bin/ as <Deliverable>.tvx.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TVX_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
