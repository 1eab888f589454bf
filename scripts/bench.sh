#!/usr/bin/env bash
# Builds the plug-ins and the benchmarks (Release) and runs them all, printing the ratios:
#  (a) decodes per second in-process per decoder on its bundled sample (Google Benchmark);
#  (b) requests per second through one long-lived plug-in against the I/O floor, in throughput
#      mode (a window of requests in flight; the ratio compared with the target) and in lock-step
#      mode (one request at a time; shown for reference);
#  (c) the start of a plug-in to its first reply against a trivial program's start and end;
#  (d) in the exchange benchmark: the same stream in a small and in a big file;
#  (e) tvx scan against cat on 1 GiB of each kind of content, an 8 GiB sparse file, standard input
#      and a collection of 10,000 small files, with tvx's peak memory (bench/scan_bench.py);
#  (f) tvx report: a 2 MB program of 75 records (the report's size and build time), a record with a
#      2 MB picture opened and its bytes chosen, and a report of 600 programs of 12 records opened
#      and filtered in headless chromium (the report's browser test, from the test build in
#      build/, with TVX_REPORT_BENCH set; `scripts/bench.sh report` runs (f) alone);
#  (g) tvx decode and explain at a wrong position in 1 GiB of random bytes: time and peak memory
#      (bench/decode_bound_bench.py; `scripts/bench.sh decode` runs (g) alone);
#  (h) the Python module: its scan against tvx scan --json on the same files, and its decode of
#      each sample against tvx's own decode in-process (bench/python_bench.py, in a build of its
#      own, BUILD-python, with the module; `scripts/bench.sh python` runs (h) alone).
# Each ratio is marked met or MISSED against its target; the exit status tells only whether the
# benchmarks ran. `scripts/bench.sh scan` runs (e) alone.
#
# Environment: TVX_BENCH_BUILD (build directory, default build-bench), TVX_BENCH_REQUESTS
# (default 10000), TVX_BENCH_STARTS (default 101), TVX_BENCH_ROUNDS (default 5), TVX_BENCH_WINDOW
# (requests in flight in throughput mode, default 32); for (e): TVX_BENCH_SCAN_DIR (where its
# files go, about 4.5 GiB, removed afterwards; default the build directory), TVX_BENCH_SCAN_SIZE
# (bytes of each content, default 1 GiB), TVX_BENCH_SCAN_FILES (default 10000),
# TVX_BENCH_SCAN_BASELINE (an earlier tvx to measure beside, optional).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TVX_BENCH_BUILD:-$root/build-bench}
requests=${TVX_BENCH_REQUESTS:-10000}
starts=${TVX_BENCH_STARTS:-101}
rounds=${TVX_BENCH_ROUNDS:-5}
window=${TVX_BENCH_WINDOW:-32}

if [[ -x $root/scripts/deps.sh ]]; then "$root/scripts/deps.sh" build; fi
if ! dpkg -s libbenchmark-dev >/dev/null 2>&1; then
  echo "bench.sh: Google Benchmark is missing: apt-get install libbenchmark-dev" >&2
  exit 1
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# (h): the module is built with position-independent code, which the plug-ins measured above are
# not, so it has a build of its own.
python_bench() {
  local pybuild=$build-python
  if ! { cmake -S "$root" -B "$pybuild" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTVX_BUILD_TESTS=OFF \
    -DTVX_SANITIZE=OFF -DTVX_PYTHON=ON -DPython_EXECUTABLE="$(command -v python3)" &&
    cmake --build "$pybuild" -j2 --target tvx_python tvx tvx_samples tvx_bench_decode; } \
    >"$out/python-build.log" 2>&1; then
    cat "$out/python-build.log" >&2
    echo "bench.sh: the Python module's build failed (scripts/deps.sh build installs pybind11)" >&2
    exit 1
  fi
  python3 "$root/bench/python_bench.py" "$pybuild" "${TVX_BENCH_SCAN_DIR:-$pybuild}" \
    --size "${TVX_BENCH_SCAN_SIZE:-1073741824}" --files "${TVX_BENCH_SCAN_FILES:-10000}"
}
if [[ ${1:-} == python ]]; then
  python_bench
  exit 0
fi
if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTVX_BUILD_TESTS=OFF \
  -DTVX_SANITIZE=OFF && cmake --build "$build" -j2 --target tvx_bench; } >"$out/build.log" 2>&1; then
  cat "$out/build.log" >&2
  echo "bench.sh: the build failed" >&2
  exit 1
fi
if [[ ! -x $build/bench/tvx_bench_decode ]]; then
  echo "bench.sh: the benchmarks were not built (is Google Benchmark installed?)" >&2
  exit 1
fi
if [[ ${1:-} == report ]]; then set -- report-only; fi
if [[ ${1:-} == decode ]]; then
  python3 "$root/bench/decode_bound_bench.py" "$build/bin/tvx" "$build/bench/tvx_peak_rss" \
    "${TVX_BENCH_SCAN_DIR:-$build}" --size "${TVX_BENCH_SCAN_SIZE:-1073741824}"
  exit 0
fi
if [[ ${1:-} != scan && ${1:-} != report-only ]]; then
  "$build/bench/tvx_bench_decode" "$build/samples" --benchmark_min_time=0.2 \
    --benchmark_out="$out/decode.json" --benchmark_out_format=json
  "$build/bench/tvx_bench_exchange" "$build/bin" "$build/samples" "$build/bench" \
    "$requests" "$starts" "$rounds" "$window" >"$out/exchange.json"
  python3 "$root/bench/report.py" "$out/decode.json" "$out/exchange.json"
  echo
fi
if [[ ${1:-} != report-only ]]; then
  python3 "$root/bench/scan_bench.py" "$build/bin/tvx" "$build/bench/tvx_peak_rss" \
    "${TVX_BENCH_SCAN_DIR:-$build}" --size "${TVX_BENCH_SCAN_SIZE:-1073741824}" \
    --files "${TVX_BENCH_SCAN_FILES:-10000}" \
    ${TVX_BENCH_SCAN_BASELINE:+--baseline "$TVX_BENCH_SCAN_BASELINE"}
fi
[[ ${1:-} == scan ]] && exit 0
if [[ ${1:-} != report-only ]]; then
  echo
  python3 "$root/bench/decode_bound_bench.py" "$build/bin/tvx" "$build/bench/tvx_peak_rss" \
    "${TVX_BENCH_SCAN_DIR:-$build}" --size "${TVX_BENCH_SCAN_SIZE:-1073741824}"
fi
echo
echo "(f) tvx report (targets: a report under 2 MB built in under 1 s; a 2 MB picture opened and"
echo "    chosen in under 0.2 s each; 600 programs open in under 2 s)"
tests=$root/build/tools/tvx/tvx_tool_tests
if [[ -x $tests ]] && command -v chromium >/dev/null; then
  TVX_REPORT_BENCH=1 "$tests" --gtest_filter='ReportInBrowser.LargeReportsOpenQuickly' \
    | grep -E '^(one program|a 2 MB picture|600 programs)|OK|FAILED' || true
else
  echo "    not run: it needs the test build (scripts/test.sh) and chromium (scripts/deps.sh test)"
fi
if [[ ${1:-} != report-only ]]; then
  echo
  python_bench
fi
