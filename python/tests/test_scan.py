"""tvx.scan against `tvx scan --json`: the same records in the same order and the same counts, on
the samples, the cases' streams and a synthetic collection, for each selection; data= against the
same bytes by path; two threads scanning at once; a scan ended early, by its onerror callback too;
Ctrl-C in the middle of a scan, which then goes on; a file named "-"."""

import mmap
import shutil
import signal
import threading
import time

import pytest
import tvx
from conftest import SAMPLES, record, tvx_json

SUMMARY = ("files", "unreadable", "bytes", "records", "controls", "other_classes", "not_programs")


def cli_scan(paths, args=()):
    docs = tvx_json("scan", *paths, *args)
    records = [(d["file"], d["position"], d["offset"], d["name"], d["class"], d["control"])
               for d in docs if d["kind"] == "scan_record"]
    (summary,) = [d for d in docs if d["kind"] == "scan_summary"]
    return records, {name: summary[name] for name in SUMMARY}


def module_scan(paths, **options):
    scan = tvx.scan(*paths, **options)
    records = [(r.file, r.position, r.offset, r.name, r.class_name, r.control) for r in scan]
    return records, {name: getattr(scan.summary, name) for name in SUMMARY}


# (id, paths under the collection, tvx.scan's options, tvx scan's arguments, records at least)
SELECTIONS = [
    ("folder", ["."], {}, [], 10),
    ("all classes", ["."], {"all": True}, ["--all"], 18),
    ("names", ["."], {"names": ["agent2", "Comm9"]}, ["--name", "agent2", "--name", "Comm9"], 3),
    ("one name", ["a"], {"names": "MSCOMM5"}, ["--name", "MSCOMM5"], 2),
    ("classes", ["."], {"classes": {"Tevo.Host": "ActiveXPlugin"}},
     ["--class", "Tevo.Host=ActiveXPlugin"], 12),
    ("class to a class word", ["a"], {"classes": {"vb.commandbutton": "mscomm"}, "all": True},
     ["--class", "vb.commandbutton=mscomm", "--all"], 10),
    ("follow", ["."], {"follow": True}, ["--follow"], 15),
    ("one job", ["."], {"jobs": 1}, ["-j", "1"], 10),
    ("three jobs", ["."], {"jobs": 3, "all": True}, ["-j", "3", "--all"], 18),
    ("several paths", ["d", "a/every.exe", "a", "d/link"], {}, [], 20),
    ("a raw file", ["a/b/raw bytes.bin"], {}, [], 5),
    ("an empty file", ["a/empty.exe"], {}, [], 0),
]


@pytest.mark.parametrize("paths, options, args, least", [s[1:] for s in SELECTIONS],
                         ids=[s[0] for s in SELECTIONS])
def test_scan_equals_the_command(collection, paths, options, args, least):
    paths = [str(collection / p) for p in paths]
    records, summary = module_scan(paths, **options)
    assert (records, summary) == cli_scan(paths, args)
    assert len(records) >= least


def test_scan_by_positions_equals_the_command(collection):
    found, _ = cli_scan([str(collection)])
    positions = sorted({found[0][1], found[3][1], found[-1][1]})
    wanted = module_scan([str(collection)], positions=positions, all=True)
    assert wanted == cli_scan([str(collection)], [f"--position={p}" for p in positions] + ["--all"])
    assert len(wanted[0]) >= 3
    assert module_scan([str(collection)], positions=positions[0]) == cli_scan(
        [str(collection)], ["--position", positions[0]])


def test_scan_of_the_samples_and_the_cases_equals_the_command(cases):
    folders = [str(SAMPLES), str(cases[0][2].parent)]
    assert module_scan(folders, all=True) == cli_scan(folders, ["--all"])


def memoryview_of(data):
    return memoryview(bytearray(data))[3:]


def mapped(path):
    with open(path, "rb") as f:
        return mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)


# How data= is given: (id, the object made of a file's path, the positions' shift)
BUFFERS = [
    ("bytes", lambda path: path.read_bytes(), 0),
    ("bytearray", lambda path: bytearray(path.read_bytes()), 0),
    ("memoryview slice", lambda path: memoryview_of(path.read_bytes()), 3),
    ("mmap", mapped, 0),
]


@pytest.mark.parametrize("make, shift", [b[1:] for b in BUFFERS], ids=[b[0] for b in BUFFERS])
def test_scan_of_data_equals_the_scan_of_its_file(collection, make, shift):
    compared = 0
    for path in sorted(p for p in collection.rglob("*") if p.is_file() and p.stat().st_size > 0):
        data = make(path)
        by_path = [(r.position - shift, r.name, r.class_name, r.control)
                   for r in tvx.scan(path, all=True) if r.position > shift]
        in_memory = list(tvx.scan(data=data, all=True))
        assert [(r.position, r.name, r.class_name, r.control) for r in in_memory] == by_path
        assert all(r.file is None for r in in_memory)
        compared += len(by_path)
    assert compared > 10


def test_two_threads_scan_at_once(collection, cases):
    inputs = [[str(collection)], [str(SAMPLES), str(cases[0][2].parent)]]
    alone = [module_scan(paths, all=True, jobs=2) for paths in inputs]
    results = [[], []]
    start = threading.Barrier(2)

    def scan(i):
        start.wait()
        for _ in range(20):
            results[i].append(module_scan(inputs[i], all=True, jobs=2))

    threads = [threading.Thread(target=scan, args=(i,)) for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == [[alone[0]] * 20, [alone[1]] * 20]


def test_a_scan_ended_early(collection):
    scan = tvx.scan(collection, all=True)
    first = next(scan)
    # Its files all read by now, but records not taken yet: no summary until they are.
    time.sleep(0.5)
    assert scan.summary is None
    scan.close()
    assert first == next(iter(tvx.scan(collection, all=True)))
    assert list(scan) == [] and scan.summary is None
    with tvx.scan(collection) as scan:
        assert next(scan) == first
    assert list(scan) == []
    # One iterator shared by threads hands each record once.
    shared = tvx.scan(collection, collection, collection, all=True)
    taken = [[], []]
    threads = [threading.Thread(target=lambda i=i: taken[i].extend(shared)) for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert sorted(taken[0] + taken[1], key=repr) == sorted(
        tvx.scan(collection, collection, collection, all=True), key=repr)


def in_a_thread(work):
    """`work()` run on a thread of its own, which must end within 30 s: its result."""
    done = []
    thread = threading.Thread(target=lambda: done.append(work()), daemon=True)
    thread.start()
    thread.join(30)
    assert not thread.is_alive(), "hangs"
    return done[0]


# What an onerror callback does with its scan: (id, the callback, given the scan and the list of
# records taken, and how many of the records of `sample missing sample` are taken)
ONERROR_CALLS = [
    ("close", lambda scan, taken: scan.close(), 1),
    ("next", lambda scan, taken: taken.append(next(scan)), 2),
    ("next until the end", lambda scan, taken: taken.extend(scan), 2),
]


@pytest.mark.parametrize("call, samples", [c[1:] for c in ONERROR_CALLS],
                         ids=[c[0] for c in ONERROR_CALLS])
def test_onerror_may_end_the_scan_or_take_its_records(tmp_path, call, samples):
    sample = str(SAMPLES / "example.exe")
    one = list(tvx.scan(sample, all=True))

    def work():
        scan = tvx.scan(sample, str(tmp_path / "missing.exe"), sample, all=True,
                        onerror=lambda error: call(scan, taken))
        taken = []
        for r in scan:
            taken.append(r)
        return taken, scan.summary

    taken, summary = in_a_thread(work)
    assert taken == one * samples and len(one) == 6
    assert (summary is None) == (samples == 1)


def test_ctrl_c_loses_no_record(tmp_path):
    """KeyboardInterrupt raised every half millisecond, wherever the scan is (mostly in its
    __next__): the loop goes on after each, and every record comes once, in order."""
    dense = tmp_path / "dense.bin"
    dense.write_bytes(record(b"C", b"VB.Label", b"") * 200_000)
    whole = list(tvx.scan(dense, all=True))
    armed = [False]

    def interrupt(signum, frame):
        if armed[0]:  # only inside the try below
            armed[0] = False
            raise KeyboardInterrupt

    taken = []
    interrupted = 0
    before = signal.signal(signal.SIGALRM, interrupt)
    signal.setitimer(signal.ITIMER_REAL, 0.0005, 0.0005)
    try:
        scan = tvx.scan(dense, all=True)
        while True:
            try:
                armed[0] = True
                for r in scan:
                    taken.append(r)
                armed[0] = False
                break
            except KeyboardInterrupt:
                interrupted += 1
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, before)
    assert interrupted > 20
    assert len(taken) == len(whole) == 200_000
    assert taken == whole and scan.summary.records == 200_000


def test_a_file_named_dash_is_shown_as_given(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    for call in (lambda: tvx.decode("agent", "-", 1), lambda: list(tvx.scan("-"))):
        with pytest.raises(FileNotFoundError) as raised:
            call()
        assert raised.value.filename == "-"
    shutil.copy(SAMPLES / "example.exe", "-")
    found = list(tvx.scan("-"))
    assert [r.file for r in found] == ["-"] * 5
    assert found[0].decode().file == "-"
