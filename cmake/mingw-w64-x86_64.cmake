# Cross build of the 64-bit Windows programs with mingw-w64 (x64 Windows XP and later):
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#   cmake --build build-win64
# The deliverables land in build-win64/bin/ as <Deliverable>.tvx.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TVX_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
