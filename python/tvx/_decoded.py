"""A decode: what the plug-in writes, with its properties typed (tvx.decode)."""

from typing import (
    Any,
    Dict,
    Mapping,
    Optional,
    Sequence,
    Tuple,
    Union,
)

from . import _tvx
from ._common import (
    Control,
    PathType,
    Stop,
    _control_name,
    _file_bytes,
    _flag,
    _input,
    _position,
    _stop_dict,
)
from ._fields import _Fields
from ._later import Later, lines, now
from ._properties import Properties, Property


class Decoded(_Fields):
    """What a decode writes, as the plug-in writes its files.

    ``listing`` and ``block`` are the lines of the listing file and of the property block
    without their CR LF (joined with CR LF and each ended by one, they are the files' bytes),
    each a str with one character per byte: a list, or, where a line is longer than 64 KiB, a
    sequence that reads each such line from the file when asked for (the file, or the buffer
    given as ``data=``, stays open meanwhile), so that a decode holds no more memory than the
    command line whatever the stream claims; both are made when first asked for (a decode asked
    only for its properties does not pay for them). ``picture`` is the picture file's bytes when the
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
        "_listing",
        "_block",
        "_held",
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
    picture_format: Optional[str]
    stop: Stop

    def __init__(
        self,
        control: str,
        file: Optional[str],
        position: int,
        offsets: bool,
        listing: Optional[Sequence[str]],
        block: Optional[Sequence[str]],
        picture: Union[bytes, Later, None],
        picture_format: Optional[str],
        stop: Stop,
        properties: Properties,
        held: Any = None,
    ) -> None:
        self.control = control
        self.file = file
        self.position = position
        self.offsets = offsets
        # None until first asked for, where ``held`` makes them then (_tvx._Properties.lines).
        self._listing = listing
        self._block = block
        self._held = held
        self._picture = picture
        self.picture_format = picture_format
        self.stop = stop
        self._properties = properties

    def _lines(self) -> None:
        """Makes the lines of a decode that left them for when first asked for."""
        if self._held is not None:
            self._listing, self._block = self._held.lines()
            self._held = None

    @property
    def listing(self) -> Sequence[str]:
        """The listing file's lines."""
        self._lines()
        return self._listing  # type: ignore[return-value]

    @listing.setter
    def listing(self, lines: Sequence[str]) -> None:
        self._lines()
        self._listing = lines

    @property
    def block(self) -> Sequence[str]:
        """The property block file's lines."""
        self._lines()
        return self._block  # type: ignore[return-value]

    @block.setter
    def block(self, lines: Sequence[str]) -> None:
        self._lines()
        self._block = lines

    def _raw(self, name: str) -> Any:
        return getattr(self, name) if name in ("listing", "block") else super()._raw(name)

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
    later = listing is None  # the lines are made when first asked for
    return Decoded(
        name,
        where,
        start,
        bool(offsets),
        None if later else lines(listing, held, 0),
        None if later else lines(block, held, 1),
        Later(held.picture) if isinstance(picture, int) else picture,
        picture_format,
        Stop(*stop),
        Properties(held),
        held if later else None,
    )


