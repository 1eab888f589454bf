#!/usr/bin/env python3
"""The scan benchmark: tvx scan against cat on the same bytes, in the same run.

  scan_bench.py TVX PEAK_RSS DIR [--size BYTES] [--files N] [--jobs N] [--rounds N]
                [--baseline TVX]

Makes in DIR (and removes afterwards) four files of SIZE bytes (random bytes, zero bytes, 0xFF
bytes and plain text), an 8 GiB sparse file and a collection of N small files in nested folders,
then measures, with the page cache warm:
  - each content: `tvx scan -q FILE` against `cat FILE > /dev/null` (best of ROUNDS each,
    interleaved), target at most 2x cat;
  - the sparse file: target under 10 s;
  - standard input: `cat FILE | tvx scan -q -`, for its memory;
  - the collection: `tvx scan -q -j 1 DIR` and `-j N` against
    `find DIR -type f -exec cat {} + > /dev/null`, in files per second;
  - the peak resident memory of each tvx run (PEAK_RSS, bench/peak_rss.c, reports it), target
    at most 16 MiB.
A BASELINE tvx (an earlier build, which takes one FILE and has no -q) is measured on the same
files where it can be: the collection through `find DIR -type f -exec BASELINE scan {} ;`.
"""
import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

GIB = 1 << 30
MIB = 1 << 20
PEAK_RSS = "tvx_peak_rss"  # replaced by --peak-rss


def run(command, stdin_from=None, timeout=None):
    """Runs `command` (stdout and stderr to /dev/null) through tvx_peak_rss; returns (seconds or
    None after the timeout, peak RSS in KiB, status). With `stdin_from`, the command reads the
    output of `cat stdin_from`."""
    with open(os.devnull, "wb") as null, tempfile.NamedTemporaryFile("r") as rss:
        start = time.perf_counter()
        feeder = None
        stdin = subprocess.DEVNULL
        if stdin_from is not None:
            feeder = subprocess.Popen(["cat", stdin_from], stdout=subprocess.PIPE)
            stdin = feeder.stdout
        process = subprocess.Popen([PEAK_RSS, rss.name] + command, stdin=stdin, stdout=null,
                                   stderr=null, start_new_session=True)
        if feeder is not None:
            feeder.stdout.close()
        try:
            status = process.wait(timeout)
            seconds = time.perf_counter() - start
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            status = process.wait()
            seconds = None
        if feeder is not None:
            feeder.kill()
            feeder.wait()
        text = rss.read().strip()
        return seconds, int(text) if text else 0, status


def shell_seconds(script):
    start = time.perf_counter()
    subprocess.run(["/bin/sh", "-c", script], check=True)
    return time.perf_counter() - start


def write_contents(directory, size):
    paths = {}
    piece = MIB
    text_line = (b"Private Sub Command1_Click() ' the quick brown fox jumps over the lazy dog, "
                 b"0123456789\r\n")
    makers = {
        "random": lambda: os.urandom(piece),
        "zero": lambda: bytes(piece),
        "0xFF": lambda: b"\xff" * piece,
        "text": lambda: (text_line * (piece // len(text_line) + 1))[:piece],
    }
    for name, make in makers.items():
        path = os.path.join(directory, name + ".bin")
        with open(path, "wb") as f:
            left = size
            while left > 0:
                chunk = make()[:left]
                f.write(chunk)
                left -= len(chunk)
        paths[name] = path
    sparse = os.path.join(directory, "sparse.bin")
    with open(sparse, "wb") as f:
        f.truncate(8 * GIB)
    paths["sparse 8 GiB"] = sparse
    return paths


def write_collection(directory, count):
    """`count` files of 1 to 32 KiB, 100 to a folder, in folders two deep; each begins with an
    MZ and PE header and holds one control record."""
    rng = random.Random(22)
    head = b"MZ" + bytes(58) + (64).to_bytes(4, "little") + b"PE\0\0"
    record = b"\x06\x00Agent1\x00\xff\x15\x00AgentObjectsCtl.Agent\x00\x2d"
    total = 0
    for i in range(count):
        folder = os.path.join(directory, "%02d" % (i // 1000), "%02d" % (i // 100 % 10))
        os.makedirs(folder, exist_ok=True)
        body = rng.randbytes(rng.randint(1024, 32 * 1024))
        data = head + body[: len(body) // 2] + record + body[len(body) // 2:]
        with open(os.path.join(folder, "%05d.exe" % i), "wb") as f:
            f.write(data)
        total += len(data)
    return total


def best(values):
    values = [v for v in values if v is not None]
    return min(values) if values else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tvx")
    parser.add_argument("peak_rss")
    parser.add_argument("dir")
    parser.add_argument("--size", type=int, default=GIB)
    parser.add_argument("--files", type=int, default=10000)
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--baseline")
    parser.add_argument("--baseline-timeout", type=float, default=300)
    args = parser.parse_args()
    global PEAK_RSS
    PEAK_RSS = args.peak_rss

    os.makedirs(args.dir, exist_ok=True)
    work = os.path.join(args.dir, "scan-bench")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    try:
        paths = write_contents(work, args.size)
        collection = os.path.join(work, "collection")
        collection_bytes = write_collection(collection, args.files)
        subprocess.run(["sync"], check=False)
        programs = [("tvx", args.tvx, ["-q"])]
        if args.baseline:
            programs.append(("before", args.baseline, []))
        print("scan benchmark: %s bytes per content, best of %d rounds, %d processors"
              % (format(args.size, ","), args.rounds, os.cpu_count() or 1))
        print("%-8s %-14s %9s %9s %8s %10s %12s  %s" % ("program", "input", "scan s", "cat s",
                                                       "scan/cat", "GB/s", "peak RSS", "target"))
        rss_worst = 0
        for name, path in paths.items():
            shell_seconds('cat "%s" > /dev/null' % path)  # into the page cache
            for label, program, quiet in programs:
                scans, cats, rss = [], [], 0
                timeout = args.baseline_timeout if label == "before" else None
                for _ in range(args.rounds if name != "sparse 8 GiB" or label == "tvx" else 1):
                    cats.append(shell_seconds('cat "%s" > /dev/null' % path))
                    seconds, peak, status = run([program, "scan"] + quiet + [path],
                                                timeout=timeout)
                    scans.append(seconds)
                    rss = max(rss, peak)
                    if seconds is None:
                        break
                scan, cat = best(scans), best(cats)
                size = os.path.getsize(path)
                if name == "sparse 8 GiB":
                    target = "under 10 s: " + ("met" if scan is not None and scan < 10 else
                                               "MISSED")
                else:
                    target = "at most 2x cat: " + ("met" if scan is not None and scan <= 2 * cat
                                                   else "MISSED")
                if label == "tvx":
                    rss_worst = max(rss_worst, rss)
                print("%-8s %-14s %9s %9.3f %8s %10s %9.1f MiB  %s" % (
                    label, name, "%.3f" % scan if scan else "> %.0f" % timeout, cat,
                    "%.2f" % (scan / cat) if scan else "-",
                    "%.2f" % (size / scan / 1e9) if scan else "-", rss / 1024,
                    target if label == "tvx" else ""))
        # Standard input, streamed; against the pipe itself, `cat FILE | cat > /dev/null`.
        seconds = best(run(["cat"], stdin_from=paths["random"])[0] for _ in range(args.rounds))
        print("%-8s %-14s %9.3f %9s %8s %10.2f" % ("cat", "stdin (random)", seconds, "", "",
                                                  args.size / seconds / 1e9))
        for label, program, quiet in programs:
            results = [run([program, "scan"] + quiet + ["-"], stdin_from=paths["random"])
                       for _ in range(args.rounds if label == "tvx" else 1)]
            seconds, peak = best(r[0] for r in results), max(r[1] for r in results)
            if label == "tvx":
                rss_worst = max(rss_worst, peak)
            print("%-8s %-14s %9.3f %9s %8s %10.2f %9.1f MiB" % (
                label, "stdin (random)", seconds, "", "", args.size / seconds / 1e9, peak / 1024))
        # The collection.
        shell_seconds('find "%s" -type f -exec cat {} + > /dev/null' % collection)
        finds = [shell_seconds('find "%s" -type f -exec cat {} + > /dev/null' % collection)
                 for _ in range(args.rounds)]
        find = best(finds)
        print("\ncollection: %d files, %s bytes; find -exec cat: %.3f s (%.0f files/s)"
              % (args.files, format(collection_bytes, ","), find, args.files / find))
        runs = [("tvx", [args.tvx, "scan", "-q", "-j", "1", collection], "-j 1"),
                ("tvx", [args.tvx, "scan", "-q", "-j", str(args.jobs), collection],
                 "-j %d" % args.jobs)]
        if args.baseline:
            runs.append(("before", ["find", collection, "-type", "f", "-exec", args.baseline,
                                    "scan", "{}", ";"], "one run per file"))
        for label, command, how in runs:
            results = [run(command) for _ in range(args.rounds if label == "tvx" else 1)]
            seconds = best(r[0] for r in results)
            peak = max(r[1] for r in results)
            if label == "tvx":
                rss_worst = max(rss_worst, peak)
            print("%-8s %-18s %8.3f s %9.0f files/s  %5.2fx find  peak RSS %.1f MiB" % (
                label, how, seconds, args.files / seconds, seconds / find, peak / 1024))
        print("\npeak resident memory of tvx, worst of all runs: %.1f MiB (target at most 16 MiB:"
              " %s)" % (rss_worst / 1024, "met" if rss_worst <= 16 * 1024 else "MISSED"))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
