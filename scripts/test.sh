#!/usr/bin/env bash
# Builds everything and runs every test: the unit and end-to-end suite (the Windows programs
# under Wine included), the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# and every fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
(cd build && ctest --output-on-failure -j2)
if [[ -x scripts/sanitize.sh ]]; then scripts/sanitize.sh; fi
if [[ -x scripts/fuzz.sh ]]; then scripts/fuzz.sh; fi
