"""A decoded record's properties as typed values, and each one's detail.

The compiled module renders them once, as tvx's JSON does (``properties`` and
``property_details`` of ``tvx decode --json``); this module turns that into Python values on
first use, so that a decode whose properties are never looked at pays nothing for them.
"""

import enum
import json
import types
from typing import Any, Dict, Mapping, Optional, Tuple

from . import _tvx
from ._fields import _Fields


class PropertyType(str, enum.Enum):
    """What kind of value a property holds, as the JSON's ``type`` names it."""

    INTEGER = "integer"
    BOOLEAN = "boolean"
    ENUMERATED = "enumerated"
    FLAGS = "flags"
    FLOAT = "float"
    TEXT = "text"
    COLOUR = "colour"
    PICTURE = "picture"
    GROUP = "group"


class ColourKind(str, enum.Enum):
    """What a colour's number is: an RGB value, a system colour, or neither."""

    RGB = "rgb"
    SYSTEM = "system"
    OTHER = "other"


class Enumerated(int):
    """An enumerated property's number, which also knows the name of the control's constant for
    it (``constant``; None for a number the control defines no constant for). It is an int:
    compared, hashed and written to JSON as its number. It cannot be changed."""

    constant: Optional[str]

    def __new__(cls, value: int, constant: Optional[str]) -> "Enumerated":
        number = super().__new__(cls, value)
        object.__setattr__(number, "constant", constant)
        return number

    def __setattr__(self, name: str, value: Any) -> None:
        raise AttributeError("an Enumerated cannot be changed")

    def __delattr__(self, name: str) -> None:
        raise AttributeError("an Enumerated cannot be changed")

    def __repr__(self) -> str:
        return f"Enumerated({int(self)}, {self.constant!r})"


class Span(_Fields):
    """Bytes of the program file a value came from: ``position`` (1-based), ``offset`` and
    ``size``."""

    __slots__ = ("position", "size")
    _fields = ("position", "offset", "size")
    position: int
    size: int

    def __init__(self, position: int, size: int) -> None:
        self.position = position
        self.size = size

    @property
    def offset(self) -> int:
        """The 0-based offset of ``position``."""
        return self.position - 1


class Colour(_Fields):
    """A colour property's number: ``kind`` (a ColourKind), ``raw`` (the long the stream holds),
    ``red``, ``green`` and ``blue`` for an RGB value, ``index`` and ``name`` (None where the
    index has none) for a system colour."""

    __slots__ = ("kind", "raw", "red", "green", "blue", "index", "name")
    _fields = __slots__
    kind: ColourKind
    raw: int
    red: Optional[int]
    green: Optional[int]
    blue: Optional[int]
    index: Optional[int]
    name: Optional[str]

    def __init__(self, detail: Mapping[str, Any]) -> None:
        self.kind = ColourKind(detail["kind"])
        self.raw = detail["raw"]
        self.red = detail.get("red")
        self.green = detail.get("green")
        self.blue = detail.get("blue")
        self.index = detail.get("index")
        self.name = detail.get("name")


class Picture(_Fields):
    """The picture a stream holds: its ``format`` as a file extension, where its image starts
    (``position``, ``offset``), its ``size`` and its SHA-256 ``sha256`` in hexadecimal. The bytes
    themselves are Decoded.picture."""

    __slots__ = ("format", "position", "size", "sha256")
    _fields = ("format", "position", "offset", "size", "sha256")
    format: str
    position: Optional[int]
    size: int
    sha256: str

    def __init__(self, detail: Mapping[str, Any]) -> None:
        self.format = detail["format"]
        self.position = detail["position"]
        self.size = detail["size"]
        self.sha256 = detail["sha256"]

    @property
    def offset(self) -> Optional[int]:
        """The 0-based offset of ``position``, or None."""
        return None if self.position is None else self.position - 1


class Property(_Fields):
    """One property of a decoded record, as ``property_details`` of tvx's JSON gives it.

    ``name`` as the block spells it; ``type`` a PropertyType; ``value`` its typed value (as
    ``Decoded.properties`` holds it); ``meaning`` the constant's name of an enumerated value (None
    where there is none); ``stored`` the number the stream holds where the block states another
    (None where they agree); ``text`` the value as its block line shows it; ``line`` that line's
    index in the block (None for a value no line shows, ``derived``); ``alternate`` the value in
    another shape users know it in (None); ``bytes`` the Spans it came from (none for a start
    value); ``bits`` the set bits of a flags value, each ``(bit, names)``, and ``unnamed_bits``
    those no name covers; ``colour`` a Colour; ``members`` a group's Properties by name.
    """

    __slots__ = (
        "name",
        "type",
        "value",
        "meaning",
        "stored",
        "text",
        "line",
        "derived",
        "alternate",
        "bytes",
        "bits",
        "unnamed_bits",
        "colour",
        "members",
    )
    _fields = __slots__
    name: str
    type: PropertyType
    value: Any
    meaning: Optional[str]
    stored: Optional[int]
    text: Optional[str]
    line: Optional[int]
    derived: bool
    alternate: Optional[str]
    bytes: Tuple[Span, ...]
    bits: Tuple[Tuple[int, Tuple[str, ...]], ...]
    unnamed_bits: Optional[int]
    colour: Optional[Colour]
    members: Mapping[str, "Property"]

    def __init__(self, name: str, detail: Mapping[str, Any], value: Any) -> None:
        self.name = name
        self.type = PropertyType(detail["type"])
        self.value = value
        self.meaning = detail.get("meaning")
        self.stored = detail.get("stored")
        self.text = detail.get("text")
        self.line = detail.get("line")
        self.derived = bool(detail.get("derived", False))
        self.alternate = detail.get("alternate")
        self.bytes = tuple(Span(b["position"], b["size"]) for b in detail.get("bytes", ()))
        self.bits = tuple(
            (b["bit"], tuple(b["names"])) for b in detail.get("bits", ())
        )
        self.unnamed_bits = detail.get("unnamed_bits")
        colour = detail.get("colour")
        self.colour = None if colour is None else Colour(colour)
        self.members = types.MappingProxyType(
            {
                n: Property(n, d, value[n] if value is not None else None)
                for n, d in detail.get("members", {}).items()
            }
        )

    def __hash__(self) -> int:
        raise TypeError("a Property is not hashable: its members are a mapping")


def _typed(value: Any, detail: Mapping[str, Any]) -> Any:
    """A property's JSON value as its Python value."""
    kind = detail["type"]
    if kind == "group":
        return types.MappingProxyType(
            {n: _typed(value.get(n), d) for n, d in detail["members"].items()}
        )
    if kind == "picture":
        return None if value is None else Picture(value)
    if kind == "enumerated" and isinstance(value, int) and not isinstance(value, bool):
        return Enumerated(value, detail.get("meaning"))
    return value


class Properties:
    """A record's properties, made on first use from the compiled module's rendering."""

    __slots__ = ("_source", "_json", "_values", "_details")

    def __init__(self, source: Any) -> None:
        self._source = source
        self._json: Optional[Dict[str, Any]] = None
        self._values: Optional[Mapping[str, Any]] = None
        self._details: Optional[Mapping[str, Property]] = None

    def json(self) -> Dict[str, Any]:
        """{"picture", "properties", "property_details"} as tvx's JSON gives them."""
        if self._json is None:
            self._json = json.loads(self._source.text())
            self._source = None
        return self._json

    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]:
        # Pickled as the JSON text they are made from (the compiled half's object is not).
        return _from_text, (json.dumps(self.json()),)

    def values(self) -> Mapping[str, Any]:
        """Each property's typed value, by name."""
        if self._values is None and self._json is None:
            # Straight from the record where it is held (not after pickling).
            self._values = self._source.values(Enumerated, Picture, types.MappingProxyType)
        if self._values is None:
            raw = self.json()
            details = raw["property_details"]
            self._values = types.MappingProxyType(
                {n: _typed(v, details[n]) for n, v in raw["properties"].items()}
            )
        return self._values

    def details(self) -> Mapping[str, Property]:
        """Each property's Property, by name."""
        if self._details is None:
            values = self.values()
            self._details = types.MappingProxyType(
                {n: Property(n, d, values[n]) for n, d in self.json()["property_details"].items()}
            )
        return self._details


def _from_text(text: str) -> Properties:
    """Properties made from their JSON text (as pickled)."""
    return Properties(_tvx._Properties(text))
