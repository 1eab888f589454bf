#!/usr/bin/env bash
# Builds everything and runs every test: the unit and end-to-end suite (the Windows programs
# under Wine included, the Python module's tests too), the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, and every fuzz target for a bounded time.
#   scripts/test.sh python   builds what the Python module's tests need and runs them alone
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-all}
scripts/deps.sh "$([[ $mode == python ]] && echo python || echo test)"
# The plain build's folder, with the generator it was made with (Ninja for a new one), with the
# Python module.
generator=()
if [[ ! -f build/CMakeCache.txt ]]; then generator=(-G Ninja); fi
cmake -S . -B build "${generator[@]}" -DTVX_PYTHON=ON >/dev/null
if [[ $mode == python ]]; then
  cmake --build build --target tvx_python_test_deps
  (cd build && ctest --output-on-failure -j2 -L python --no-tests=error)
  exit 0
fi
cmake --build build
# A Windows test that cannot start (no cross build, Wine or Wine 10 root) fails instead of being
# skipped.
export TVX_WINDOWS_TESTS_REQUIRED=1
(cd build && ctest --output-on-failure -j2)
# Every stage runs, or the command fails: a stage that cannot start is a failure, not a skip.
bash scripts/sanitize.sh
bash scripts/fuzz.sh
