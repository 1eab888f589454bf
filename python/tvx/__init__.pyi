# The types of the package tvx, for editors and type checkers (the package's docstrings tell the
# details). python/tests/test_api.py holds it to the package's own signatures.
import enum
import os
from typing import Any, Callable, Dict, Iterable, Iterator, List, Mapping, Optional, Tuple, Union

PathType = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]

__version__: str
MAX_POSITION: int

class StopCode(str, enum.Enum):
    END_CODE = "end_code"
    INPUT_ENDED = "input_ended"
    STOPPED_BY_STREAM = "stopped_by_stream"
    INPUT_NOT_OPENED = "input_not_opened"
    INVALID_REQUEST = "invalid_request"

class ReadKind(str, enum.Enum):
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
    SECTION_A = "section_a"
    CONTROL_BLOCK = "control_block"
    SECTION_B = "section_b"

class CodeOutcome(str, enum.Enum):
    PROPERTY = "property"
    PASSED_OVER = "passed_over"
    STOPPED = "stopped"
    END_OF_SECTION = "end_of_section"

class LineSource(str, enum.Enum):
    READS = "reads"
    START_VALUE = "start_value"
    NOT_TRACED = "not_traced"
    NOT_LINKED = "not_linked"

class Control:
    name: str
    class_word: str
    class_names: Tuple[str, ...]
    caption: str
    def __init__(
        self, name: str, class_word: str, class_names: Tuple[str, ...], caption: str
    ) -> None: ...

class Stop:
    code: StopCode
    text: str
    position: Optional[int]
    byte: Optional[int]
    def __init__(
        self, code: StopCode, text: str, position: Optional[int], byte: Optional[int]
    ) -> None: ...
    @property
    def offset(self) -> Optional[int]: ...

class Decoded:
    control: str
    file: Optional[str]
    position: int
    offsets: bool
    listing: List[str]
    block: List[str]
    picture: Optional[bytes]
    picture_format: Optional[str]
    stop: Stop
    def __init__(
        self,
        control: str,
        file: Optional[str],
        position: int,
        offsets: bool,
        listing: List[str],
        block: List[str],
        picture: Optional[bytes],
        picture_format: Optional[str],
        stop: Stop,
    ) -> None: ...
    @property
    def offset(self) -> int: ...
    def listing_bytes(self) -> bytes: ...
    def block_bytes(self) -> bytes: ...

class Code:
    code: int
    section: FramePart
    outcome: CodeOutcome
    def __init__(self, code: int, section: FramePart, outcome: CodeOutcome) -> None: ...

class Value:
    position: int
    size: int
    consumed: int
    read: ReadKind
    value: Union[int, str, None]
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
        value: Union[int, str, None],
        what: str,
        part: FramePart,
        code: Optional[Code],
        listing_lines: List[int],
        block_lines: List[int],
    ) -> None: ...
    @property
    def offset(self) -> int: ...

class BlockLine:
    line: str
    source: LineSource
    from_: List[int]
    def __init__(self, line: str, source: LineSource, from_: List[int]) -> None: ...

class Explanation:
    control: str
    file: Optional[str]
    position: int
    offsets: bool
    file_size: int
    cut: bool
    values: List[Value]
    listing: List[str]
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
        listing: List[str],
        listing_before_reads: List[int],
        block: List[BlockLine],
        stop: Optional[Stop],
        picture_size: Optional[int],
        stopped: str,
        accounted: int,
    ) -> None: ...
    @property
    def offset(self) -> int: ...

class Record:
    file: Optional[str]
    position: int
    name: str
    class_name: str
    control: Optional[str]
    def __init__(
        self,
        file: Optional[str],
        position: int,
        name: str,
        class_name: str,
        control: Optional[str],
        _data: Any = None,
    ) -> None: ...
    @property
    def offset(self) -> int: ...
    def decode(self, offsets: bool = False) -> Decoded: ...
    def explain(self, offsets: bool = False, limit: Optional[int] = None) -> Explanation: ...

class ScanSummary:
    files: int
    unreadable: int
    bytes: int
    records: int
    controls: Dict[str, int]
    other_classes: int
    not_programs: int
    def __init__(
        self,
        files: int,
        unreadable: int,
        bytes: int,
        records: int,
        controls: Dict[str, int],
        other_classes: int,
        not_programs: int,
    ) -> None: ...

class Scan(Iterator[Record]):
    summary: Optional[ScanSummary]
    def __init__(
        self, run: Any, data: Any, onerror: Optional[Callable[[OSError], object]]
    ) -> None: ...
    def __iter__(self) -> Scan: ...
    def __next__(self) -> Record: ...
    def close(self) -> None: ...
    def __enter__(self) -> Scan: ...
    def __exit__(self, *exc_info: Any) -> None: ...

def controls() -> Tuple[Control, ...]: ...
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
) -> Scan: ...
def decode(
    control: Union[str, Control],
    file: Optional[PathType] = None,
    position: Optional[int] = None,
    offsets: bool = False,
    *,
    data: Any = None,
) -> Decoded: ...
def explain(
    control: Union[str, Control],
    file: Optional[PathType] = None,
    position: Optional[int] = None,
    offsets: bool = False,
    *,
    data: Any = None,
    limit: Optional[int] = None,
) -> Explanation: ...
