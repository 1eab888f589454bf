"""The package's small values (the enums, Control, Stop, Code) and the checks of the arguments
its calls take."""

import collections.abc
import enum
import operator
import os
from typing import (
    Any,
    Dict,
    Iterable,
    List,
    TYPE_CHECKING,
    Optional,
    Tuple,
    Union,
)

from . import _tvx
from ._fields import _Frozen, _put

#: The largest position taken: 2**53, beyond any file.
MAX_POSITION: int = _tvx.MAX_POSITION

if TYPE_CHECKING:
    PathType = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
else:  # os.PathLike takes no parameter at run time before Python 3.9
    PathType = Union[str, bytes, os.PathLike]


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
        _put(self, "code", _STOP_CODES.get(code) or StopCode(code))
        _put(self, "text", text)
        _put(self, "position", position)
        _put(self, "byte", byte)

    @property
    def offset(self) -> Optional[int]:
        """The 0-based offset of ``position``, or None."""
        return None if self.position is None else self.position - 1



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


# Each stop code by its value, and each control's name by the words it was asked for with (a
# bounded number of them): looked up once, not at every decode.
_STOP_CODES: Dict[str, StopCode] = {code.value: code for code in StopCode}
_CONTROL_NAMES: Dict[str, str] = {}


def _control_name(control: Union[str, Control]) -> str:
    if isinstance(control, Control):
        return control.name
    if not isinstance(control, str):
        raise TypeError(f"a control is a str or a tvx.Control, not {type(control).__name__}")
    name = _CONTROL_NAMES.get(control)
    if name is None:
        name = _tvx.control(control)  # ValueError naming the closest, for a word none has
        if len(_CONTROL_NAMES) < 256:
            _CONTROL_NAMES[control] = name
    return name


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
