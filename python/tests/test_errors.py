"""Errors as Python raises them: OSError subclasses with errno and filename for files that cannot
be read (by decode, explain and scan, in the scan's order, or handed to onerror), ValueError
naming the closest control, TypeError and ValueError for arguments; a decode that ends early is
no error (test_decode.py)."""

import errno
import itertools
import mmap
import os
import pwd
import shutil
import subprocess
import sys
import tempfile

import pytest
import tvx
from conftest import BUILD, SAMPLES, run_tvx, samples

SAMPLE = samples()[0]


@pytest.fixture(scope="module")
def places(tmp_path_factory):
    root = tmp_path_factory.mktemp("places")
    os.mkfifo(root / "fifo")
    (root / "folder").mkdir()
    return root


def decode(path):
    return tvx.decode(SAMPLE[0], path, 1)


def explain(path):
    return tvx.explain(SAMPLE[0], path, 1)


def scan(path):
    return list(tvx.scan(path))


# (id, call, file under the places, exception, errno, words of its reason)
FILE_ERRORS = [
    ("decode missing", decode, "missing.exe", FileNotFoundError, errno.ENOENT, "No such file"),
    ("explain missing", explain, "missing.exe", FileNotFoundError, errno.ENOENT, "No such file"),
    ("scan missing", scan, "missing.exe", FileNotFoundError, errno.ENOENT, "No such file"),
    ("decode folder", decode, "folder", IsADirectoryError, errno.EISDIR, "Is a directory"),
    ("decode fifo", decode, "fifo", OSError, None, "not a regular file"),
    ("scan fifo", scan, "fifo", OSError, None, "not a regular file"),
    ("decode below a file", decode, "fifo/x", NotADirectoryError, errno.ENOTDIR, "Not a directory"),
]


@pytest.mark.parametrize("call, name, kind, number, reason", [e[1:] for e in FILE_ERRORS],
                         ids=[e[0] for e in FILE_ERRORS])
def test_a_file_that_cannot_be_read(places, call, name, kind, number, reason):
    path = str(places / name)
    with pytest.raises(OSError) as raised:
        call(path)
    assert type(raised.value) is kind
    assert (raised.value.errno, raised.value.filename) == (number, path)
    assert reason in raised.value.strerror
    # The command gives the same reason.
    command = ["scan", path] if call is scan else ["decode", SAMPLE[0], path, "1"]
    assert reason in run_tvx(*command, check=False).stderr.decode()


def test_a_file_that_cannot_be_read_as_its_user(tmp_path):
    """A file its user may not read: PermissionError (as root, run as the user nobody)."""
    secret = tmp_path / "secret.exe"
    shutil.copy(SAMPLE[1], secret)
    secret.chmod(0)
    script = ("import tvx, sys\n"
              "for call in (lambda: tvx.decode('agent', sys.argv[1], 1),"
              " lambda: list(tvx.scan(sys.argv[1]))):\n"
              "    try: call()\n"
              "    except OSError as e: print(type(e).__name__, e.errno, e.filename)\n")
    args = [sys.executable, "-c", script, str(secret)]
    if os.geteuid() != 0:
        out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    else:
        # The package and the file where the user nobody reaches them.
        shared = tempfile.mkdtemp()
        try:
            os.chmod(shared, 0o755)
            shutil.copytree(BUILD / "python" / "tvx", os.path.join(shared, "tvx"))
            shutil.copy(secret, os.path.join(shared, "secret.exe"))
            os.chmod(os.path.join(shared, "secret.exe"), 0)
            args[-1] = os.path.join(shared, "secret.exe")
            nobody = pwd.getpwnam("nobody")
            out = subprocess.run(args, capture_output=True, text=True, check=True, cwd=shared,
                                 env={"PYTHONPATH": shared, "PYTHONDONTWRITEBYTECODE": "1"},
                                 user=nobody.pw_uid, group=nobody.pw_gid, extra_groups=[]).stdout
        finally:
            shutil.rmtree(shared)
    assert out == f"PermissionError {errno.EACCES} {args[-1]}\n" * 2


def test_scan_errors_come_in_order_or_go_to_onerror(places, collection):
    sample, missing = str(collection / "a" / "every.exe"), str(places / "missing.exe")
    folder = places / "with a link"
    folder.mkdir()
    (folder / "loop").symlink_to(folder, target_is_directory=True)
    paths = [str(places / "fifo"), sample, missing, str(folder), sample]
    cli = run_tvx("scan", *paths, "--follow", "--all", check=False)
    errors = []
    records = list(tvx.scan(*paths, follow=True, all=True, onerror=errors.append))
    reasons = [f"tvx scan: cannot read {e.filename!r}: {e.strerror}" for e in errors]
    told = [line.replace('"', "'") for line in cli.stderr.decode().splitlines()
            if "cannot read" in line]
    assert reasons == told and len(errors) == 3
    assert [type(e) for e in errors[:2]] == [OSError, FileNotFoundError]
    # Without onerror, the first error ends the scan where it comes.
    scan = tvx.scan(sample, missing, sample, all=True)
    before = list(itertools.islice(scan, 3))
    with pytest.raises(FileNotFoundError):
        list(scan)
    assert len(before) == 3 and before == records[:3]
    assert list(scan) == [] and scan.summary is None


def closed_mmap():
    with open(SAMPLE[1], "rb") as f:
        m = mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)
    m.close()
    return m


def record_of_a_closed_mmap():
    with open(SAMPLES / "example.exe", "rb") as f:
        m = mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)
    found = next(tvx.scan(data=m))
    m.close()
    return found


CLOSED = "data= is a closed mmap"

# (id, call, exception, words of its message)
ARGUMENT_ERRORS = [
    ("decode of a path with NUL", lambda: tvx.decode("agent", "a\0b", 1), ValueError, "NUL"),
    ("explain of a path with NUL", lambda: tvx.explain("agent", b"a\0", 1), ValueError, "NUL"),
    ("scan of a path with NUL", lambda: tvx.scan(SAMPLE[1], "a\0b"), ValueError, "NUL"),
    ("decode of a closed mmap", lambda: tvx.decode("agent", data=closed_mmap(), position=1),
     ValueError, CLOSED),
    ("scan of a closed mmap", lambda: tvx.scan(data=closed_mmap()), ValueError, CLOSED),
    ("record of a closed mmap", lambda: record_of_a_closed_mmap().decode(), ValueError, CLOSED),
    ("names of a number", lambda: tvx.scan(SAMPLE[1], names=5), TypeError,
     "names= is a name (str) or several, not 5"),
    ("positions as text", lambda: tvx.scan(SAMPLE[1], positions="12"), TypeError,
     "positions= is a position (int) or several, not '12'"),
    ("position of a fraction", lambda: tvx.scan(SAMPLE[1], positions=[2.5]), TypeError,
     "a position is a whole number (int), not float 2.5"),
    ("jobs of a fraction", lambda: tvx.scan(SAMPLE[1], jobs=2.5), TypeError,
     "jobs= is a whole number (int), not float 2.5"),
    ("classes as a list", lambda: tvx.scan(SAMPLE[1], classes=["A.B"]), TypeError,
     "classes= maps class names to controls"),
    ("all as text", lambda: tvx.scan(SAMPLE[1], all="no"), TypeError,
     "all= is True or False, not 'no'"),
    ("follow as a number", lambda: tvx.scan(SAMPLE[1], follow=1), TypeError, "follow="),
    ("onerror not callable", lambda: tvx.scan(SAMPLE[1], onerror=5), TypeError, "onerror="),
    ("offsets as text", lambda: tvx.decode("agent", SAMPLE[1], 1, "no"), TypeError,
     "offsets= is True or False, not 'no'"),
    ("limit of a fraction", lambda: tvx.explain("agent", SAMPLE[1], 1, limit=2.5), TypeError,
     "limit= is a whole number"),
    ("mistyped control", lambda: tvx.decode("mscom", SAMPLE[1], 1), ValueError,
     "unknown control \"mscom\"; did you mean 'MSComm'?"),
    ("mistyped deliverable", lambda: tvx.explain("SERLINK.SerialLnik", SAMPLE[1], 1), ValueError,
     "did you mean 'SERLINK.SerialLink'?"),
    ("no such control", lambda: tvx.decode("spreadsheet", SAMPLE[1], 1), ValueError,
     "unknown control \"spreadsheet\" (tvx.controls() lists the controls)"),
    ("class to no control", lambda: tvx.scan(SAMPLE[1], classes={"A.B": "agnet"}), ValueError,
     "did you mean 'Agent'?"),
    ("position 0", lambda: tvx.decode("agent", SAMPLE[1], 0), ValueError, "not from 1 to"),
    ("position beyond any file", lambda: tvx.decode("agent", SAMPLE[1], 2**53 + 1), ValueError,
     "9007199254740992"),
    ("position as text", lambda: tvx.decode("agent", SAMPLE[1], "1025"), TypeError,
     "a position is a whole number (int), not str '1025'"),
    ("no position", lambda: tvx.decode("agent", SAMPLE[1]), TypeError, "position"),
    ("file and data", lambda: tvx.decode("agent", SAMPLE[1], 1, data=b""), TypeError, "not both"),
    ("neither", lambda: tvx.explain("agent", position=1), TypeError, "data="),
    ("data as str", lambda: tvx.decode("agent", data="MZ", position=1), TypeError, "bytes-like"),
    ("scan of nothing", lambda: tvx.scan(), TypeError, "needs a path"),
    ("paths and data", lambda: tvx.scan(SAMPLE[1], data=b""), TypeError, "not both"),
    ("no jobs", lambda: tvx.scan(SAMPLE[1], jobs=0), ValueError, "jobs"),
    ("limit 0", lambda: tvx.explain("agent", SAMPLE[1], 1, limit=0), ValueError, "limit"),
    ("path of a number", lambda: tvx.decode("agent", 5, 1), TypeError, "int"),
    ("record of no control", lambda: tvx.Record("f", 1, "C", "VB.Label", None).decode(),
     ValueError, "VB.Label"),
]


@pytest.mark.parametrize("call, kind, words", [e[1:] for e in ARGUMENT_ERRORS],
                         ids=[e[0] for e in ARGUMENT_ERRORS])
def test_arguments(call, kind, words):
    with pytest.raises(kind) as raised:
        call()
    assert words in str(raised.value)
