#!/usr/bin/env python3
"""Line and branch coverage of the product, per file, from a coverage build's merged profile.

    coverage_report.py ROOT BUILD PROFDATA

Reports every source file of framework/ and decoders/ (their tests and the test support aside;
framework/src/win32 is not built here) in three areas: framework, platform (framework/src/posix)
and decoders. Writes BUILD/html/index.html. Exits with 1 when a line of the framework or the
decoders is not reached and not listed in docs/reliability.md as one that cannot be (an entry
"`path:line`" or "`path:first-last`" in its section "Lines no test reaches"), or when a listed
line is reached after all; the platform's unreached lines are listed for information.

llvm-cov warns of functions with mismatched data: one name with other code in several programs
(each plug-in's main, each fuzz target's entry point, a few library templates), never a function
of the product's files, each of which is compiled once.
"""
import json
import os
import re
import subprocess
import sys

LLVM_COV = "llvm-cov-14"
SECTION = "## Lines no test reaches"
SKIPPED = re.compile(r"/(tests|testing|win32)/")


def programs(build):
    """The instrumented programs the tests run: every ELF executable of the build but the
    benchmarks, which the tests do not run."""
    found = []
    for folder, dirs, files in os.walk(build):
        dirs[:] = [d for d in dirs if d not in ("CMakeFiles", "bench", "profiles", "html")]
        for name in files:
            path = os.path.join(folder, name)
            if os.access(path, os.X_OK):
                with open(path, "rb") as f:
                    if f.read(4) == b"\x7fELF":
                        found.append(path)
    return sorted(found)


def area(relative):
    if relative.startswith("framework/src/posix/"):
        return "platform"
    return relative.split("/")[0]


def unreached_lines(text):
    """Line numbers whose count is 0 in `llvm-cov show` text of one file."""
    lines = set()
    for row in text.splitlines():
        parts = row.split("|", 2)
        if len(parts) == 3 and parts[0].strip().isdigit() and parts[1].strip() == "0":
            lines.add(int(parts[0]))
    return lines


def listed_lines(root):
    """The lines docs/reliability.md lists as unreachable: {path: {line, ...}}."""
    with open(os.path.join(root, "docs", "reliability.md"), encoding="utf-8") as f:
        text = f.read()
    start = text.find(SECTION)
    if start < 0:
        return {}
    end = text.find("\n## ", start + len(SECTION))
    listed = {}
    for path, first, last in re.findall(r"`((?:framework|decoders)/[^`:\s]+):(\d+)(?:-(\d+))?`",
                                        text[start:end if end >= 0 else len(text)]):
        listed.setdefault(path, set()).update(range(int(first), int(last or first) + 1))
    return listed


def percent(covered, count):
    return f"{100.0 * covered / count:6.2f}%" if count else "      -"


def main():
    root, build, profdata = (os.path.abspath(a) for a in sys.argv[1:4])
    objects = programs(build)
    common = ["-instr-profile", profdata, objects[0]]
    for other in objects[1:]:
        common += ["-object", other]
    ignore = ["-ignore-filename-regex", r"/(tests|testing|win32)/|^/usr/"]

    exported = subprocess.run([LLVM_COV, "export", "-format=text", "-summary-only"] + common,
                              check=True, capture_output=True, text=True).stdout
    files = {}
    for entry in json.loads(exported)["data"][0]["files"]:
        relative = os.path.relpath(entry["filename"], root)
        if relative.split("/")[0] not in ("framework", "decoders") or SKIPPED.search(relative):
            continue
        files[relative] = entry["summary"]

    subprocess.run([LLVM_COV, "show", "-format=html", "-show-branches=count",
                    "-output-dir", os.path.join(build, "html")] + ignore + common +
                   [os.path.join(root, f) for f in sorted(files)], check=True)

    totals = {}
    unreached = {}
    width = max(len(f) for f in files)
    print(f"\n{'file':<{width}}  {'lines':>15} {'':>7}  {'branches':>13} {'':>7}")
    for relative in sorted(files, key=lambda f: (area(f) != "framework", area(f), f)):
        lines = files[relative]["lines"]
        branches = files[relative]["branches"]
        print(f"{relative:<{width}}  {lines['covered']:>7}/{lines['count']:<7} "
              f"{percent(lines['covered'], lines['count'])}  "
              f"{branches['covered']:>6}/{branches['count']:<6} "
              f"{percent(branches['covered'], branches['count'])}")
        total = totals.setdefault(area(relative), [0, 0, 0, 0])
        total[0] += lines["covered"]
        total[1] += lines["count"]
        total[2] += branches["covered"]
        total[3] += branches["count"]
        if lines["covered"] < lines["count"]:
            shown = subprocess.run([LLVM_COV, "show", "-format=text", "-show-instantiations=false"] +
                                   common + [os.path.join(root, relative)],
                                   check=True, capture_output=True, text=True).stdout
            unreached[relative] = unreached_lines(shown)
    print()
    for name in ("framework", "platform", "decoders"):
        if name in totals:
            lc, lt, bc, bt = totals[name]
            print(f"{name + ' (all files)':<{width}}  {lc:>7}/{lt:<7} {percent(lc, lt)}  "
                  f"{bc:>6}/{bt:<6} {percent(bc, bt)}")
    print(f"\nHTML report: {os.path.join(build, 'html', 'index.html')}")

    listed = listed_lines(root)
    failed = False
    for relative in sorted(set(unreached) | set(listed)):
        missing = unreached.get(relative, set())
        if area(relative) == "platform":
            if missing:
                print(f"platform, not reached: {relative}: {sorted(missing)}")
            continue
        unlisted = sorted(missing - listed.get(relative, set()))
        reached = sorted(listed.get(relative, set()) - missing)
        if unlisted:
            failed = True
            print(f"NOT REACHED and not listed in docs/reliability.md: {relative}: {unlisted}")
        if reached:
            failed = True
            print(f"listed in docs/reliability.md but reached: {relative}: {reached}")
    if failed:
        return 1
    print("Every line of the framework and the decoders is reached or listed with its reason.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
