"""Texts a decode left in the file: read again when asked for.

A stream may claim a text or a picture as long as the file around it. A decode holds such a
text (longer than 64 KiB in a line, 16 KiB in a value) by its place, and keeps the file open
(or the buffer given as ``data=``) to read it when a line, a value or the picture is asked for;
a decode whose texts are all short holds them whole and keeps nothing open.
"""

from typing import Any, Iterator, List, Optional, Sequence, Tuple, Union, overload

from ._fields import _short


class Later:
    """A value read when asked for: ``read(*args)``, each time (nothing is kept)."""

    __slots__ = ("_read", "_args")

    def __init__(self, read: Any, *args: Any) -> None:
        self._read = read
        self._args = args

    def __call__(self) -> Any:
        return self._read(*self._args)

    def __repr__(self) -> str:
        return "<read from the file when asked for>"


def now(value: Any) -> Any:
    """The value, read if it was left in the file."""
    return value() if isinstance(value, Later) else value


class Lines(Sequence[str]):
    """Lines of a listing or a block of which some are long: each long one is read from the
    file when asked for. Compared, iterated and pickled like the list of its lines."""

    __slots__ = ("_lines", "_held", "_which")

    def __init__(self, lines: List[Optional[str]], held: Any, which: int) -> None:
        self._lines = lines
        self._held = held
        self._which = which

    def __len__(self) -> int:
        return len(self._lines)

    @overload
    def __getitem__(self, index: int) -> str: ...

    @overload
    def __getitem__(self, index: slice) -> List[str]: ...

    def __getitem__(self, index: Union[int, slice]) -> Union[str, List[str]]:
        if isinstance(index, slice):
            return [self[i] for i in range(*index.indices(len(self._lines)))]
        line = self._lines[index]
        if line is None:
            return self._held.line(self._which, index % len(self._lines))
        return line

    def __iter__(self) -> Iterator[str]:
        for i in range(len(self._lines)):
            yield self[i]

    def __eq__(self, other: object) -> bool:
        if isinstance(other, (list, Lines)):
            return len(self) == len(other) and all(a == b for a, b in zip(self, other))
        return NotImplemented

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self) -> str:
        shown = ["<long line>" if line is None else _short(line) for line in self._lines[:3]]
        more = f", ... {len(self._lines) - 3} more" if len(self._lines) > 3 else ""
        return f"Lines([{', '.join(shown)}{more}])"

    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]:
        return list, (list(self),)


def lines(raw: List[Optional[str]], held: Any, which: int) -> Sequence[str]:
    """The list itself when every line is held whole, else Lines reading the long ones."""
    return Lines(raw, held, which) if held.long_lines() else raw
