#!/usr/bin/env python3
"""The cost of the decoded record (typed properties, one decode per output) beside a build from
before it, in the same run.

  record_bench.py BASELINE_BUILD BUILD [--files N] [--rounds N]

Both builds hold tvx, the samples and the Python module (-DTVX_PYTHON=ON). Measures, with the
page cache warm and the two interleaved:
  - `tvx scan --decode --json -q DIR` on a folder of N copies of the example program (six
    records each, one of every control): target, the build at most 1.2x the baseline;
  - `tvx.decode(CONTROL, data=BYTES, position=P)` of each sample in a Python process of each
    build, with its properties made (`.properties`) and without: target, the build's decode at
    most 1.5x the baseline's.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

DECODE = r"""
import sys, timeit
import tvx
samples = [l.split() for l in open(sys.argv[1]) if l.strip() and not l.startswith('#')]
for deliverable, name, position in samples:
    data = open(sys.argv[2] + '/' + name, 'rb').read()
    call = lambda: tvx.decode(deliverable, data=data, position=int(position))
    typed = (lambda: call().properties) if hasattr(tvx.Decoded, 'properties') else call
    for label, f in (('decode', call), ('decode+properties', typed)):
        t = timeit.Timer(f)
        n, _ = t.autorange()
        print(deliverable, label, min(t.repeat(int(sys.argv[3]), n)) / n)
"""


def scan_seconds(tvx, folder):
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        subprocess.run([tvx, "scan", "--decode", "--json", "-q", folder], stdout=null, check=True)
        return time.perf_counter() - start


def decode_times(build, rounds):
    samples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "samples",
                           "samples.txt")
    env = dict(os.environ, PYTHONPATH=os.path.join(build, "python"))
    out = subprocess.run([sys.executable, "-c", DECODE, samples, os.path.join(build, "samples"),
                          str(rounds)], env=env, check=True, capture_output=True, text=True)
    times = {}
    for line in out.stdout.splitlines():
        deliverable, label, seconds = line.split()
        times[(deliverable, label)] = float(seconds)
    return times


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("baseline")
    parser.add_argument("build")
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    folder = tempfile.mkdtemp()
    try:
        example = os.path.join(args.build, "samples", "example.exe")
        for i in range(args.files):
            shutil.copyfile(example, os.path.join(folder, "program%05d.exe" % i))
        best = {"baseline": float("inf"), "build": float("inf")}
        for _ in range(args.rounds):
            for name in best:
                tvx = os.path.join(getattr(args, name), "bin", "tvx")
                best[name] = min(best[name], scan_seconds(tvx, folder))
        ratio = best["build"] / best["baseline"]
        print("scan --decode --json, %d programs: baseline %.3f s, build %.3f s, ratio %.2f (%s)"
              % (args.files, best["baseline"], best["build"], ratio,
                 "met" if ratio <= 1.2 else "MISSED, target 1.2"))
        before = decode_times(args.baseline, args.rounds)
        after = decode_times(args.build, args.rounds)
        for (deliverable, label), seconds in sorted(after.items()):
            base = before[(deliverable, "decode")]
            ratio = seconds / base
            target = "" if label != "decode" else (
                " (met)" if ratio <= 1.5 else " (MISSED, target 1.5)")
            print("python %-20s %-18s baseline %.1f us, build %.1f us, ratio %.2f%s"
                  % (deliverable, label, base * 1e6, seconds * 1e6, ratio, target))
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
