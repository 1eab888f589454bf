#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole test
# suite on that build: unit tests, end-to-end tests through the (sanitized) plug-ins, and the
# replay of the fuzz seed corpora and regression inputs.
#
#   scripts/sanitize.sh
#
# The build goes to build-asan (TVX_SANITIZE_BUILD overrides it), compiled with clang++-14 where
# it is installed, as the fuzzers are (GCC 12 reports uninitialised-use false positives inside
# libstdc++ under AddressSanitizer); set CXX to choose another compiler. Any sanitizer report
# fails the test that caused it.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TVX_SANITIZE_BUILD:-$root/build-asan}
if [ -z "${CXX:-}" ] && command -v clang++-14 >/dev/null; then export CXX=clang++-14; fi

for tool in cmake ninja; do
  if ! command -v $tool >/dev/null; then echo "sanitize.sh: $tool is missing" >&2; exit 2; fi
done

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVX_SANITIZE=ON
cmake --build "$build" -j2

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The windows.* tests run the cross-built Windows programs under Wine; those are built without
# the sanitizers, so running them here would only repeat the normal test suite.
ctest --test-dir "$build" --output-on-failure -j2 -E '^windows\.'
