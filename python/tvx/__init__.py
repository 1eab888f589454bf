"""Find the controls of compiled Visual Basic 6 programs, decode and explain their property streams.

What the command ``tvx`` does, as calls: ``scan`` finds the control records of program files (or
of any bytes), ``decode`` turns a control's property stream into the listing and the property
block its plug-in writes, and ``explain`` tells every value read with the bytes it came from.

Places in a file are positions, 1-based, as the host counts them; ``offset`` is the 0-based
offset a hex dump shows (position 1025 is offset 0x400). Texts read from a stream are ``str``
with one character per byte (``text.encode("latin-1")`` gives the bytes back).
"""

from . import _tvx
from ._common import (
    MAX_POSITION,
    Code,
    CodeOutcome,
    Control,
    FramePart,
    LineSource,
    ReadKind,
    Stop,
    StopCode,
)
from ._decoded import Decoded, decode
from ._explained import BlockLine, Explanation, Value, explain
from ._properties import (
    Colour,
    ColourKind,
    Enumerated,
    Picture,
    Property,
    PropertyType,
    Span,
)
from ._scan import Form, Record, Scan, ScanSummary, controls, scan

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

