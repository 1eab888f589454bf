#!/usr/bin/env bash
# Builds the six plug-ins and tvx (nothing else), then runs each plug-in on its bundled sample
# program file through its exchange channel and shows the listing and the property block it wrote.
# Uses the build folder build/ as the plain build does, with whatever generator it was made with.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
build=build
generator=()
if [[ ! -f $build/CMakeCache.txt ]] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
mkdir -p "$build"
log=$build/demo-build.log
echo "demo: building the plug-ins and tvx in $build/ (the log: $log)"
started=$SECONDS
show_progress() {
  # One line that counts the build's steps on a terminal; nothing when piped.
  local line
  while IFS= read -r line; do
    if [[ -t 1 && $line =~ ^\[\ *([0-9]+)(/([0-9]+))?%?\] ]]; then
      printf '\r  building: %s%s ' "${BASH_REMATCH[1]}" "${BASH_REMATCH[3]:+ of ${BASH_REMATCH[3]}}"
      [[ -n ${BASH_REMATCH[3]} ]] || printf '%%'
    fi
  done
  [[ -t 1 ]] && printf '\r%40s\r' '' || true
}
set +e
{ cmake -S . -B "$build" "${generator[@]}" && cmake --build "$build" --target tvx_demo; } 2>&1 |
  tee "$log" | show_progress
status=${PIPESTATUS[0]}
set -e
if ((status != 0)); then
  tail -n 30 "$log" >&2
  echo "demo: the build failed (the whole log: $log)" >&2
  exit 1
fi
echo "demo: built in $((SECONDS - started)) s"
python3 tools/demo.py "$build"
