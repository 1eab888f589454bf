#!/usr/bin/env python3
"""Mutation check: does the test suite notice a one-line change to the code?

Collects every place in the folders given (framework/ and decoders/ by default; tools/tvx for
the tool, python/src for the Python module's C++ and python/tvx for its Python), in the code the
native build compiles or the package holds (tests and Windows files aside), where one of a few
small changes applies to a single line: a comparison or a logical, arithmetic or increment
operator turned into its neighbour, a whole number changed by one, true and false swapped, a
logical "not" dropped, break and continue swapped, or a statement line deleted (in Python:
replaced by `pass`; scripts/mutation_python.py). It samples some of them (the same ones for the
same seed and tree), and for each: applies it, rebuilds, runs the suite, and puts the line back.
A change that does not compile is counted apart; one that the suite fails on (or that makes it
run past the time limit) is caught; one it passes is missed. Prints each result and the share
caught, and writes them to <build>/mutation.tsv.

    scripts/mutation.sh [--count N] [--seed S] [--build DIR] [--list] [--only ID,...]
                        [--tests REGEX] [FOLDER...]

The suite is the folders' room's (ROOMS: for tools/tvx the tool's tests, the end-to-end tests
and the fuzz targets' replays; for python/ the Python tests), else the whole suite; the Windows
tests never run. --tests REGEX runs only the tests whose names match it (ctest -R) instead, to
save time: a change those catch the room's suite catches too, and a miss is worth running again
without it. --list prints the sampled changes without running anything; --only runs the given
sample numbers alone (to look at one again). The build goes to build-mutation/ (made here when
missing, without the Windows tests, with the Python module when a folder is under python/); the
source tree is changed while this runs and put back line by line, also when it is stopped with
Ctrl-C.
"""

import argparse
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

import mutation_python

ROOT = Path(__file__).resolve().parent.parent

# Operators replaced where they stand between blanks, as the code is formatted: a binary
# operator, not a template's angle bracket, a pointer's arrow or a unary sign.
BINARY = {
    "<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==",
    "&&": "||", "||": "&&", "+": "-", "-": "+", "*": "/", "/": "*", "+=": "-=", "-=": "+=",
}


# A line that declares something (two or more words before the name: "const auto n = ...;",
# "std::string text;"): deleting it would not compile. "return x;" is a statement.
DECLARATION = re.compile(r"^(?!return\b|delete\b|throw\b|else\b)(?:[\w:]+(?:<[^;=]*>)?[*&]?\s+)+"
                         r"[*&]?\w+(?:\[[^]]*\])?\s*(?:=|;|\{|\()")


DEFAULT_FOLDERS = ("framework/src", "framework/include", "decoders")
# The tests that can see a change in a room's folders (ctest's labels); other folders get the
# whole suite.
ROOMS = {"tools/tvx": "^(tvx|e2e|fuzz)$", "python": "^python$"}


def room_labels(folders):
    """The labels of the one room every folder lies in, or None."""
    rooms = {next((r for r in ROOMS if (f.rstrip("/") + "/").startswith(r + "/")), None)
             for f in folders}
    return ROOMS[rooms.pop()] if len(rooms) == 1 and None not in rooms else None


def sources(folders=DEFAULT_FOLDERS):
    files = []
    for folder in folders:
        for path in sorted((ROOT / folder).rglob("*")):
            if path.suffix not in (".cpp", ".h", ".py"):
                continue
            parts = path.relative_to(ROOT).parts
            if "tests" in parts or "win32" in parts or path.stem.endswith("_win32"):
                continue
            files.append(path)
    return files


def masked(line):
    """The line with string and character literals and a // comment blanked out."""
    out = []
    i = 0
    quote = None
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            if c == quote:
                quote = None
            out.append(" " if c != '"' and c != "'" else c)
        elif c in "\"'":
            # A digit separator (1'000) is no character literal; the code has none.
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out).ljust(len(line))


def sites(path):
    """(line number, column, old text, new text, kind) for every change that applies."""
    if path.suffix == ".py":
        return mutation_python.sites(path)
    found = []
    in_comment = False
    lines = path.read_text().split("\n")
    for number, line in enumerate(lines, 1):
        text = line.strip()
        if in_comment:
            if "*/" in text:
                in_comment = False
            continue
        if text.startswith("/*"):
            in_comment = "*/" not in text
            continue
        if not text or text.startswith("//") or text.startswith("#"):
            continue
        code = masked(line)
        for m in re.finditer(r"(?<= )(<=|>=|==|!=|&&|\|\||\+=|-=|<|>|\+|-|\*|/)(?= )", code):
            op = m.group(1)
            found.append((number, m.start(), op, BINARY[op], "operator"))
        for m in re.finditer(r"(\+\+|--)", code):
            found.append((number, m.start(), m.group(1), "--" if m.group(1) == "++" else "++",
                          "increment"))
        for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.'])", code):
            value = int(m.group(1))
            found.append((number, m.start(), m.group(1), str(value - 1 if value else 1), "number"))
        for m in re.finditer(r"\b(true|false)\b", code):
            found.append((number, m.start(), m.group(1),
                          "false" if m.group(1) == "true" else "true", "boolean"))
        for m in re.finditer(r"!(?!=)", code):
            found.append((number, m.start(), "!", "", "negation"))
        for m in re.finditer(r"\b(break|continue);", code):
            found.append((number, m.start(), m.group(1),
                          "continue" if m.group(1) == "break" else "break", "jump"))
        stripped = code.strip()
        if (stripped.endswith(";") and not stripped.startswith(("}", "case ", "default"))
                and stripped.count("(") == stripped.count(")") and "{" not in stripped
                and not DECLARATION.match(stripped)):
            found.append((number, 0, line, "", "deletion"))
    return found


def sample(count, seed, folders):
    everything = []
    for path in sources(folders):
        for site in sites(path):
            everything.append((path,) + site)
    rng = random.Random(seed)
    chosen = rng.sample(everything, min(count, len(everything)))
    chosen.sort(key=lambda s: (str(s[0]), s[1], s[2]))
    return everything, chosen


def describe(mutant):
    path, number, column, old, new, kind = mutant
    where = f"{path.relative_to(ROOT)}:{number}"
    if kind == "deletion":
        return f"{where} delete: {old.strip()}"
    return f"{where} {kind}: '{old}' -> '{new}'"


def apply(mutant):
    """Changes the file; returns its original text."""
    path, number, column, old, new, kind = mutant
    original = path.read_text()
    lines = original.split("\n")
    line = lines[number - 1]
    if kind == "deletion":
        lines[number - 1] = new
    else:
        assert line[column:column + len(old)] == old, (line, column, old)
        lines[number - 1] = line[:column] + new + line[column + len(old):]
    path.write_text("\n".join(lines))
    return original


def run(command, log, limit):
    """Exit status of the command, or None past the time limit (its process group killed)."""
    with open(log, "w") as out:
        process = subprocess.Popen(command, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        try:
            return process.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--count", type=int, default=100)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--build", default=str(ROOT / "build-mutation"))
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--only", default="")
    parser.add_argument("--tests", default="",
                        help="run only the tests whose names match (ctest -R)")
    parser.add_argument("folders", nargs="*", default=list(DEFAULT_FOLDERS),
                        help="the folders to change, from the top of the tree")
    args = parser.parse_args()

    everything, chosen = sample(args.count, args.seed, args.folders)
    print(f"{len(everything)} possible one-line changes in {len(sources(args.folders))} files; "
          f"{len(chosen)} sampled (seed {args.seed})")
    numbered = list(enumerate(chosen, 1))
    if args.only:
        wanted = {int(n) for n in args.only.split(",")}
        numbered = [(n, m) for n, m in numbered if n in wanted]
    if args.list:
        for n, mutant in numbered:
            print(f"{n:3} {describe(mutant)}")
        return 0

    build = Path(args.build)
    build.mkdir(parents=True, exist_ok=True)
    python = any(Path(f).parts[:1] == ("python",) for f in args.folders)
    cache = build / "CMakeCache.txt"
    if not cache.exists() or (python and "TVX_PYTHON:BOOL=ON" not in cache.read_text()):
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja",
                        "-DTVX_WINDOWS_TESTS=OFF"] + (["-DTVX_PYTHON=ON"] if python else []),
                       check=True, stdout=subprocess.DEVNULL)
    build_command = ["cmake", "--build", str(build), "-j2"]
    test_command = ["ctest", "--test-dir", str(build), "-j2", "--stop-on-failure",
                    "-E", r"^windows\."]
    labels = room_labels(args.folders)
    if args.tests:
        test_command += ["-R", args.tests]
    elif labels:
        test_command += ["-L", labels]
    print("tests: " + (f"named {args.tests}" if args.tests else
                       f"labelled {labels}" if labels else "all but the Windows ones"))
    logs = build / "mutation-logs"
    logs.mkdir(exist_ok=True)

    # The suite must pass on the tree as it is, and its time sets each mutant's limit.
    print("Building and running the suite on the unchanged tree ...", flush=True)
    if run(build_command, logs / "base-build.log", 3600) != 0:
        print(f"the unchanged tree does not build: {logs / 'base-build.log'}")
        return 1
    start = time.monotonic()
    if run(test_command, logs / "base-test.log", 3600) != 0:
        print(f"the suite fails on the unchanged tree: {logs / 'base-test.log'}")
        return 1
    base = time.monotonic() - start
    limit = max(120.0, 3 * base)
    print(f"suite: {base:.0f} s; a mutant's run is stopped after {limit:.0f} s", flush=True)

    stop = []
    signal.signal(signal.SIGINT, lambda *_: stop.append(True))
    results = []
    table = open(build / "mutation.tsv", "w")
    table.write("n\tresult\tseconds\tchange\n")
    for n, mutant in numbered:
        if stop:
            break
        began = time.monotonic()
        original = apply(mutant)
        try:
            if mutant[0].suffix == ".py" and not mutation_python.compiles(
                    mutant[0].read_text(), mutant[0]):
                result = "does not compile"
            elif run(build_command, logs / f"{n}-build.log", 1800) != 0:
                result = "does not compile"
            else:
                status = run(test_command, logs / f"{n}-test.log", limit)
                result = "missed" if status == 0 else "caught" if status else "caught (time)"
        finally:
            mutant[0].write_text(original)
        seconds = time.monotonic() - began
        results.append(result)
        line = f"{n:3} {result:17} {seconds:5.0f} s  {describe(mutant)}"
        print(line, flush=True)
        table.write(f"{n}\t{result}\t{seconds:.0f}\t{describe(mutant)}\n")
        table.flush()
    table.close()
    run(build_command, logs / "restore-build.log", 3600)  # the build as the tree is again

    compiled = [r for r in results if r != "does not compile"]
    caught = [r for r in compiled if r.startswith("caught")]
    print(f"\n{len(results)} changes, {len(compiled)} compiled: caught {len(caught)}, "
          f"missed {len(compiled) - len(caught)}"
          + (f" ({100 * len(caught) / len(compiled):.0f} % caught)" if compiled else ""))
    for (n, mutant), result in zip(numbered, results):
        if result == "missed":
            print(f"  missed {n:3} {describe(mutant)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
