#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on a clang build with AddressSanitizer and
# UndefinedBehaviorSanitizer, and fails when any target finds something.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS is the time per target (default 60; the targets run side by side, one a processor);
# TARGETs are names such as agent or dispatcher (default: every target built). The build goes to
# build-fuzz (TVX_FUZZ_BUILD overrides it), compiled with clang++-14 (TVX_FUZZ_CXX overrides it).
#
# Each target starts from the committed corpus fuzz/corpus/<target>/, the seed corpus and the
# kept regression inputs, and learns into build-fuzz/fuzz/corpus/<target>/.
#
# A finding (a crash, a broken output rule, a leak, a time-out or running out of memory) is
# copied to fuzz/regressions/<target>/ under libFuzzer's name for it (crash-<sha1>, ...); the
# test suite replays every file there from then on. Commit it together with the fix.
#
# TVX_FUZZ_TIMEOUT=SECONDS sets how long one input may take (default 10): a wall-clock time, so a
# campaign that runs beside other work (niced) gives it more.
#
# A campaign: TVX_FUZZ_RUNS=N runs each target for N executions instead of a time;
# TVX_FUZZ_MERGE=1 then replaces fuzz/corpus/<target>/ by the smallest set of inputs, from it
# and from what the run learned, that reaches every edge of the code the seeds and the
# regression inputs do not (libFuzzer's -merge=1 with -use_counters=0: an edge counts once, not
# once for each number of times it is taken; files named by their SHA-1, so never twice). So a
# clone carries seeds; a campaign learns the rest again into build-fuzz. TVX_FUZZ_RUNS=0 with
# TVX_FUZZ_MERGE=1 only minimises the committed corpora.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
[ $# -gt 0 ] && shift
build=${TVX_FUZZ_BUILD:-$root/build-fuzz}
cxx=${TVX_FUZZ_CXX:-clang++-14}

if ! command -v "$cxx" >/dev/null; then
  echo "fuzz.sh: $cxx is missing; install clang-14 (with its libFuzzer and sanitizer runtimes)" >&2
  exit 2
fi
for tool in cmake ninja; do
  if ! command -v $tool >/dev/null; then echo "fuzz.sh: $tool is missing" >&2; exit 2; fi
done

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTVX_FUZZ=ON -DTVX_SANITIZE=ON >/dev/null || exit 2
manifest=$build/fuzz/fuzz_targets.txt
if [ ! -f "$manifest" ]; then echo "fuzz.sh: no fuzz targets configured" >&2; exit 2; fi

wanted=("$@")
selected=()
while read -r name program seeds dictionary; do
  [ -n "$name" ] || continue
  if [ ${#wanted[@]} -gt 0 ] && [[ ! " ${wanted[*]} " == *" $name "* ]]; then continue; fi
  selected+=("$name $program $seeds $dictionary")
done <"$manifest"
if [ ${#selected[@]} -eq 0 ]; then echo "fuzz.sh: no such target: ${wanted[*]}" >&2; exit 2; fi

build_targets=()
for entry in "${selected[@]}"; do build_targets+=("tvx_fuzz_${entry%% *}"); done
cmake --build "$build" -j2 --target "${build_targets[@]}" || exit 2

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# One target's run, its report on standard output; its exit status 1 when it found something.
run_target() {
  local name program seeds dictionary corpus findings regressions committed options log started
  local status kept merged file failed=0
  read -r name program seeds dictionary <<<"$1"
  corpus=$build/fuzz/corpus/$name        # what the fuzzer learns; kept between runs
  findings=$build/fuzz/findings/$name    # this run's findings
  regressions=$root/fuzz/regressions/$name
  mkdir -p "$corpus" "$regressions"
  rm -rf "$findings" && mkdir -p "$findings"
  committed=$root/fuzz/corpus/$name
  mkdir -p "$committed"
  options=(-timeout="${TVX_FUZZ_TIMEOUT:-10}" -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/")
  if [ -n "${TVX_FUZZ_RUNS:-}" ]; then
    options+=(-runs="$TVX_FUZZ_RUNS")
    echo "== $name: $TVX_FUZZ_RUNS executions ($(date -u '+%Y-%m-%d %H:%M UTC'))"
  else
    options+=(-max_total_time="$seconds")
    echo "== $name: ${seconds}s"
  fi
  [ "$dictionary" != "-" ] && options+=(-dict="$dictionary")
  log=$build/fuzz/$name.log
  started=$SECONDS
  "$program" "${options[@]}" "$corpus" "$committed" "$seeds" "$regressions" >"$log" 2>&1
  status=$?
  echo "   stat::wall_time_sec: $((SECONDS - started))"
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
    "$log" | sed 's/^/   /'
  kept=$(find "$findings" -type f | wc -l)
  if [ $status -ne 0 ] || [ "$kept" -ne 0 ]; then
    echo "!! $name found something (exit status $status); the log is $log"
    grep -E -A12 'broken rule|ERROR: |runtime error|deadly signal' "$log" | head -40 | sed 's/^/   /'
    for file in "$findings"/*; do
      [ -f "$file" ] || continue
      cp "$file" "$regressions/"
      echo "   kept as fuzz/regressions/$name/$(basename "$file")"
    done
    failed=1
  elif [ "${TVX_FUZZ_MERGE:-0}" = 1 ]; then
    # The seeds and the regression inputs are replayed anyway: merged in first, they are kept
    # whole, and only what reaches further goes to the committed corpus.
    merged=$build/fuzz/merge/$name
    rm -rf "$merged" && mkdir -p "$merged"
    cp "$seeds"/* "$merged"/ && find "$regressions" -type f ! -name '.*' -exec cp {} "$merged"/ \;
    ls "$merged" >"$build/fuzz/merge/$name.known"
    if "$program" -merge=1 -use_counters=0 "$merged" "$corpus" "$committed" >"$log.merge" 2>&1; then
      find "$committed" -type f ! -name '.*' -delete
      ls "$merged" | grep -vxF -f "$build/fuzz/merge/$name.known" |
        while read -r file; do cp "$merged/$file" "$committed/"; done
      echo "   fuzz/corpus/$name: $(find "$committed" -type f ! -name '.*' | wc -l) inputs," \
        "$(find "$committed" -type f ! -name '.*' -exec cat {} + | wc -c) bytes"
    else
      echo "!! $name: the merge failed; the log is $log.merge"
      failed=1
    fi
  fi
  return $failed
}

# The targets run side by side, as many at a time as there are processors (TVX_FUZZ_JOBS sets
# it), each for its own time; their reports follow in the targets' order.
jobs_at_most=${TVX_FUZZ_JOBS:-$(nproc)}
reports=$build/fuzz/reports
rm -rf "$reports" && mkdir -p "$reports"
names=()
for entry in "${selected[@]}"; do
  name=${entry%% *}
  names+=("$name")
  (run_target "$entry" >"$reports/$name.txt" 2>&1; echo $? >"$reports/$name.status") &
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_at_most" ]; do wait -n; done
done
wait
failed=()
for name in "${names[@]}"; do
  cat "$reports/$name.txt"
  [ "$(cat "$reports/$name.status")" = 0 ] || failed+=("$name")
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz.sh: findings in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz.sh: no findings in ${#selected[@]} targets"
