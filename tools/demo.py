#!/usr/bin/env python3
"""Drives each built plug-in through its exchange channel on its bundled sample program file
and prints the listing and the property block it wrote; then tvx's scan of the example program
(a record of each control) and a report page of it."""
import os
import subprocess
import sys

END = b"\xff"


def main() -> int:
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    bin_dir = os.path.abspath(os.path.join(build, "bin"))
    samples_dir = os.path.join(build, "samples")
    index = os.path.join(samples_dir, "samples.txt")
    if not os.path.exists(index):
        print(f"no samples in {samples_dir}: build first", file=sys.stderr)
        return 1
    shown = 0
    for line in open(index, encoding="ascii"):
        line = line.split("#", 1)[0].split()
        if len(line) != 3:
            continue
        deliverable, sample, start = line
        program = os.path.join(bin_dir, deliverable + ".tvx")
        if not os.path.exists(program):
            print(f"{deliverable}: not built, skipped")
            continue
        sample_path = os.path.abspath(os.path.join(samples_dir, sample))
        request = f"%{sample_path}#{start}@N".encode() + END
        with subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              cwd="/", env={}) as plugin:
            plugin.stdin.write(request)
            plugin.stdin.flush()
            reply = plugin.stdout.read(6)
            plugin.stdin.write(b"^END" + END)
            plugin.stdin.close()
            status = plugin.wait(timeout=10)
        print("=" * 78)
        print(f"{deliverable}: {sample} from position {start}")
        print(f"request {request!r}\nreply   {reply!r}, exit status {status}")
        for name in ("TEVOLIBFILE.TMP", "TEVOLIBFILE2.TMP"):
            data = open(os.path.join(bin_dir, name), "rb").read()
            print(f"--- {name} ({len(data)} bytes, CR LF lines)")
            sys.stdout.write(data.decode("latin-1").replace("\r\n", "\n"))
        picture = os.path.join(bin_dir, "TEVOGRAPHICFILE1.TMP")
        if os.path.exists(picture):
            print(f"--- TEVOGRAPHICFILE1.TMP: {os.path.getsize(picture)} bytes (last picture written)")
        if reply != b"^DONE" + END or status != 0:
            print(f"{deliverable}: unexpected reply or exit status", file=sys.stderr)
            return 1
        shown += 1
    print("=" * 78)
    print(f"{shown} plug-in(s) shown.")
    tvx = os.path.join(bin_dir, "tvx")
    if not shown or not os.path.exists(tvx):
        return 0 if shown else 1
    return show_example(tvx, samples_dir, build)


def show_example(tvx: str, samples_dir: str, build: str) -> int:
    """tvx on the example program (one record of each control, made from the samples): its
    scan, and a report page of it."""
    example = os.path.join(samples_dir, "example.exe")
    page = os.path.join(build, "example-report.html")
    host_class = ["--class", "Tevo.Host=ActiveXPlugin"]
    for command in (["scan", example] + host_class,
                    ["report", example] + host_class + ["-o", page]):
        print(f"$ {os.path.relpath(tvx)} {' '.join(command)}", flush=True)
        if subprocess.run([tvx] + command, check=False).returncode != 0:
            print(f"tvx {command[0]}: failed", file=sys.stderr)
            return 1
    print("=" * 78)
    print(f"Open {os.path.abspath(page)} in a browser to see each record's block, listing and\n"
          f"bytes, linked. To see one stream value by value, try:")
    print(f"  {os.path.relpath(tvx)} explain agent {example} 1058")
    return 0


if __name__ == "__main__":
    sys.exit(main())
