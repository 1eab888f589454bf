#!/usr/bin/env bash
# Builds everything and runs every test: the unit and end-to-end suite (the Windows programs
# under Wine included, the Python module's tests too), the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, and every fuzz target for a bounded time.
#   scripts/test.sh quick    a contributor's fast path: builds what the native tests need and
#                            runs them (unit, end-to-end, the fuzz corpora replayed, Python), no
#                            Windows programs, sanitizers, fuzzing or the Python package's
#                            install into a fresh environment (which builds its compiled part
#                            again after every change); under 2 minutes on 2 cores once the
#                            folder has been built
#   scripts/test.sh python   builds what the Python module's tests need and runs them alone
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-all}
case $mode in
  all) scripts/deps.sh test ;;
  quick | python) scripts/deps.sh "$mode" ;;
  *) echo "usage: scripts/test.sh [quick | python]" >&2; exit 2 ;;
esac
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
if [[ $mode == quick ]]; then
  cmake --build build --target tvx_native_tests
  (cd build && ctest --output-on-failure -j2 -E '^(windows[.]|python[.]install$)' --no-tests=error)
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
