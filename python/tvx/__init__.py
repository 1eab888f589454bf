"""Find the controls of compiled Visual Basic 6 programs, decode and explain their property streams.

What the command ``tvx`` does, as calls: ``scan`` finds the control records of program files (or
of any bytes), ``decode`` turns a control's property stream into the listing and the property
block its plug-in writes, and ``explain`` tells every value read with the bytes it came from.

Places in a file are positions, 1-based, as the host counts them; ``offset`` is the 0-based
offset a hex dump shows (position 1025 is offset 0x400). Texts read from a stream are ``str``
with one character per byte (``text.encode("latin-1")`` gives the bytes back).
"""

from __future__ import annotations

import atexit
import collections.abc
import enum
import operator
import os
import types
import weakref
from typing import (
    Any,
    Callable,
    Dict,
    Iterable,
    List,
    Mapping,
    Optional,
    Sequence,
    Tuple,
    Union,
)

from . import _tvx
from ._fields import _Fields, _Frozen, _put, _short
from ._later import Later, lines, now
from ._properties import (
    Colour,
    ColourKind,
    Enumerated,
    Picture,
    Properties,
    Property,
    PropertyType,
    Span,
)

__all__ = [
    "MAX_POSITION",
    "BlockLine",
    "Code",
    "CodeOutcome",
    "Colour",
    "ColourKind",
    "Control",
    "Decoded",
    "Enumerated",
    "Explanation",
    "Form",
    "FramePart",
    "LineSource",
    "Picture",
    "Property",
    "PropertyType",
    "ReadKind",
    "Record",
    "Scan",
    "ScanSummary",
    "Span",
    "Stop",
    "StopCode",
    "Value",
    "controls",
    "decode",
    "explain",
    "scan",
]

__version__: str = _tvx.VERSION

#: The largest position taken: 2**53, beyond any file.
MAX_POSITION: int = _tvx.MAX_POSITION

PathType = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


class StopCode(str, enum.Enum):
    """How a decode ended; the values are the JSON's ``stop.code``."""

    END_CODE = "end_code"
    INPUT_ENDED = "input_ended"
    STOPPED_BY_STREAM = "stopped_by_stream"
    INPUT_NOT_OPENED = "input_not_opened"
    INVALID_REQUEST = "invalid_request"


class ReadKind(str, enum.Enum):
    """What a read took; the values are the JSON's ``read``."""

    BYTE = "byte"
    WORD = "word"
    LONG = "long"
    ZERO_TERMINATED_TEXT = "zero_terminated_text"
    TEXT = "text"
    UTF16_TEXT = "utf16_text"
    SKIPPED = "skipped"
    CONTROL_BLOCK_GAP = "control_block_gap"
    PICTURE_HEADER = "picture_header"
    PICTURE_BYTES = "picture_bytes"


class FramePart(str, enum.Enum):
    """A part of a property stream's frame; the values are the JSON's ``part``."""

    SECTION_A = "section_a"
    CONTROL_BLOCK = "control_block"
    SECTION_B = "section_b"


class CodeOutcome(str, enum.Enum):
    """What a section's code byte did; the values are the JSON's ``code.outcome``."""

    PROPERTY = "property"
    PASSED_OVER = "passed_over"
    STOPPED = "stopped"
    END_OF_SECTION = "end_of_section"


class LineSource(str, enum.Enum):
    """Where a property-block line came from; the values are the JSON's ``block[].source``."""

    READS = "reads"
    START_VALUE = "start_value"
    NOT_TRACED = "not_traced"
    NOT_LINKED = "not_linked"


class Control(_Frozen):
    """A control tvx decodes: one deliverable (plug-in) and its control class.

    ``name`` is the deliverable's name (``"SERLINK.SerialLink"``), ``class_word`` the control
    class its window caption names (``"MSComm"``), ``class_names`` the class names by which a
    compiled program's records name it (``("MSCommLib.MSComm",)``), ``caption`` the plug-in's
    window caption.
    """

    __slots__ = ("name", "class_word", "class_names", "caption")
    _fields = __slots__

    name: str
    class_word: str
    class_names: Tuple[str, ...]
    caption: str

    def __init__(
        self, name: str, class_word: str, class_names: Tuple[str, ...], caption: str
    ) -> None:
        _put(self, "name", name)
        _put(self, "class_word", class_word)
        _put(self, "class_names", tuple(class_names))
        _put(self, "caption", caption)


class Stop(_Frozen):
    """How and where a decode ended, as the JSON's ``stop``.

    ``code`` is a StopCode, ``text`` the same in words with where; ``position`` and ``offset``
    are those of the code byte that ended or stopped the decode, or where the next code byte
    would have been (None when no code was reached); ``byte`` is the code byte read there, or
    None.
    """

    __slots__ = ("code", "text", "position", "byte")
    _fields = ("code", "text", "position", "offset", "byte")

    code: StopCode
    text: str
    position: Optional[int]
    byte: Optional[int]

    def __init__(
        self, code: StopCode, text: str, position: Optional[int], byte: Optional[int]
    ) -> None:
        _put(self, "code", StopCode(code))
        _put(self, "text", text)
        _put(self, "position", position)
        _put(self, "byte", byte)

    @property
    def offset(self) -> Optional[int]:
        """The 0-based offset of ``position``, or None."""
        return None if self.position is None else self.position - 1


class Decoded(_Fields):
    """What a decode writes, as the plug-in writes its files.

    ``listing`` and ``block`` are the lines of the listing file and of the property block
    without their CR LF (joined with CR LF and each ended by one, they are the files' bytes),
    each a str with one character per byte: a list, or, where a line is longer than 64 KiB, a
    sequence that reads each such line from the file when asked for (the file, or the buffer
    given as ``data=``, stays open meanwhile), so that a decode holds no more memory than the
    command line whatever the stream claims. ``picture`` is the picture file's bytes when the
    stream holds a picture (a DragIcon), else None (one longer than 16 KiB is read from the file
    each time it is asked for), and ``picture_format`` its kind as a file
    extension (``"ico"``, ``"bmp"``, ``"gif"``, ``"jpg"``, ``"wmf"``, ``"emf"``, ``"cur"``, or
    ``"bin"``). ``stop`` tells how the decode ended: one that ends early is no error.
    ``control``, ``file`` (None for ``data=``), ``position`` and ``offsets`` are those asked for.

    ``properties`` maps each property of the block, by the name the block gives it, to its typed
    value: an int, bool, float or str (a stream text, one character per byte), None where the
    block states no value, an Enumerated (an int that knows its constant's name), a Picture, or a
    group (``Font``) as a mapping of its members. ``property_details`` maps the same names to
    Property objects (type, meaning, stored number, line text and the bytes each came from);
    ``to_dict()`` gives the record as ``tvx decode --json`` writes it, for json.dumps.
    """

    __slots__ = (
        "control",
        "file",
        "position",
        "offsets",
        "listing",
        "block",
        "_picture",
        "picture_format",
        "stop",
        "_properties",
    )
    _fields = (
        "control",
        "file",
        "position",
        "offset",
        "offsets",
        "stop",
        "listing",
        "block",
        "picture",
        "picture_format",
    )
    control: str
    file: Optional[str]
    position: int
    offsets: bool
    listing: Sequence[str]
    block: Sequence[str]
    picture_format: Optional[str]
    stop: Stop

    def __init__(
        self,
        control: str,
        file: Optional[str],
        position: int,
        offsets: bool,
        listing: Sequence[str],
        block: Sequence[str],
        picture: Union[bytes, Later, None],
        picture_format: Optional[str],
        stop: Stop,
        properties: Properties,
    ) -> None:
        self.control = control
        self.file = file
        self.position = position
        self.offsets = offsets
        self.listing = listing
        self.block = block
        self._picture = picture
        self.picture_format = picture_format
        self.stop = stop
        self._properties = properties

    @property
    def offset(self) -> int:
        """The 0-based offset of the stream's first byte."""
        return self.position - 1

    @property
    def picture(self) -> Optional[bytes]:
        """The picture file's bytes, or None."""
        return now(self._picture)  # type: ignore[no-any-return]

    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]:
        return Decoded, (self.control, self.file, self.position, self.offsets, list(self.listing),
                         list(self.block), self.picture, self.picture_format, self.stop,
                         self._properties)

    @property
    def properties(self) -> Mapping[str, Any]:
        """Each property's typed value, by name (read-only)."""
        return self._properties.values()

    @property
    def property_details(self) -> Mapping[str, Property]:
        """Each property's Property, by name (read-only)."""
        return self._properties.details()

    def to_dict(self) -> Dict[str, Any]:
        """The record as ``tvx decode --json`` writes it: plain dicts, lists, str, int, float,
        bool and None, for json.dumps."""
        rendered = self._properties.json()
        return {
            "schema": "tvx/2",
            "kind": "decode",
            "control": self.control,
            "file": self.file,
            "position": self.position,
            "offset": self.offset,
            "offsets": self.offsets,
            "stop": _stop_dict(self.stop),
            "picture": rendered["picture"],
            "properties": rendered["properties"],
            "property_details": rendered["property_details"],
            "listing": list(self.listing),
            "block": list(self.block),
        }

    def listing_bytes(self) -> bytes:
        """The listing file's bytes (``TEVOLIBFILE.TMP``)."""
        return _file_bytes(self.listing)

    def block_bytes(self) -> bytes:
        """The property block file's bytes (``TEVOLIBFILE2.TMP``)."""
        return _file_bytes(self.block)


def _stop_dict(stop: Stop) -> Dict[str, Any]:
    return {
        "code": stop.code.value,
        "text": stop.text,
        "position": stop.position,
        "offset": stop.offset,
        "byte": stop.byte,
    }


def _file_bytes(lines: List[str]) -> bytes:
    return b"".join(line.encode("latin-1") + b"\r\n" for line in lines)


class Code(_Frozen):
    """A section's code byte: ``code`` (its number), ``section`` (a FramePart) and
    ``outcome`` (a CodeOutcome)."""

    __slots__ = ("code", "section", "outcome")
    _fields = __slots__

    code: int
    section: FramePart
    outcome: CodeOutcome

    def __init__(self, code: int, section: FramePart, outcome: CodeOutcome) -> None:
        _put(self, "code", code)
        _put(self, "section", FramePart(section))
        _put(self, "outcome", CodeOutcome(outcome))


class Value(_Fields):
    """One value read by an explained decode, as in ``tvx explain --json``.

    ``position``/``offset`` of its first byte; ``size``, the bytes the read covers, and
    ``consumed``, those of them the file holds (fewer only at its end); ``read``, a ReadKind;
    ``value``, the number as the decoder reads it (signed where it reads it so), the text (one
    character per byte, whole however long: one longer than 16 KiB is read from the file each
    time it is asked for) or None; ``what``, what it was read as in words;
    ``part``, the FramePart it lies in; ``code``, a Code for a section's code byte, else None;
    ``listing_lines``, the numbers (from 0) of the listing lines it produced, and
    ``block_lines``, of the property-block lines it feeds.
    """

    __slots__ = (
        "position",
        "size",
        "consumed",
        "read",
        "_value",
        "what",
        "part",
        "code",
        "listing_lines",
        "block_lines",
    )
    _fields = (
        "position",
        "offset",
        "size",
        "consumed",
        "read",
        "value",
        "what",
        "part",
        "code",
        "listing_lines",
        "block_lines",
    )
    position: int
    size: int
    consumed: int
    read: ReadKind
    what: str
    part: FramePart
    code: Optional[Code]
    listing_lines: List[int]
    block_lines: List[int]

    def __init__(
        self,
        position: int,
        size: int,
        consumed: int,
        read: ReadKind,
        value: Union[int, str, Later, None],
        what: str,
        part: FramePart,
        code: Optional[Code],
        listing_lines: List[int],
        block_lines: List[int],
    ) -> None:
        self.position = position
        self.size = size
        self.consumed = consumed
        self.read = ReadKind(read)
        self._value = value
        self.what = what
        self.part = FramePart(part)
        self.code = code
        self.listing_lines = listing_lines
        self.block_lines = block_lines

    @property
    def offset(self) -> int:
        """The 0-based offset of the value's first byte."""
        return self.position - 1

    @property
    def value(self) -> Union[int, str, None]:
        """The number, the text or None."""
        return now(self._value)  # type: ignore[no-any-return]

    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]:
        return Value, (self.position, self.size, self.consumed, self.read, self.value, self.what,
                       self.part, self.code, self.listing_lines, self.block_lines)

    def _to_dict(self) -> Dict[str, Any]:
        return {
            "position": self.position,
            "offset": self.offset,
            "size": self.size,
            "consumed": self.consumed,
            "read": self.read.value,
            "value": self.value,
            "what": self.what,
            "part": self.part.value,
            "code": None if self.code is None else {
                "code": self.code.code,
                "section": self.code.section.value,
                "outcome": self.code.outcome.value,
            },
            "listing_lines": list(self.listing_lines),
            "block_lines": list(self.block_lines),
        }


class BlockLine(_Fields):
    """A property-block line and where it came from: ``line`` (its text), ``source`` (a
    LineSource) and ``from_`` (the positions of the values it came from; the JSON's ``from``)."""

    __slots__ = ("_line", "source", "from_")
    _fields = ("line", "source", "from_")
    source: LineSource
    from_: List[int]

    def __init__(self, line: Union[str, Later], source: LineSource, from_: List[int]) -> None:
        self._line = line
        self.source = LineSource(source)
        self.from_ = from_

    @property
    def line(self) -> str:
        """The line's text (one longer than 64 KiB is read from the file when asked for)."""
        return now(self._line)  # type: ignore[no-any-return]

    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]:
        return BlockLine, (self.line, self.source, self.from_)


class Explanation(_Fields):
    """Every value a decode read, with its bytes' places, as ``tvx explain --json`` gives it.

    ``values`` is a list of Value in stream order; ``listing`` the listing's lines;
    ``listing_before_reads`` the numbers of the listing lines written before any read;
    ``block`` the property block as a list of BlockLine; ``stop`` a Stop and ``picture_size``
    the picture file's size (or None); ``stopped`` says in words where and why the decode
    stopped; ``accounted`` is the count of bytes read, each once, from ``position`` on;
    ``file_size`` the file's size. With ``limit``, ``cut`` is True when the decode was stopped
    there: then ``stop`` and ``picture_size`` are None, ``block`` is empty and there are no
    ``properties``. ``properties`` and ``property_details`` are a Decoded's.
    """

    __slots__ = (
        "control",
        "file",
        "position",
        "offsets",
        "file_size",
        "cut",
        "values",
        "listing",
        "listing_before_reads",
        "block",
        "stop",
        "picture_size",
        "stopped",
        "accounted",
        "_properties",
    )
    _fields = (
        "control",
        "file",
        "position",
        "offset",
        "offsets",
        "file_size",
        "cut",
        "stop",
        "picture_size",
        "stopped",
        "accounted",
        "values",
        "listing",
        "listing_before_reads",
        "block",
    )
    control: str
    file: Optional[str]
    position: int
    offsets: bool
    file_size: int
    cut: bool
    values: List[Value]
    listing: Sequence[str]
    listing_before_reads: List[int]
    block: List[BlockLine]
    stop: Optional[Stop]
    picture_size: Optional[int]
    stopped: str
    accounted: int

    def __init__(
        self,
        control: str,
        file: Optional[str],
        position: int,
        offsets: bool,
        file_size: int,
        cut: bool,
        values: List[Value],
        listing: Sequence[str],
        listing_before_reads: List[int],
        block: List[BlockLine],
        stop: Optional[Stop],
        picture_size: Optional[int],
        stopped: str,
        accounted: int,
        properties: Optional[Properties] = None,
    ) -> None:
        self.control = control
        self.file = file
        self.position = position
        self.offsets = offsets
        self.file_size = file_size
        self.cut = cut
        self._properties = properties
        self.values = values
        self.listing = listing
        self.listing_before_reads = listing_before_reads
        self.block = block
        self.stop = stop
        self.picture_size = picture_size
        self.stopped = stopped
        self.accounted = accounted

    @property
    def offset(self) -> int:
        """The 0-based offset of the stream's first byte."""
        return self.position - 1

    def to_dict(self) -> Dict[str, Any]:
        """The explanation as ``tvx explain --json`` writes it: plain dicts, lists, str, int,
        bool and None, for json.dumps."""
        rendered = None if self._properties is None else self._properties.json()
        return {
            "schema": "tvx/2",
            "kind": "explain",
            "control": self.control,
            "file": self.file,
            "position": self.position,
            "offset": self.offset,
            "file_size": self.file_size,
            "cut": self.cut,
            "values": [v._to_dict() for v in self.values],
            "listing": list(self.listing),
            "listing_before_reads": list(self.listing_before_reads),
            "block": [{"line": b.line, "source": b.source.value, "from": list(b.from_)}
                      for b in self.block],
            "stop": None if self.stop is None else _stop_dict(self.stop),
            "picture": None if rendered is None else rendered["picture"],
            "properties": None if rendered is None else rendered["properties"],
            "property_details": None if rendered is None else rendered["property_details"],
            "stopped": self.stopped,
            "accounted": self.accounted,
        }

    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]:
        made, arguments = super().__reduce__()
        return made, arguments + (self._properties,)

    @property
    def properties(self) -> Mapping[str, Any]:
        """Each property's typed value, by name (empty when ``cut``)."""
        return _EMPTY if self._properties is None else self._properties.values()

    @property
    def property_details(self) -> Mapping[str, Property]:
        """Each property's Property, by name (empty when ``cut``)."""
        return _EMPTY if self._properties is None else self._properties.details()


_EMPTY: Mapping[str, Any] = types.MappingProxyType({})


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


def decode(
    control: Union[str, Control],
    file: Optional[PathType] = None,
    position: Optional[int] = None,
    offsets: bool = False,
    *,
    data: Any = None,
) -> Decoded:
    """The property stream at ``position`` of ``file`` decoded by ``control``, in this process,
    exactly as its plug-in decodes the host's request (``tvx decode``).

    ``control`` is a Control or its name, class word or a class name (any case); ``file`` a path,
    or ``data=`` any bytes-like object, read without a copy; ``position`` is 1-based, as the host
    sends it (an offset plus one). ``offsets=True`` gives the listing its offset lines, as a
    request with the flag ``Y`` does. The GIL is released while the decode runs.

    Returns a Decoded. A decode that ends early is no error: its ``stop`` says why. A file that
    cannot be read raises its OSError (FileNotFoundError, PermissionError, IsADirectoryError, ...);
    an unknown control raises ValueError naming the closest one.
    """
    name = _control_name(control)
    path, where = _input(file, data)
    start = _position(position)
    offsets = _flag(offsets, "offsets=")
    try:
        listing, block, picture, picture_format, stop, held = _tvx.decode(
            name, path, data, start, offsets
        )
    except OSError as error:
        error.filename = where  # as given ("-" is read as "./-")
        raise
    return Decoded(
        name,
        where,
        start,
        bool(offsets),
        lines(listing, held, 0),
        lines(block, held, 1),
        Later(held.picture) if isinstance(picture, int) else picture,
        picture_format,
        Stop(*stop),
        Properties(held),
    )


def explain(
    control: Union[str, Control],
    file: Optional[PathType] = None,
    position: Optional[int] = None,
    offsets: bool = False,
    *,
    data: Any = None,
    limit: Optional[int] = None,
) -> Explanation:
    """Every value the decode of ``control`` at ``position`` reads, with its place, bytes and
    meaning, and each property-block line with the values it came from (``tvx explain --json``).

    The arguments are ``decode``'s; ``limit`` stops the decode after that many values (then
    ``cut`` is True, and there is no stop, block or properties). Each block line is linked to
    the values whose bytes its property came from, at any stream length. The GIL is released
    while the work runs. Errors as for ``decode``.
    """
    name = _control_name(control)
    path, where = _input(file, data)
    start = _position(position)
    offsets = _flag(offsets, "offsets=")
    most = 0
    if limit is not None:
        most = _whole(limit, "limit=")
        if most < 1:
            raise ValueError(f"limit must be 1 or more, not {most}")
    try:
        x = _tvx.explain(name, path, data, start, offsets, most)
    except OSError as error:
        error.filename = where
        raise
    file_size, cut, rows, listing, before, block, stop, picture_size, stopped, accounted, held = x
    values = [
        Value(p, size, consumed, read, Later(held.value, value) if long else value, what, part,
              None if c is None else Code(*c), ll, bl)
        for p, size, consumed, read, value, what, part, c, ll, bl, long in rows
    ]
    return Explanation(
        name,
        where,
        start,
        bool(offsets),
        file_size,
        cut,
        values,
        lines(listing, held, 0),
        before,
        [BlockLine(Later(held.line, 1, i) if line is None else line, source, from_)
         for i, (line, source, from_) in enumerate(block)],
        None if stop is None else Stop(*stop),
        picture_size,
        stopped,
        accounted,
        None if cut else Properties(held),
    )


def _control_name(control: Union[str, Control]) -> str:
    if isinstance(control, Control):
        return control.name
    if not isinstance(control, str):
        raise TypeError(f"a control is a str or a tvx.Control, not {type(control).__name__}")
    return _tvx.control(control)


def _path(path: PathType) -> bytes:
    encoded = os.fsencode(path)
    if b"\0" in encoded:
        raise ValueError(f"a path has no NUL character: {path!r}")
    return encoded


def _input(file: Optional[PathType], data: Any) -> Tuple[bytes, Optional[str]]:
    """The path to read (empty for data) and the file as a Decoded shows it."""
    if data is not None:
        if file is not None:
            raise TypeError("give a file or data=, not both")
        return b"", None
    if file is None:
        raise TypeError("a file, or data=, is needed")
    path = _path(file)
    # "-" is a file of that name, not standard input as for the command.
    return (b"./-" if path == b"-" else path), os.fsdecode(path)


def _whole(value: object, what: str) -> int:
    try:
        return operator.index(value)  # type: ignore[arg-type]
    except TypeError:
        kind = type(value).__name__
        raise TypeError(f"{what} is a whole number (int), not {kind} {value!r}") from None


def _position(position: Optional[int]) -> int:
    if position is None:
        raise TypeError("a position is needed")
    number = _whole(position, "a position")
    if not 1 <= number <= MAX_POSITION:
        raise ValueError(f"position {number} is not from 1 to {MAX_POSITION}")
    return number


def _flag(value: object, what: str) -> bool:
    if not isinstance(value, bool):
        raise TypeError(f"{what} is True or False, not {value!r}")
    return value


def _some(value: Any, kind: type, what: str, one: str) -> Iterable[Any]:
    """One value of `kind`, or an iterable of them."""
    if isinstance(value, kind) and not isinstance(value, bool):
        return (value,)
    if isinstance(value, (str, bytes)) or not isinstance(value, collections.abc.Iterable):
        raise TypeError(f"{what} is {one} or several, not {value!r}")
    return value


def _text(value: object, what: str) -> str:
    if not isinstance(value, str):
        raise TypeError(f"a {what} is a str, not {type(value).__name__}")
    return value
