"""The base of the package's value objects."""

import enum
from typing import Any, Tuple


class _Fields:
    """Values compared, hashed and shown by their fields."""

    __slots__ = ()
    _fields: Tuple[str, ...] = ()

    def _values(self) -> Tuple[Any, ...]:
        return tuple(getattr(self, name) for name in self._fields)

    def __eq__(self, other: object) -> bool:
        if type(other) is not type(self):
            return NotImplemented
        return self._values() == other._values()  # type: ignore[attr-defined]

    def __hash__(self) -> int:
        return hash(self._values())

    def __repr__(self) -> str:
        shown = ", ".join(f"{name}={_short(getattr(self, name))}" for name in self._fields)
        return f"{type(self).__name__}({shown})"


def _short(value: Any) -> str:
    """A field for __repr__: long lists and bytes by their size."""
    if isinstance(value, list) and len(value) > 3:
        return f"[{len(value)} items]"
    if isinstance(value, bytes) and len(value) > 16:
        return f"<{len(value)} bytes>"
    if isinstance(value, enum.Enum):
        return f"{type(value).__name__}.{value.name}"
    return repr(value)
