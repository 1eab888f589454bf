"""What the tests of the package tvx share: the build's programs, the plug-ins driven through
their exchange channel (as the host drives them off Windows), tvx run as a command, and the
programs the tests scan: the bundled samples, the end-to-end cases' streams and a synthetic
collection."""

import json
import os
import random
import shutil
import struct
import subprocess
from decimal import ROUND_HALF_EVEN, Decimal, InvalidOperation
from pathlib import Path

import pytest

BUILD = Path(os.environ["TVX_BUILD_DIR"])
SOURCE = Path(os.environ["TVX_SOURCE_DIR"])
TVX = BUILD / "bin" / "tvx"
SAMPLES = BUILD / "samples"
CASES = SOURCE / "tests" / "cases"
END_MARK = b"\xff"
REPLY = b"^DONE" + END_MARK
PICTURE_FILE = "TEVOGRAPHICFILE1.TMP"


def run_tvx(*args, check=True):
    """tvx run as a command: its CompletedProcess (bytes)."""
    done = subprocess.run([str(TVX), *map(str, args)], capture_output=True,
                          stdin=subprocess.DEVNULL)
    if check and done.returncode not in (0, 3):
        raise AssertionError(f"tvx {args}: status {done.returncode}: {done.stderr.decode()}")
    return done


def tvx_json(*args):
    """The JSON documents tvx writes, one per line or one indented."""
    out = run_tvx(*args, "--json", "-q").stdout.decode("ascii")
    if out.startswith("{\n"):
        return [json.loads(out)]
    return [json.loads(line) for line in out.splitlines()]


def samples():
    """(deliverable, path, position) of each bundled sample."""
    found = []
    for line in (SAMPLES / "samples.txt").read_text().splitlines():
        words = line.split()
        if len(words) == 3 and not line.startswith("#"):
            found.append((words[0], SAMPLES / words[1], int(words[2])))
    return found


class Plugin:
    """A built plug-in copied into a folder of its own, answering requests on its channel."""

    def __init__(self, deliverable, folder):
        folder.mkdir(parents=True, exist_ok=True)
        self.folder = folder
        program = folder / f"{deliverable}.tvx"
        shutil.copy2(BUILD / "bin" / program.name, program)
        # No arguments and no environment, as the host starts it.
        self.process = subprocess.Popen(
            [str(program)], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env={}, cwd="/"
        )

    def request(self, path, position, flag="N"):
        """The plug-in's files for one request: (listing, block, picture or None), bytes."""
        picture = self.folder / PICTURE_FILE
        if picture.exists():
            picture.unlink()
        self.process.stdin.write(b"%" + os.fsencode(path) + b"#" + str(position).encode() + b"@" +
                                 flag.encode() + END_MARK)
        self.process.stdin.flush()
        assert self.process.stdout.read(len(REPLY)) == REPLY
        return (
            (self.folder / "TEVOLIBFILE.TMP").read_bytes(),
            (self.folder / "TEVOLIBFILE2.TMP").read_bytes(),
            picture.read_bytes() if picture.exists() else None,
        )

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=10)


@pytest.fixture(scope="session")
def plugins(tmp_path_factory):
    """One running plug-in per deliverable, started when first wanted."""
    started = {}
    home = tmp_path_factory.mktemp("plugins")

    def plugin(deliverable):
        if deliverable not in started:
            started[deliverable] = Plugin(deliverable, home / deliverable)
        return started[deliverable]

    yield plugin
    for p in started.values():
        p.close()


def case_requests(folder):
    """The end-to-end cases whose request names their own stream at a valid position, each as
    (deliverable, case, program file written in `folder`, position text, position, flag)."""
    found = []
    for deliverable in sorted(os.listdir(CASES)):
        for case in sorted(os.listdir(CASES / deliverable)):
            where = CASES / deliverable / case
            request = where / "request.txt"
            text = request.read_text().rstrip("\n") if request.exists() else "%{input}#1@N"
            if not text.startswith("%{input}#") or "@" not in text:
                continue
            place, flag = text[len("%{input}#"):].split("@", 1)
            try:  # a decimal position, rounded half to even as the plug-ins round it
                position = int(Decimal(place.strip()).to_integral_value(ROUND_HALF_EVEN))
            except InvalidOperation:
                continue
            if position < 1 or len(flag) != 1:
                continue
            program = folder / f"{deliverable}_{case}.exe"
            subprocess.run([str(BUILD / "bin" / "tvx-hexstream"), str(where / "stream.hex"),
                            str(program)], check=True)
            found.append((deliverable, case, program, place, position, flag))
    return found


@pytest.fixture(scope="session")
def cases(tmp_path_factory):
    return case_requests(tmp_path_factory.mktemp("cases"))


def pe_head():
    """The first bytes of a Windows program: an MZ header whose PE header follows it."""
    return b"MZ" + bytes(58) + b"\x40\0\0\0" + b"PE\0\0"


def record(name, class_name, stream):
    """A control record as a compiled form holds it, followed by its property stream."""
    return (struct.pack("<H", len(name)) + name + b"\0\xff" + struct.pack("<H", len(class_name)) +
            class_name + b"\0" + stream)


def sample_streams():
    """Each sample's property stream (from its start to the file's end), by class word."""
    words = {c.name: c.class_word for c in __import__("tvx").controls()}
    return {words[d]: path.read_bytes()[position - 1:] for d, path, position in samples()}


def program(rng, records, head=True):
    """A program file's bytes: random bytes around each record."""
    parts = [pe_head() + rng.randbytes(rng.randrange(200, 4000)) if head else rng.randbytes(300)]
    for r in records:
        parts += [r, rng.randbytes(rng.randrange(64, 3000))]
    return b"".join(parts)


@pytest.fixture(scope="session")
def collection(tmp_path_factory):
    """A folder of synthetic programs: every control's class, a class no plug-in decodes, one
    that --class maps, files that are no programs, an empty file, names outside ASCII, nested
    folders and a symbolic link to a folder."""
    rng = random.Random(28)
    root = tmp_path_factory.mktemp("collection")
    streams = sample_streams()
    classes = {
        "Agent": b"AgentObjectsCtl.Agent",
        "Calendar": b"MSACAL.Calendar",
        "Adodc": b"MSAdodcLib.Adodc",
        "CommonDialog": b"MSComDlg.CommonDialog",
        "MSComm": b"MSCommLib.MSComm",
        "ActiveXPlugin": b"Tevo.Host",
    }
    everything = [record(f"{word}{i}".encode(), classes[word], streams[word])
                  for i, word in enumerate(sorted(classes))]
    everything.append(record(b"Command1", b"VB.CommandButton", b"\x01\x02\x03"))
    files = {
        "a/every.exe": program(rng, everything),
        "a/b/raw bytes.bin": program(rng, everything[::-1], head=False),
        "a/b/c/comm.exe": program(rng, [record(b"Comm9", b"mscommlib.mscomm", streams["MSComm"])]),
        "a/empty.exe": b"",
        "d/\u00e9t\u00e9.exe": program(rng, everything[2:5]),
        "d/nothing.exe": pe_head() + rng.randbytes(10000),
    }
    for name, data in files.items():
        (root / name).parent.mkdir(parents=True, exist_ok=True)
        (root / name).write_bytes(data)
    (root / "d" / "link").symlink_to(root / "a" / "b", target_is_directory=True)
    return root
