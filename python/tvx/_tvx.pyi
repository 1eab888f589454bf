# The types of the compiled half of the package, tvx._tvx (python/src): what the package's own
# module calls. The package's types are annotated in __init__.py itself;
# python/tests/test_api.py holds this stub to the compiled module's names and parameters.
from typing import Any, Dict, List, Optional, Tuple, Type, Union

from . import Form, Record

MAX_POSITION: int
VERSION: str

# (code, text, position, byte): a stop as tvx.Stop takes it.
_Stop = Tuple[str, str, Optional[int], Optional[int]]

def controls() -> List[Tuple[str, str, Tuple[str, ...], str]]: ...
def control(name: str) -> str: ...
def processors() -> int: ...

class ScanRun:
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
        record: Type[Record],
        form: Type[Form],
    ) -> None: ...
    # A record of the class given (its slots filled, its __init__ not run); an OSError raised or
    # handed to the subclass's _onerror.
    def __next__(self) -> Record: ...
    def close(self) -> None: ...
    def _running(self) -> bool: ...
    def _counts(self) -> Optional[Dict[str, Any]]: ...

# A decoded record's properties, rendered as tvx's JSON renders them only when asked for.
# A decode as held: its properties' JSON text, and the texts it left in the file, read again.
class _Properties:
    def __init__(self, text: str) -> None: ...
    def text(self) -> str: ...
    def line(self, which: int, index: int) -> str: ...
    def picture(self) -> Optional[bytes]: ...
    def value(self, index: int) -> str: ...
    def values(self, enumerated: Any, picture: Any, proxy: Any) -> Optional[Mapping[str, Any]]: ...
    def long_lines(self) -> bool: ...

# (listing, block, picture, picture format, stop, properties); a line left in the file is None, a
# picture left there its size.
def decode(
    control: str, path: bytes, data: Any, position: int, offsets: bool
) -> Tuple[
    List[Optional[str]],
    List[Optional[str]],
    Union[bytes, int, None],
    Optional[str],
    _Stop,
    _Properties,
]: ...

# (file size, cut, values, listing, listing before reads, block, stop, picture size, stopped,
# accounted, properties); a value is (position, size, consumed, read, value, what, part, code, listing
# lines, block lines, long: its value a number for _Properties.value), a code (code, section,
# outcome), a block line (line, source, from). A line left in the file is None.
def explain(
    control: str, path: bytes, data: Any, position: int, offsets: bool, limit: int
) -> Tuple[
    int,
    bool,
    List[
        Tuple[
            int,
            int,
            int,
            str,
            Union[int, str, None],
            str,
            str,
            Optional[Tuple[int, str, str]],
            List[int],
            List[int],
            bool,
        ]
    ],
    List[Optional[str]],
    List[int],
    List[Tuple[Optional[str], str, List[int]]],
    Optional[_Stop],
    Optional[int],
    str,
    int,
    _Properties,
]: ...

# Each vocabulary's words (the enums' values), by the name the JSON schema gives it.
def vocabularies() -> Dict[str, List[str]]: ...
