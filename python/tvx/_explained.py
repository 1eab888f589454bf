"""An explained decode: every value read, with its bytes' places (tvx.explain)."""

import types
from typing import (
    Any,
    Dict,
    List,
    Mapping,
    Optional,
    Sequence,
    Tuple,
    Union,
)

from . import _tvx
from ._common import (
    Code,
    Control,
    FramePart,
    LineSource,
    PathType,
    ReadKind,
    Stop,
    _control_name,
    _flag,
    _input,
    _position,
    _stop_dict,
    _whole,
)
from ._fields import _Fields
from ._later import Later, lines, now
from ._properties import Properties, Property


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


