"""The API reference of the package tvx, made from its docstrings: the section of docs/python.md
between its two reference marks.

    python3 python/api_reference.py                     prints it
    python3 python/api_reference.py --write docs/python.md   puts it in the document

(with the built package importable: PYTHONPATH=build/python). python/tests/test_api.py checks that
the document holds what this makes.
"""

import inspect
import sys

if __name__ == "__main__":
    # The package built with its compiled module (PYTHONPATH), not python/tvx beside this script.
    sys.path.pop(0)
import tvx  # noqa: E402

BEGIN = "<!-- reference: made by python/api_reference.py from the docstrings -->"
END = "<!-- reference end -->"

FUNCTIONS = ("controls", "scan", "decode", "explain")
CLASSES = ("Scan", "Record", "Decoded", "Stop", "Explanation", "Value", "Code", "BlockLine",
           "ScanSummary", "Control")
ENUMS = ("StopCode", "ReadKind", "FramePart", "CodeOutcome", "LineSource")


def signature(function, skip_self=False):
    """The parameters as a call shows them, without annotations."""
    parts = []
    star = False
    parameters = list(inspect.signature(function).parameters.values())
    for p in parameters[1:] if skip_self else parameters:
        if p.name.startswith("_"):
            continue
        if p.kind is p.VAR_POSITIONAL:
            parts.append("*" + p.name)
            star = True
            continue
        if p.kind is p.KEYWORD_ONLY and not star:
            parts.append("*")
            star = True
        parts.append(p.name if p.default is p.empty else f"{p.name}={p.default!r}")
    return "(" + ", ".join(parts) + ")"


def doc(thing):
    text = inspect.getdoc(thing)
    if not text:
        raise ValueError(f"{thing!r} has no docstring")
    return text


def members(cls):
    """The public methods and properties a class defines itself, in their order."""
    for name, member in vars(cls).items():
        if name.startswith("_"):
            continue
        if isinstance(member, property):
            yield f"`{cls.__name__}.{name}`", doc(member)
        elif inspect.isfunction(member):
            yield f"`{cls.__name__}.{name}{signature(member, skip_self=True)}`", doc(member)


def reference():
    out = ["## API reference", ""]
    for name in FUNCTIONS:
        function = getattr(tvx, name)
        out += [f"### `tvx.{name}{signature(function)}`", "", doc(function), ""]
    for name in CLASSES:
        cls = getattr(tvx, name)
        out += [f"### `class tvx.{name}`", "", doc(cls), ""]
        for title, text in members(cls):
            out += [f"- {title}: " + text.replace("\n", "\n  "), ""]
    for name in ENUMS:
        cls = getattr(tvx, name)
        values = ", ".join(f"`{m.name}` (`{m.value!r}`)" for m in cls)
        out += [f"### `class tvx.{name}({', '.join(b.__name__ for b in cls.__bases__)})`", "",
                doc(cls), "", f"Members: {values}.", ""]
    out += ["### `tvx.MAX_POSITION`", "", f"{tvx.MAX_POSITION}: the largest position taken.", ""]
    return "\n".join(out).rstrip("\n")


def section(document):
    """The reference as `document` holds it."""
    start = document.index(BEGIN) + len(BEGIN)
    return document[start:document.index(END)].strip("\n")


def main(args):
    text = reference()
    if args[:1] == ["--write"]:
        with open(args[1], encoding="utf-8") as f:
            document = f.read()
        start = document.index(BEGIN) + len(BEGIN)
        document = document[:start] + "\n" + text + "\n" + document[document.index(END):]
        with open(args[1], "w", encoding="utf-8") as f:
            f.write(document)
    else:
        print(text)


if __name__ == "__main__":
    main(sys.argv[1:])
