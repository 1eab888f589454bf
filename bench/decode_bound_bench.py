#!/usr/bin/env python3
"""The cost of a decode at a wrong position in a large file: tvx decode and tvx explain on 1 GiB
of random bytes, where each control's decoder reads whatever the bytes say (texts and pictures
as long as the file).

  decode_bound_bench.py TVX PEAK_RSS DIR [--size BYTES] [--position N]

Makes a file of SIZE random bytes in DIR (removed afterwards) and runs, for every control:
`tvx decode` (output to /dev/null), `tvx explain --limit 5`, and for the first control also
`tvx explain` and `tvx explain --json` in full, each once, with its time, the bytes it wrote and
its peak resident memory (PEAK_RSS, bench/peak_rss.c). Target: every run at most 16 MiB, however
long the stream claims to be.
"""
import argparse
import os
import subprocess
import tempfile
import time

MIB = 1 << 20
CONTROLS = ["Agent", "ActiveXPlugin", "Calendar", "Adodc", "CommonDialog", "MSComm"]


def measure(peak_rss, command):
    """(seconds, bytes written to standard output, peak RSS in KiB, status)."""
    with tempfile.NamedTemporaryFile("r") as rss:
        start = time.perf_counter()
        process = subprocess.Popen([peak_rss, rss.name] + command, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL)
        written = 0
        while True:
            piece = process.stdout.read(1 << 20)
            if not piece:
                break
            written += len(piece)
        status = process.wait()
        seconds = time.perf_counter() - start
        text = rss.read().strip()
        return seconds, written, int(text) if text else 0, status


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tvx")
    parser.add_argument("peak_rss")
    parser.add_argument("directory")
    parser.add_argument("--size", type=int, default=1 << 30)
    parser.add_argument("--position", type=int, default=1000)
    args = parser.parse_args()
    path = os.path.join(args.directory, "wrong-position.bin")
    with open(path, "wb") as f:
        left = args.size
        while left > 0:
            chunk = os.urandom(min(left, 8 * MIB))
            f.write(chunk)
            left -= len(chunk)
    worst = 0
    print("(g) a decode at a wrong position in %.0f MiB of random bytes (position %d; target: "
          "at most 16 MiB each)" % (args.size / MIB, args.position))
    try:
        runs = []
        for control in CONTROLS:
            runs.append(["decode", control, path, str(args.position)])
            runs.append(["explain", control, path, str(args.position), "--limit", "5"])
        runs.append(["explain", CONTROLS[3], path, str(args.position)])
        runs.append(["explain", CONTROLS[3], path, str(args.position), "--json"])
        for command in runs:
            seconds, written, rss, status = measure(args.peak_rss, [args.tvx] + command)
            worst = max(worst, rss)
            print("    %-60s %7.2f s %9.1f MB out %6.1f MiB peak (status %d)"
                  % (" ".join(command[:2] + command[3:]), seconds, written / 1e6, rss / 1024,
                     status))
    finally:
        os.remove(path)
    print("    worst peak: %.1f MiB: %s" % (worst / 1024, "met" if worst <= 16 * 1024 else "MISSED"))


main()
