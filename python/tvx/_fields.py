"""The base of the package's value objects."""

import collections.abc
import enum
from typing import Any, Tuple


class _Fields:
    """Values compared and shown by their fields, pickled as made. They hold lists, which may be
    changed: they are not hashed (_Frozen ones are)."""

    __slots__ = ()
    _fields: Tuple[str, ...] = ()

    def _values(self) -> Tuple[Any, ...]:
        return tuple(getattr(self, name) for name in self._fields)

    def __eq__(self, other: object) -> bool:
        if type(other) is not type(self):
            return NotImplemented
        return self._values() == other._values()  # type: ignore[attr-defined]

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self) -> str:
        shown = ", ".join(f"{name}={_short(self._raw(name))}" for name in self._fields)
        return f"{type(self).__name__}({shown})"

    def _raw(self, name: str) -> Any:
        # A field that may be read from the file when asked for (a long text) keeps what stands
        # for it in a slot of its name with a leading underscore: shown without reading it.
        hidden = "_" + name
        return getattr(self, hidden) if hidden in type(self).__slots__ else getattr(self, name)

    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]:
        # The arguments it was made with, its public slots in their order (a record's data is
        # not one: see Record).
        return type(self), tuple(getattr(self, n) for n in self.__slots__ if not n.startswith("_"))


# How a _Frozen value fills its slots, once.
_put = object.__setattr__


class _Frozen(_Fields):
    """Values that do not change once made, hashed by their fields."""

    __slots__ = ()

    def __setattr__(self, name: str, value: Any) -> None:
        raise AttributeError(f"a {type(self).__name__} cannot be changed")

    def __delattr__(self, name: str) -> None:
        raise AttributeError(f"a {type(self).__name__} cannot be changed")

    def __hash__(self) -> int:
        return hash(self._values())


# A text longer than _LONG characters shows its first _SHOWN in __repr__.
_LONG = 200
_SHOWN = 80


def _short(value: Any) -> str:
    """A field for __repr__: long lists, bytes and texts by their size (a text by its start)."""
    if isinstance(value, collections.abc.Sequence) and not isinstance(value, (str, bytes, tuple)) \
            and len(value) > 3:
        return f"[{len(value)} items]"
    if isinstance(value, (list, tuple)):
        inner = ", ".join(_short(v) for v in value)
        if isinstance(value, list):
            return f"[{inner}]"
        return f"({inner}{',' if len(value) == 1 else ''})"
    if isinstance(value, bytes) and len(value) > 16:
        return f"<{len(value)} bytes>"
    if isinstance(value, str) and len(value) > _LONG:
        return f"{value[:_SHOWN]!r}...<{len(value)} characters>"
    if isinstance(value, enum.Enum):
        return f"{type(value).__name__}.{value.name}"
    return repr(value)
