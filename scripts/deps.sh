#!/usr/bin/env bash
# Installs what the build and the tests need, where it is missing (Debian packages).
#   scripts/deps.sh build    compiler, CMake, Ninja, GoogleTest, nlohmann/json (tvx), Python 3
#   scripts/deps.sh test     the above, plus clang's fuzzer and sanitizer runtimes, Google
#                            Benchmark, and mingw-w64, Wine and Xvfb for the Windows tests
#   scripts/deps.sh coverage the build's, plus clang, its profile runtime and the LLVM tools
#                            that merge profiles and report coverage
set -euo pipefail
need=()
want() { dpkg -s "$1" >/dev/null 2>&1 || need+=("$1"); }
for p in g++ cmake ninja-build libgtest-dev nlohmann-json3-dev python3; do want "$p"; done
if [[ "${1:-build}" == test ]]; then
  for p in clang-14 libclang-rt-14-dev libbenchmark-dev mingw-w64 wine64 xvfb chromium; do want "$p"; done
fi
if [[ "${1:-build}" == coverage ]]; then
  for p in clang-14 libclang-rt-14-dev llvm-14; do want "$p"; done
fi
if ((${#need[@]})); then
  echo "Installing: ${need[*]}"
  if [[ $(id -u) -ne 0 ]] || ! command -v apt-get >/dev/null; then
    echo "Missing packages: ${need[*]} (install them with apt-get as root)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}" >/dev/null
fi
