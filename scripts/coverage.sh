#!/usr/bin/env bash
# Measures what the tests reach of the product: builds everything with clang's source-based
# coverage (build-coverage), runs the whole test suite there (the unit tests, the end-to-end and
# hostile tests through the plug-in programs, and the replay of every fuzz corpus: the seeds, the
# campaign corpus and the regression inputs), merges the profiles of every process, prints line
# and branch coverage per file of framework/ and decoders/, and writes an HTML report to
# build-coverage/html/index.html.
#
#   scripts/coverage.sh
#
# Fails when a test fails, when a line of framework/ (the platform layers aside) or decoders/ is
# neither reached nor listed in docs/reliability.md with the reason it cannot be, and when a line
# listed there is reached after all. The build goes to build-coverage (TVX_COVERAGE_BUILD
# overrides it), compiled with clang++-14.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${TVX_COVERAGE_BUILD:-$root/build-coverage}

"$root/scripts/deps.sh" coverage
for tool in clang++-14 llvm-profdata-14 llvm-cov-14 cmake ninja python3; do
  if ! command -v $tool >/dev/null; then echo "coverage.sh: $tool is missing" >&2; exit 2; fi
done

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVX_COVERAGE=ON -DTVX_WINDOWS_TESTS=OFF >/dev/null
cmake --build "$build" -j2

# Every process writes its own profile (the programs also have this name built in, for the
# plug-ins the tests start with an empty environment).
profiles=$build/profiles
find "$profiles" -name '*.profraw' -delete
export LLVM_PROFILE_FILE="$profiles/%p-%m.profraw"
ctest --test-dir "$build" -j2 --output-on-failure

# The plug-in that a hostile test runs under a file-size limit of 64 bytes cannot write its
# profile whole: llvm-profdata warns of that one and merges the others.
llvm-profdata-14 merge -sparse --failure-mode=all "$profiles"/*.profraw \
  -o "$build/coverage.profdata"
python3 "$root/scripts/coverage_report.py" "$root" "$build" "$build/coverage.profdata"
