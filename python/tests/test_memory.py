"""What a scan holds: a 1 GiB file scanned by path in a process that stays under 32 MiB resident;
a 1 GiB mmap scanned through data= adding under 32 MiB beyond its mapped pages (the buffer is
never copied); a scan's records held back in a bounded queue while Python takes none; the GIL
let go while a scan runs; a scan that waits for records ended from another thread. Each measure is
taken in a process of its own, from /proc/self/status."""

import os
import random
import subprocess
import sys
import threading
import time

import pytest
import tvx
from conftest import record, samples

MIB = 1 << 20
# /proc/self/status's members in KiB.
STATUS = """
def status():
    fields = dict(line.split(":", 1) for line in open("/proc/self/status"))
    return {k: int(fields[k].split()[0]) for k in ("VmRSS", "VmHWM", "RssAnon", "RssFile")}
"""


def measure(script, *args):
    """Runs `script` (with status() defined) in a fresh Python; the numbers it prints."""
    done = subprocess.run([sys.executable, "-c", STATUS + script, *map(str, args)],
                          capture_output=True, text=True, env=dict(os.environ))
    assert done.returncode == 0, done.stderr
    return [int(n) for n in done.stdout.split()]


@pytest.fixture(scope="module")
def big(tmp_path_factory):
    """1 GiB: a MiB of random bytes holding one agent record, 1024 times."""
    (deliverable, path, position), = [s for s in samples() if s[0] == "PERSONA.Persona"]
    stream = path.read_bytes()[position - 1:position + 63]
    rng = random.Random(1)
    piece = rng.randbytes(1000) + record(b"Agent1", b"AgentObjectsCtl.Agent", stream)
    piece += rng.randbytes(MIB - len(piece))
    file = tmp_path_factory.mktemp("big") / "big.bin"
    with open(file, "wb") as f:
        for _ in range(1024):
            f.write(piece)
    yield file
    file.unlink()


def test_a_1_gib_file_by_path_stays_under_32_mib(big):
    count, peak = measure("""
import sys, tvx
count = sum(1 for r in tvx.scan(sys.argv[1]) if r.control == "PERSONA.Persona")
print(count, status()["VmHWM"])
""", big)
    assert count == 1024
    assert peak < 32 * 1024, f"peak resident {peak} KiB"


def test_a_1_gib_mmap_through_data_is_not_copied(big):
    count, anon, beyond = measure("""
import mmap, sys, tvx
with open(sys.argv[1], "rb") as f:
    m = mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)
before = status()
count = sum(1 for r in tvx.scan(data=m))
after = status()
mapped = after["RssFile"] - before["RssFile"]
print(count, after["RssAnon"] - before["RssAnon"], after["VmHWM"] - before["VmRSS"] - mapped)
""", big)
    assert count == 1024
    assert anon < 32 * 1024, f"{anon} KiB more anonymous memory"
    assert beyond < 32 * 1024, f"peak {beyond} KiB beyond the mapped pages"


def test_records_wait_in_a_bounded_queue(tmp_path):
    """1,000,000 records found while Python takes none: the scan waits, holding a few MiB."""
    dense = tmp_path / "dense.bin"
    one = record(b"C", b"VB.Label", b"")
    dense.write_bytes(one * 1_000_000)
    count, waiting, growth = measure("""
import sys, time, tvx
scan = tvx.scan(sys.argv[1], all=True)
next(scan)
before = status()
time.sleep(2)  # the scan goes on until its queue is full
waiting = status()["VmRSS"] - before["VmRSS"]
count = 1 + sum(1 for _ in scan)
print(count, waiting, status()["VmHWM"] - before["VmRSS"])
""", dense)
    assert count == 1_000_000
    assert waiting < 8 * 1024 and growth < 16 * 1024, (waiting, growth)


def test_the_gil_is_let_go_while_a_scan_runs(big):
    counted = [0]
    scan = threading.Thread(target=lambda: counted.append(sum(1 for _ in tvx.scan(big, jobs=1))))
    ticks = 0
    started = time.monotonic()
    scan.start()
    while scan.is_alive():
        ticks += 1
    took = time.monotonic() - started
    assert counted[1] == 1024
    # Python ran on beside the scan: about a million ticks a second where the GIL is free.
    assert ticks > 20_000 * took, (ticks, took)


def test_a_scan_left_running_ends_with_python(big):
    """A scan still reading when the interpreter ends, dropped or still held, ends with it."""
    for script in ("import sys, tvx\nprint(next(tvx.scan(sys.argv[1])).name)\n",
                   "import sys, tvx\nkept = tvx.scan(sys.argv[1], sys.argv[1])\n"
                   "print(next(kept).name)\n"):
        done = subprocess.run([sys.executable, "-c", script, str(big)], capture_output=True,
                              text=True, timeout=120)
        assert (done.returncode, done.stdout, done.stderr) == (0, "Agent1\n", "")


def test_close_from_another_thread_ends_a_scan_waiting_for_records(big):
    """40 GiB to read (the 1 GiB file 40 times) of which no record is picked: the thread taking
    records waits, and close() from another ends the scan within a few seconds."""
    scan = tvx.scan(*[big] * 40, names="nothing", jobs=1)
    taken = []
    thread = threading.Thread(target=lambda: taken.append(list(scan)), daemon=True)
    thread.start()
    time.sleep(0.5)
    started = time.monotonic()
    scan.close()
    thread.join(60)
    took = time.monotonic() - started
    assert not thread.is_alive() and taken == [[]]
    assert took < 2, f"the scan ended {took:.1f} s after close()"
    assert scan.summary is None
