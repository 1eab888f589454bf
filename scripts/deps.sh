#!/usr/bin/env bash
# Installs what the build and the tests need, where it is missing (Debian packages).
#   scripts/deps.sh build    compiler, CMake, Ninja, GoogleTest, nlohmann/json (tvx), Python 3
#                            with its headers and pybind11 (the Python module, python/)
#   scripts/deps.sh python   the above, plus pytest and venv for the Python module's tests
#   scripts/deps.sh quick    the above, plus chromium for the HTML report's browser test and
#                            python3-jsonschema for the JSON schema test (scripts/test.sh quick)
#   scripts/deps.sh test     the above, plus clang's fuzzer and sanitizer runtimes, Google
#                            Benchmark, mingw-w64, Wine and Xvfb for the Windows tests, pandas for
#                            the Python recipe that makes a table of properties, and the
#                            Wine 10 root that runs the 32-bit Windows programs (below)
#   scripts/deps.sh coverage the build's, plus clang, its profile runtime and the LLVM tools
#                            that merge profiles and report coverage
#
# The Wine 10 root: Debian 12's Wine (8.0) runs the 64-bit Windows programs, but its 32-bit half
# needs a kernel that starts 32-bit Linux programs, and its WoW64 mode draws no text box. Debian
# 13's Wine 10 runs 32-bit Windows code inside a 64-bit process (WoW64), so a minimal Debian 13
# system is made in a folder of its own (TVX_WINE_ROOT, default /var/cache/tvx-plugins/wine10,
# about 1.8 GB, a few minutes, once per machine) with wine64 and fonts-wine, and the i386 Windows
# DLLs of the same version's libwine:i386 (PE files only) beside the 64-bit ones. The tests run
# Wine from it with its /usr and /etc bind-mounted over the host's in a private mount namespace
# (tests/windows/wine10.sh). The host's own Wine stays as it is; Debian's wine32 is never
# installed (it would replace the 64-bit loader with one that this kernel cannot start). The root
# is made only on a machine that runs 32-bit x86 code at all (tests/windows/x86_32_probe.cpp).
set -euo pipefail
mode=${1:-build}
need=()
want() { dpkg -s "$1" >/dev/null 2>&1 || need+=("$1"); }
for p in g++ cmake ninja-build libgtest-dev nlohmann-json3-dev python3 python3-dev pybind11-dev; do
  want "$p"
done
if [[ $mode == test || $mode == quick || $mode == python ]]; then
  for p in python3-pytest python3-venv; do want "$p"; done
fi
if [[ $mode == test || $mode == quick ]]; then
  for p in chromium python3-jsonschema; do want "$p"; done
fi
if [[ $mode == test ]]; then
  for p in clang-14 libclang-rt-14-dev libbenchmark-dev mingw-w64 wine64 xvfb python3-pandas; do
    want "$p"
  done
fi
if [[ $mode == coverage ]]; then
  for p in clang-14 libclang-rt-14-dev llvm-14; do want "$p"; done
fi
wine_root=${TVX_WINE_ROOT:-/var/cache/tvx-plugins/wine10}
ready=$wine_root/.tvx-wine-root
if [[ $mode == test && ! -f $ready ]]; then want debootstrap; fi
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
if [[ $mode != test || -f $ready ]]; then exit 0; fi

# Only where 32-bit x86 code runs at all: some virtual machines give their processes no 32-bit
# code segment, and there no Wine runs a 32-bit program (the tests then say so and skip those).
probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
g++ -std=c++20 -O1 -o "$probe_dir/probe" "$(dirname "$0")/../tests/windows/x86_32_probe.cpp"
if ! "$probe_dir/probe"; then
  echo "No Wine 10 root: the 32-bit Windows programs are checked, not run, on this machine."
  exit 0
fi
if [[ $(id -u) -ne 0 ]]; then
  echo "Missing: the Wine 10 root $wine_root for the 32-bit Windows tests (run" \
    "scripts/deps.sh test as root once to make it)" >&2
  exit 1
fi
echo "Making the Wine 10 root $wine_root (Debian 13, once per machine)"
# The Debian mirror this machine's apt uses: the archive (not its security or updates suites) in
# /etc/apt/sources.list.d/*.sources (deb822: URIs and Suites), else /etc/apt/sources.list.
mirror=$(
  awk '/^URIs:/ { uri = $2 } /^Suites:/ { for (i = 2; i <= NF; i++) if ($i !~ /-/) { print uri; exit } }' \
    /etc/apt/sources.list.d/*.sources 2>/dev/null
  awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /\]$/) break;
         if ($(i + 1) !~ /-/) { print $i; exit } }' /etc/apt/sources.list 2>/dev/null
)
mirror=${mirror%%$'\n'*}
if [[ -z $mirror ]]; then
  echo "deps.sh: no Debian archive in this machine's apt sources to make the Wine 10 root from" >&2
  exit 1
fi
new=$wine_root.new
rm -rf "$new"
mkdir -p "$new"
log=$wine_root.log
if ! debootstrap --variant=minbase trixie "$new" "$mirror" >"$log" 2>&1; then
  tail -20 "$log" >&2
  echo "debootstrap of Debian 13 into $new failed (whole log: $log)" >&2
  exit 1
fi
# Commands inside the new system, with /proc and /dev mounted in a namespace of their own (gone
# with it).
inside() {
  unshare -m sh -c 'mount -t proc proc "$0/proc" && mount --rbind /dev "$0/dev" &&
    exec chroot "$0" env DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@"' "$new" "$@"
}
{
  inside apt-get update
  inside apt-get install -y --no-install-recommends wine64 fonts-wine
  inside dpkg --add-architecture i386
  inside apt-get update
  inside sh -c 'cd /tmp && apt-get download "libwine:i386=$(dpkg-query -f "\${Version}" \
    -W libwine:amd64)" && dpkg-deb -x libwine_*_i386.deb /tmp/libwine32 &&
    mkdir -p /usr/lib/x86_64-linux-gnu/wine/i386-windows &&
    cp -a /tmp/libwine32/usr/lib/i386-linux-gnu/wine/i386-windows/. \
      /usr/lib/x86_64-linux-gnu/wine/i386-windows/ &&
    rm -rf /tmp/libwine32 libwine_*_i386.deb'
  inside apt-get clean
} >>"$log" 2>&1 || {
  tail -20 "$log" >&2
  echo "installing Wine 10 into $new failed (whole log: $log)" >&2
  exit 1
}
inside dpkg-query -f '${Version}\n' -W libwine:amd64 >"$new/.tvx-wine-root"
rm -rf "$wine_root"
mv "$new" "$wine_root"
echo "Wine 10 root ready: $wine_root ($(du -sh "$wine_root" | cut -f1))"
