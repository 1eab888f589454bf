"""Scans: the control records of program files, each placed in its form (tvx.scan)."""

import atexit
import collections.abc
import weakref
from typing import (
    Any,
    Callable,
    Dict,
    Iterable,
    List,
    Mapping,
    Optional,
    Tuple,
    Union,
)

from . import _tvx
from ._common import (
    Control,
    PathType,
    _control_name,
    _flag,
    _path,
    _position,
    _some,
    _text,
    _whole,
)
from ._decoded import Decoded, decode
from ._explained import Explanation, explain
from ._fields import _Fields, _Frozen, _put


class Form(_Frozen):
    """The form a record lies in: the form's image in the compiled program.

    ``name`` is the form's name (a stream text: a character per byte), ``kind`` the image's kind
    byte (13 a form, 20 an MDI form) and ``kind_name`` its code (``"form"``, ``"mdi_form"``, or
    None for a kind byte tvx does not know), ``offset`` where the image starts (its size long)
    and ``size`` its bytes, the size long included.
    """

    __slots__ = ("name", "kind", "offset", "size")
    _fields = ("name", "kind", "kind_name", "offset", "size")
    name: str
    kind: int
    offset: int
    size: int

    _KIND_NAMES = {13: "form", 20: "mdi_form"}

    def __init__(self, name: str, kind: int, offset: int, size: int) -> None:
        _put(self, "name", name)
        _put(self, "kind", kind)
        _put(self, "offset", offset)
        _put(self, "size", size)

    @property
    def kind_name(self) -> Optional[str]:
        """``"form"``, ``"mdi_form"``, or None for a kind byte of neither."""
        return self._KIND_NAMES.get(self.kind)


class Record(_Frozen):
    """A control record found by a scan.

    ``file`` is the path as given or walked (None for ``data=``), ``position``/``offset`` where
    the control's property stream starts, ``name`` the control's name, ``class_name`` its class
    name as the program holds it and ``control`` the name of the deliverable that decodes it
    (None for a class no plug-in decodes, found with ``all=True``). ``index`` is the control's
    index in its control array (the stream's Index, read by its decoder; None for a control of
    no array, or of a class no plug-in decodes), ``shown_name`` the name as tvx shows it
    (``Name(Index)`` for one of an array), and ``form`` the Form whose image holds the record,
    or None (no image holds it, or the image overlaps another or runs past the end of the file).

    A record of a ``data=`` scan keeps the scan's object, to decode from; it is not pickled
    (nor copied) with the record, which then decodes only by ``tvx.decode(record.control,
    data=..., position=record.position)``.
    """

    __slots__ = ("file", "position", "name", "class_name", "control", "index", "form", "_data")
    _fields = ("file", "position", "offset", "name", "class_name", "control", "index", "form")
    file: Optional[str]
    position: int
    name: str
    class_name: str
    control: Optional[str]
    index: Optional[int]
    form: Optional[Form]

    def __init__(
        self,
        file: Optional[str],
        position: int,
        name: str,
        class_name: str,
        control: Optional[str],
        index: Optional[int] = None,
        form: Optional[Form] = None,
        _data: Any = None,
    ) -> None:
        _put(self, "file", file)
        _put(self, "position", position)
        _put(self, "name", name)
        _put(self, "class_name", class_name)
        _put(self, "control", control)
        _put(self, "index", index)
        _put(self, "form", form)
        _put(self, "_data", _data)

    @property
    def shown_name(self) -> str:
        """The name as tvx shows it: ``Name(Index)`` for a control of an array, else ``Name``."""
        return self.name if self.index is None else f"{self.name}({self.index})"

    @property
    def offset(self) -> int:
        """The 0-based offset of the property stream's first byte."""
        return self.position - 1

    def decode(self, offsets: bool = False) -> Decoded:
        """The record's stream decoded by its control (see ``tvx.decode``); the file is read
        again by its path, or the scan's ``data`` is."""
        return decode(self._control(), self.file, self.position, data=self._data, offsets=offsets)

    def explain(self, offsets: bool = False, limit: Optional[int] = None) -> Explanation:
        """The record's stream explained by its control (see ``tvx.explain``)."""
        return explain(
            self._control(), self.file, self.position, data=self._data, offsets=offsets, limit=limit
        )

    def _control(self) -> str:
        if self.control is None:
            raise ValueError(
                f"no control decodes the class {self.class_name!r}: scan with "
                f"classes={{{self.class_name!r}: CONTROL}}, or name the control to tvx.decode"
            )
        if self.file is None and self._data is None:
            raise ValueError(
                "this record of a data= scan was pickled or copied without the scan's data: "
                "tvx.decode(record.control, data=..., position=record.position) decodes it"
            )
        return self.control


class ScanSummary(_Fields):
    """The counts of a whole scan, as the JSON's ``scan_summary``: ``files`` read to their end,
    ``unreadable`` entries, ``bytes`` read, ``records`` found, ``controls`` (records per
    deliverable, those found only), ``other_classes`` (records of classes no plug-in decodes)
    and ``not_programs`` (files without an MZ and PE header, scanned as raw bytes), ``forms``
    (form images that give their records a form)."""

    __slots__ = (
        "files",
        "unreadable",
        "bytes",
        "records",
        "controls",
        "other_classes",
        "not_programs",
        "forms",
    )
    _fields = __slots__
    files: int
    unreadable: int
    bytes: int
    records: int
    controls: Dict[str, int]
    other_classes: int
    not_programs: int
    forms: int

    def __init__(
        self,
        files: int,
        unreadable: int,
        bytes: int,
        records: int,
        controls: Dict[str, int],
        other_classes: int,
        not_programs: int,
        forms: int = 0,
    ) -> None:
        self.files = files
        self.unreadable = unreadable
        self.bytes = bytes
        self.records = records
        self.controls = controls
        self.other_classes = other_classes
        self.not_programs = not_programs
        self.forms = forms


class Scan(_tvx.ScanRun):
    """The records of a running scan, an iterator: what ``tvx.scan`` returns.

    The scan reads its files on a thread of its own while the records are taken, holding a few
    thousand records at most. ``summary`` is a ScanSummary once every record has been taken
    (None before, and after ``close``). ``close()`` (or leaving a ``with`` block) ends the scan
    early, from any thread, a wait for records included: the files being read are left where
    they are. Ctrl-C (KeyboardInterrupt) stops a wait for records without losing any: the loop
    may go on from where it was. Threads may share one scan: each record goes to one of them.
    """

    def __init__(
        self,
        paths: List[bytes],
        data: Any,
        all: bool,
        names: List[str],
        forms: List[str],
        positions: List[int],
        classes: List[Tuple[str, str]],
        follow: bool,
        jobs: int,
        onerror: Optional[Callable[[OSError], object]],
    ) -> None:
        super().__init__(
            paths, data, all, names, forms, positions, classes, follow, jobs, Record, Form
        )
        # What the compiled __next__ calls; kept here, where the collector sees it (it may refer
        # to the scan).
        self._onerror = onerror
        self._summary: Optional[ScanSummary] = None
        _RUNNING.add(self)

    def __iter__(self) -> "Scan":
        return self

    # __next__ is the compiled module's (see python/src/scan.cpp): no Python code runs between a
    # record taken and its return, the record's making included.

    @property
    def summary(self) -> Optional[ScanSummary]:
        """The counts of the whole scan, once every record has been taken; else None."""
        if self._summary is None:
            counts = self._counts()
            if counts is not None:
                self._summary = ScanSummary(**counts)
        return self._summary

    def close(self) -> None:
        """Ends the scan, from any thread; the iterator is then exhausted."""
        super().close()

    def __enter__(self) -> "Scan":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"<tvx.Scan {'running' if self._running() else 'ended'}>"


# The scans not yet ended, ended before the interpreter is: none reads on past it.
_RUNNING: "weakref.WeakSet[Scan]" = weakref.WeakSet()


@atexit.register
def _end_scans() -> None:
    for running in list(_RUNNING):
        running.close()


_CONTROLS: Tuple[Control, ...] = tuple(Control(*c) for c in _tvx.controls())
_DEFAULT_JOBS_AT_MOST = 16  # as tvx scan's -j: no more files at a time than hold a window cheaply


def controls() -> Tuple[Control, ...]:
    """The six controls tvx decodes, each a Control, in the order the deliverables are declared.

    A control may be named, wherever one is asked for, by its deliverable's name, its class word
    or one of its class names, in any case (``"SERLINK.SerialLink"``, ``"mscomm"``).
    """
    return _CONTROLS


def scan(
    *paths: PathType,
    data: Any = None,
    all: bool = False,
    names: Union[str, Iterable[str]] = (),
    positions: Union[int, Iterable[int]] = (),
    classes: Optional[Mapping[str, Union[str, Control]]] = None,
    follow: bool = False,
    jobs: Optional[int] = None,
    onerror: Optional[Callable[[OSError], object]] = None,
    forms: Union[str, Iterable[str]] = (),
) -> Scan:
    """The control records of the files of ``paths``, as ``tvx scan`` finds them, in its order.

    Each path is a file or a folder, whose files and subfolders are walked in the byte order of
    their names; symbolic links inside folders are followed only with ``follow=True``. Instead of
    paths, ``data=`` scans any bytes-like object (bytes, bytearray, memoryview, mmap) without
    copying it: its records' ``file`` is None, their positions count from its first byte, and
    they keep it for ``Record.decode``.

    Only records of the six controls' classes are returned, or of every class with ``all=True``;
    ``names`` keeps those of the control names given (any case), ``forms`` those in the forms of
    the names given (any case), ``positions`` those whose
    stream starts at one of the positions given, and ``classes`` maps more class names to the
    controls that decode them (``{"Tevo.Host": "ActiveXPlugin"}``, ahead of the known ones).
    ``jobs`` files are read at a time (default: the processors, at most 16).

    Returns a Scan, an iterator of Record that streams: the files are read on a thread of its own
    while the records are taken, the GIL released. A path or an entry of a folder that cannot be
    read raises its OSError (FileNotFoundError, PermissionError, IsADirectoryError, ...) where
    it comes in the order, and ends the scan; with ``onerror``, the OSError is handed to it
    instead and the scan goes on (``onerror`` may call the scan's ``close()``, which ends it, or
    take records itself). An unknown control in ``classes`` raises ValueError, an argument of
    the wrong kind TypeError.
    """
    if data is not None and paths:
        raise TypeError("scan() takes paths or data=, not both")
    if data is None and not paths:
        raise TypeError("scan() needs a path, or data=")
    if onerror is not None and not callable(onerror):
        raise TypeError(f"onerror= is a function (called with each OSError), not {onerror!r}")
    if classes is not None and not isinstance(classes, collections.abc.Mapping):
        raise TypeError(
            "classes= maps class names to controls ({'Tevo.Host': 'ActiveXPlugin'}), not "
            f"{type(classes).__name__}"
        )
    pairs = [(_text(name, "class name"), _control_name(c)) for name, c in (classes or {}).items()]
    if jobs is None:
        jobs = max(1, min(_tvx.processors(), _DEFAULT_JOBS_AT_MOST))
    else:
        jobs = _whole(jobs, "jobs=")
        if not 1 <= jobs <= 256:
            raise ValueError(f"jobs= is from 1 to 256, not {jobs}")
    return Scan(
        [_path(p) for p in paths],
        data,
        _flag(all, "all="),
        [_text(name, "name") for name in _some(names, str, "names=", "a name (str)")],
        [_text(name, "form name") for name in _some(forms, str, "forms=", "a form's name (str)")],
        [_position(p) for p in _some(positions, int, "positions=", "a position (int)")],
        pairs,
        _flag(follow, "follow="),
        jobs,
        onerror,
    )


