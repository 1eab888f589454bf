#!/usr/bin/env python3
"""The cost of the Python module against the command and the in-process decode, in the same run.

  python_bench.py BUILD DIR [--size BYTES] [--files N] [--records N] [--rounds N]

BUILD is a build with the module (-DTVX_PYTHON=ON) for this interpreter, tvx, the samples and
bench/tvx_bench_decode. Makes in DIR (and removes afterwards) a file of SIZE random bytes holding
a control record in every MiB, a file of N control records back to back, and a collection of
--files small programs (as scan_bench.py makes it), then measures, with the page cache warm:
  - scan: `for record in tvx.scan(PATH)` in this process against `tvx scan --json -q PATH`
    written to /dev/null (its start included), best of ROUNDS each, interleaved; target: the
    module at most 1.2x the command;
  - decode: `tvx.decode(CONTROL, data=BYTES, position=P)` per sample against tvx's own decode in
    a C++ program (tvx_core's DecodeWhole on the same bytes: core_decode/ of tvx_bench_decode),
    and the same by path against core_decode_file/; target: the module at most 2x the
    in-process decode plus the call (a call from Python into the module and back, measured as
    `tvx._tvx.control(NAME)`).
"""
import argparse
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import timeit

MIB = 1 << 20


def record(name, class_name, stream=b""):
    return (len(name).to_bytes(2, "little") + name + b"\0\xff" +
            len(class_name).to_bytes(2, "little") + class_name + b"\0" + stream)


def write_files(directory, size, records, files):
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    from scan_bench import write_collection

    rng = random.Random(28)
    head = b"MZ" + bytes(58) + (64).to_bytes(4, "little") + b"PE\0\0"
    sparse = os.path.join(directory, "random-with-records.bin")
    piece = head + rng.randbytes(2000) + record(b"Agent1", b"AgentObjectsCtl.Agent", b"\x2d")
    piece += rng.randbytes(MIB - len(piece))
    with open(sparse, "wb") as f:
        for _ in range(size // MIB):
            f.write(piece)
    dense = os.path.join(directory, "records.bin")
    with open(dense, "wb") as f:
        f.write(head + record(b"Comm1", b"MSCommLib.MSComm") * records)
    collection = os.path.join(directory, "collection")
    write_collection(collection, files)
    return [("1 record per MiB, %d MiB" % (size // MIB), sparse),
            ("%d records back to back" % records, dense),
            ("%d small files" % files, collection)]


def command_seconds(tvx, path):
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        subprocess.run([tvx, "scan", "--json", "-q", path], stdout=null, check=True)
        return time.perf_counter() - start


def module_seconds(tvx_module, path):
    start = time.perf_counter()
    count = 0
    for _ in tvx_module.scan(path):
        count += 1
    return time.perf_counter() - start, count


def per_call(function, rounds):
    """The best time of one call, in seconds."""
    timer = timeit.Timer(function)
    number, _ = timer.autorange()
    return min(timer.repeat(rounds, number)) / number


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("dir")
    parser.add_argument("--size", type=int, default=1 << 30)
    parser.add_argument("--records", type=int, default=2_000_000)
    parser.add_argument("--files", type=int, default=10_000)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    sys.path.insert(0, os.path.join(args.build, "python"))
    import tvx

    tvx_program = os.path.join(args.build, "bin", "tvx")
    samples_dir = os.path.join(args.build, "samples")

    print("(h) the Python module, tvx %s on Python %s" % (tvx.__version__, sys.version.split()[0]))
    print("    scan: the module in this process / tvx scan --json (target: at most 1.2x)")
    work = tempfile.mkdtemp(prefix="tvx-python-bench-", dir=args.dir)
    try:
        inputs = write_files(work, args.size, args.records, args.files)
        for title, path in inputs:
            command_seconds(tvx_program, path)  # the page cache warm
            commands, modules = [], []
            for _ in range(args.rounds):
                commands.append(command_seconds(tvx_program, path))
                seconds, count = module_seconds(tvx, path)
                modules.append(seconds)
            ratio = min(modules) / min(commands)
            print("    %-34s %8.3f s / %8.3f s = %.2f  %s  (%d records)" % (
                title, min(modules), min(commands), ratio, "met" if ratio <= 1.2 else "MISSED",
                count))
    finally:
        shutil.rmtree(work)

    out = subprocess.run([os.path.join(args.build, "bench", "tvx_bench_decode"), samples_dir,
                          "--benchmark_filter=core_decode", "--benchmark_min_time=0.5",
                          "--benchmark_format=json"], capture_output=True, text=True, check=True)
    in_process = {b["name"]: b["real_time"] * 1e-9 for b in json.loads(out.stdout)["benchmarks"]}
    call = per_call(lambda: tvx._tvx.control("agent"), 5)
    print("    decode of each sample, per call: the module / tvx_core's decode in C++ "
          "(target: at most 2x that plus the call, %.2f us)" % (call * 1e6))
    for line in open(os.path.join(samples_dir, "samples.txt")):
        words = line.split()
        if len(words) != 3 or line.startswith("#"):
            continue
        deliverable, file, position = words[0], os.path.join(samples_dir, words[1]), int(words[2])
        data = open(file, "rb").read()
        for how, name, function in (
                ("memory", "core_decode/", lambda: tvx.decode(deliverable, data=data,
                                                             position=position)),
                ("by path", "core_decode_file/", lambda: tvx.decode(deliverable, file, position))):
            module = per_call(function, 5)
            core = in_process[name + deliverable]
            target = 2 * core + call
            print("    %-20s %-8s %7.2f us / %7.2f us = %.2f  %s" % (
                deliverable, how, module * 1e6, core * 1e6, module / core,
                "met" if module <= target else "MISSED"))


if __name__ == "__main__":
    main()
