"""What a scan holds: a 1 GiB file scanned by path in a process that stays under 32 MiB resident;
a 1 GiB mmap scanned through data= adding under 32 MiB beyond its mapped pages (the buffer is
never copied); a scan's records held back in a bounded queue while Python takes none; the GIL
let go while a scan runs; a scan that waits for records ended from another thread; a decode and
an explanation that hold no long text and stop at Ctrl-C. Each measure is taken in a process of
its own, from /proc/self/status."""

import _thread
import os
import pickle
import random
import subprocess
import sys
import threading
import time

import pytest
import tvx
from conftest import record, run_tvx, samples, tvx_json

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


def tooltip_stream(length):
    """A plug-in host's stream whose ToolTipText (section B) is `length` letters long."""
    return b"\x2d" + bytes(24) + b"\x4a\x00\x00" + b"A" * length + b"\x00\xff"


@pytest.fixture(scope="module")
def long_streams(tmp_path_factory):
    """A 1 GiB sparse file whose DragIcon claims all of it, and a 128 MiB ToolTipText."""
    folder = tmp_path_factory.mktemp("long")
    with open(folder / "picture.exe", "wb") as f:
        f.write(b"\x0a\xf0\xff\xff\x3f")  # DragIcon of 0x3FFFFFF0 bytes
        f.truncate(1 << 30)
    (folder / "tip.exe").write_bytes(tooltip_stream(128 * MIB))
    return folder


def test_decode_and_explain_hold_no_long_text(long_streams):
    """As the command line: each stays under 48 MiB resident whatever the stream claims, the
    long texts and the picture read from the file only when asked for."""
    peaks = measure("""
import sys, tvx
for control, name in (("EMBEDHOST.Embedder", "picture.exe"), ("ActiveXPlugin", "tip.exe")):
    for work in (tvx.decode, tvx.explain):
        kept = work(control, sys.argv[1] + "/" + name, 1)
        print(status()["VmHWM"])
""", long_streams)
    assert len(peaks) == 4 and max(peaks) < 48 * 1024, f"peaks {peaks} KiB"


def test_long_lines_and_values_read_when_asked_for(tmp_path):
    """Lines over 64 KiB and texts over 16 KiB are left in the file; asked for, they are the
    command's bytes, in the lines, the values and the properties alike."""
    path = tmp_path / "tip.exe"
    path.write_bytes(tooltip_stream(100_000))
    decoded = tvx.decode("ActiveXPlugin", path, 1)
    assert type(decoded.block) is not list and decoded.block == decoded.block[:]
    assert decoded.block_bytes() == run_tvx("decode", "ActiveXPlugin", path, "1", "--block").stdout
    assert decoded.listing_bytes() == run_tvx("decode", "ActiveXPlugin", path, "1",
                                              "--listing").stdout
    assert decoded.properties["ToolTipText"] == "A" * 100_000
    assert repr(decoded.listing) == "Lines([<long line>])" and len(repr(decoded)) < 2000
    explained = tvx.explain("ActiveXPlugin", path, 1)
    (value,) = [v for v in explained.values if v.read == tvx.ReadKind.ZERO_TERMINATED_TEXT]
    assert value.value == "A" * 100_000 and len(repr(value)) < 1000
    assert explained.to_dict() == tvx_json("explain", "ActiveXPlugin", path, "1", "--json")[0]
    assert pickle.loads(pickle.dumps(explained)) == explained
    assert pickle.loads(pickle.dumps(decoded)) == decoded
    # A text over 16 KiB on lines under 64 KiB: the explanation keeps the file for it alone;
    # one with every text held lets the buffer given go at once.
    path.write_bytes(tooltip_stream(30_000))
    (value,) = [v for v in tvx.explain("ActiveXPlugin", path, 1).values
                if v.read == tvx.ReadKind.ZERO_TERMINATED_TEXT]
    assert value.value == "A" * 30_000
    short = bytearray(tooltip_stream(1000))
    let_go = tvx.explain("ActiveXPlugin", data=short, position=1)
    short.clear()
    assert let_go.values[-2].value == "A" * 1000
    path.write_bytes(tooltip_stream(100_000))
    # The buffer given stays held while a long text may be read from it.
    data = bytearray(path.read_bytes())
    held = tvx.decode("ActiveXPlugin", data=data, position=1)
    with pytest.raises(BufferError):
        data.clear()
    assert held.block == decoded.block


@pytest.mark.parametrize("work", [tvx.decode, tvx.explain])
def test_ctrl_c_stops_a_long_decode(tmp_path, work):
    """A 4 GiB sparse file of zeros, passed over a byte at a time (about a minute): Ctrl-C ends
    the call within a second, and the next call works."""
    path = tmp_path / "zeros.exe"
    with open(path, "wb") as f:
        f.truncate(4 << 30)
    timer = threading.Timer(0.3, _thread.interrupt_main)
    started = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        work("agent", path, 1)
    assert time.monotonic() - started < 2
    assert work("agent", data=b"\x2d" + bytes(20) + b"\xff", position=1).stop.code == "end_code"
