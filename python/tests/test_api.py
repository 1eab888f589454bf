"""The package's face: its own module is annotated whole (the one source of its types) and the
stub of the compiled module (_tvx.pyi) holds that module's names and parameters; docs/python.md
holds the reference its docstrings make and its recipes run as written; the enums hold the
schema's names, controls() lists what `tvx help` lists, and the values show, compare, hash and
pickle as Python's values do."""

import ast
import copy
import csv
import io
import enum
import importlib.util
import inspect
import json
import mmap
import pickle
import re
import shutil
import typing

import pytest
import tvx
from conftest import SAMPLES, SOURCE, run_tvx, samples, tvx_json

STUB = ast.parse((SOURCE / "python" / "tvx" / "_tvx.pyi").read_text())


def load_reference():
    found = importlib.util.spec_from_file_location("api_reference",
                                                   SOURCE / "python" / "api_reference.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def stub_parameters(node):
    """The parameter names of a stub's def."""
    a = node.args
    return [p.arg for p in a.posonlyargs + a.args + a.kwonlyargs]


def compiled_parameters(function):
    """The parameter names pybind11 gives in the first line of a compiled function's docstring,
    "name(a: T, b: T) -> R"."""
    line = function.__doc__.splitlines()[0]
    inside = line[line.index("(") + 1:line.rindex(") ->")]
    return [part.split(":")[0].strip() for part in re.split(r",\s*(?![^\[]*\])", inside) if part]


def test_the_stub_holds_the_compiled_modules_names_and_parameters():
    compiled = tvx._tvx
    stubbed = {}
    for node in STUB.body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            stubbed[node.name] = node
        elif isinstance(node, ast.AnnAssign):
            stubbed[node.target.id] = node
    public = {n for n in dir(compiled) if not n.startswith("__")}
    assert public == set(stubbed)
    for name, node in stubbed.items():
        if isinstance(node, ast.FunctionDef):
            assert stub_parameters(node) == compiled_parameters(getattr(compiled, name)), name
        elif isinstance(node, ast.ClassDef):
            methods = {m.name: m for m in node.body if isinstance(m, ast.FunctionDef)}
            own = {n for n, m in vars(getattr(compiled, name)).items()
                   if callable(m) and (not n.startswith("__") or n in ("__init__", "__next__"))}
            assert set(methods) == own, name
            for method, m in methods.items():
                assert stub_parameters(m) == compiled_parameters(
                    getattr(getattr(compiled, name), method)), method


def public_callables():
    """The package's functions, and its classes' methods and properties of their own."""
    for name in tvx.__all__:
        thing = getattr(tvx, name)
        if inspect.isfunction(thing):
            yield name, thing
        elif inspect.isclass(thing) and not issubclass(thing, enum.Enum):
            for member, value in vars(thing).items():
                if isinstance(value, property):
                    yield f"{name}.{member}", value.fget
                elif inspect.isfunction(value) and (not member.startswith("_")
                                                    or member == "__init__"):
                    yield f"{name}.{member}", value


def test_the_package_is_annotated_whole():
    """Every parameter and result of the package's functions and methods, and every public slot
    of its values, carries a type that resolves."""
    checked = 0
    for name, function in public_callables():
        signature = inspect.signature(function)
        hints = typing.get_type_hints(function)
        wanted = {p for p in signature.parameters if p != "self"} | {"return"}
        assert wanted <= set(hints), (name, wanted - set(hints))
        checked += 1
    assert checked >= 20
    for name in tvx.__all__:
        thing = getattr(tvx, name)
        if inspect.isclass(thing) and hasattr(thing, "_fields"):
            slots = {s for s in thing.__slots__ if not s.startswith("_")}
            hinted = {n for n in typing.get_type_hints(thing) if not n.startswith("_")}
            assert slots == hinted, name


def test_the_document_holds_the_docstrings_reference():
    reference = load_reference()
    document = (SOURCE / "docs" / "python.md").read_text()
    assert reference.section(document) == reference.reference(), (
        "docs/python.md's reference is out of date: PYTHONPATH=build/python python3 "
        "python/api_reference.py --write docs/python.md")


SCHEMA = json.loads((SOURCE / "tools" / "tvx" / "tvx.schema.json").read_text())["$defs"]


ENUMS = {"stop_code": tvx.StopCode, "read_kind": tvx.ReadKind, "frame_part": tvx.FramePart,
         "code_outcome": tvx.CodeOutcome, "line_source": tvx.LineSource,
         "property_type": tvx.PropertyType, "colour_kind": tvx.ColourKind}


def test_the_enums_hold_cores_and_the_schemas_words():
    """Each enum's values are the words of core's vocabulary of that name, in its order, and the
    schema's."""
    vocabularies = tvx._tvx.vocabularies()
    assert set(vocabularies) == set(ENUMS)
    for name, words in vocabularies.items():
        assert [m.value for m in ENUMS[name]] == words == SCHEMA[name]["enum"], name
        assert all(m.name == m.value.upper() and m == m.value for m in ENUMS[name])


def test_controls_are_those_tvx_help_lists():
    help_text = run_tvx("help").stdout.decode()
    listed = help_text[help_text.index("The controls ("):].splitlines()[1:7]
    shown = [f"  {c.name} ({c.class_word}{'; ' if c.class_names else ''}"
             f"{' '.join(c.class_names)})" for c in tvx.controls()]
    assert [line.rstrip() for line in listed] == shown
    assert all(c.caption == f"Tevo Support Library ({c.class_word})" for c in tvx.controls())


def test_values_show_as_python_shows_them():
    (deliverable, path, position), = samples()[:1]
    decoded = tvx.decode(deliverable, path, position)
    assert repr(decoded.stop) == (
        f"Stop(code=StopCode.END_CODE, text={decoded.stop.text!r}, "
        f"position={decoded.stop.position}, offset={decoded.stop.position - 1}, byte=255)")
    assert repr(decoded).startswith(
        f"Decoded(control={deliverable!r}, file={str(path)!r}, position={position}, "
        f"offset={position - 1}, offsets=False, stop=Stop(")
    assert "block=[7 items]" in repr(decoded)
    record = tvx.Record("p.exe", 1025, "Agent1", "AgentObjectsCtl.Agent", deliverable)
    assert repr(record) == ("Record(file='p.exe', position=1025, offset=1024, name='Agent1', "
                            f"class_name='AgentObjectsCtl.Agent', control={deliverable!r}, "
                            "index=None, form=None)")
    assert record == tvx.Record("p.exe", 1025, "Agent1", "AgentObjectsCtl.Agent", deliverable)
    form = tvx.Form("frm\xe9", 20, 994, 375)
    arrayed = tvx.Record("p.exe", 1025, "Agent1", "AgentObjectsCtl.Agent", deliverable, 3, form)
    assert repr(form) == "Form(name='frm\xe9', kind=20, kind_name='mdi_form', offset=994, size=375)"
    assert (arrayed.shown_name, record.shown_name) == ("Agent1(3)", "Agent1")
    assert pickle.loads(pickle.dumps(arrayed)) == arrayed and hash(arrayed) == hash(
        pickle.loads(pickle.dumps(arrayed)))
    assert tvx.decode(tvx.controls()[0], path, position) == decoded
    assert tvx.__version__ == run_tvx("--version").stdout.decode().split()[-1]
    # A long text shows its start and its length, in a short list too.
    long = tvx.BlockLine("x" * 100 + "y" * 1_000_000, tvx.LineSource.READS, [1])
    assert repr(long) == ("BlockLine(line=" + repr("x" * 80) + "...<1000100 characters>, "
                          "source=LineSource.READS, from_=[1])")
    assert repr(tvx.Record(None, 1, "n", "c", None, b"data")).startswith("Record(file=None,")
    assert "<1000001 characters>]" in repr(tvx.BlockLine("", "reads", ["z" * 1_000_001]))


def test_only_values_that_cannot_change_hash():
    (deliverable, path, position), = samples()[:1]
    decoded = tvx.decode(deliverable, path, position)
    explained = tvx.explain(deliverable, path, position, limit=3)
    for changing in (decoded, explained, explained.values[0], tvx.BlockLine("a", "reads", []),
                     tvx.ScanSummary(1, 0, 2, 0, {}, 0, 0)):
        with pytest.raises(TypeError, match="unhashable type"):
            hash(changing)
    record = tvx.Record("p.exe", 1025, "Agent1", "AgentObjectsCtl.Agent", deliverable)
    for fixed, field in ((record, "name"), (decoded.stop, "text"), (tvx.controls()[0], "name"),
                         (explained.values[0].code, "code")):
        assert hash(fixed) == hash(copy.copy(fixed))
        with pytest.raises(AttributeError, match="cannot be changed"):
            setattr(fixed, field, "changed")
        with pytest.raises(AttributeError, match="cannot be changed"):
            delattr(fixed, field)
    assert len({record, tvx.Record("p.exe", 1025, "Agent1", "AgentObjectsCtl.Agent",
                                   deliverable)}) == 1


def test_values_pickle_as_made(tmp_path):
    (deliverable, path, position), = samples()[:1]
    for value in (tvx.decode(deliverable, path, position),
                  tvx.explain(deliverable, path, position), *tvx.controls()):
        assert pickle.loads(pickle.dumps(value)) == value
    # A record of data= leaves the data behind: it decodes once given it again.
    data = (SAMPLES / "example.exe").read_bytes() * 64
    found = next(tvx.scan(data=data, all=True, names="Merlin1"))
    carried = pickle.dumps(found)
    assert len(carried) < 1000 < len(data)
    again = pickle.loads(carried)
    assert again == found and copy.deepcopy(found) == found
    assert found.decode().block == tvx.decode(again.control, data=data,
                                              position=again.position).block
    with pytest.raises(ValueError, match="pickled or copied without the scan's data"):
        again.decode()
    # And so does one of an mmap, which itself cannot be pickled.
    mapped = tmp_path / "mapped.exe"
    mapped.write_bytes(data)
    with open(mapped, "rb") as f, mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as m:
        found = next(tvx.scan(data=m, all=True, names="Merlin1"))
        assert pickle.loads(pickle.dumps(found)) == found


def test_the_documents_recipes_run(tmp_path, monkeypatch, capsys, collection):
    """docs/python.md's recipes, every block of Python in it, run as written on a copy of the
    synthetic collection, against what the command finds and saves there (the pandas recipe where
    pandas is installed)."""
    document = (SOURCE / "docs" / "python.md").read_text()
    blocks = [b.split("```", 1)[0] for b in document.split("```python\n")[1:]]
    assert len(blocks) == 8
    shutil.copytree(collection, tmp_path / "old-builds", symlinks=True)
    (tmp_path / "forms").mkdir()
    shutil.copy(SAMPLES / "example.exe", tmp_path / "forms")
    (deliverable, comm, _), = [s for s in samples() if s[0] == "SERLINK.SerialLink"]
    shutil.copy(comm, tmp_path / "old-builds" / "serial.exe")
    monkeypatch.chdir(tmp_path)
    has_pandas = importlib.util.find_spec("pandas") is not None
    printed = []
    namespace = {}  # one after the other, as in a notebook
    for block in blocks:
        if "import pandas" in block and not has_pandas:
            printed.append(None)
            continue
        exec(compile(block, "docs/python.md", "exec"), namespace)
        printed.append(capsys.readouterr().out.splitlines())
    found = [d for d in tvx_json("scan", "old-builds", "--all") if d["kind"] == "scan_record"]
    counts = {}
    for d in found:
        counts[d["class"]] = counts.get(d["class"], 0) + 1
    assert sorted(printed[0]) == sorted(f"{n:6} {c}" for c, n in counts.items())
    serial = [d for d in found if d["control"] == deliverable]
    assert printed[1] == [f"{d['file']} {d['name']} 2 19200 8 1 end_code" for d in serial]
    assert serial
    table = run_tvx("scan", "old-builds", "--control", "adodc", "--csv", "--fields",
                    "file,name,Connect,UserName,Password").stdout.decode()
    rows = list(csv.reader(io.StringIO(table)))[1:]
    assert printed[2] == [" ".join([f, n] + [repr(v) for v in rest]) for f, n, *rest in rows]
    assert rows
    if has_pandas:
        assert len(printed[3]) == len(rows) + 1 and "Font.Name" in printed[3][0]
    run_tvx("scan", "old-builds", "--class", "Tevo.Host=ActiveXPlugin", "--out", "saved")
    saved = sorted(p.read_bytes() for p in (tmp_path / "saved").rglob("*")
                   if p.suffix not in (".txt", "") and p.is_file())
    assert sorted(p.read_bytes() for p in (tmp_path / "pictures").iterdir()) == saved and saved
    in_forms = [d for d in tvx_json("scan", "forms", "--class", "Tevo.Host=ActiveXPlugin")
                if d["kind"] == "scan_record"]

    def line(d):
        form = d["form"]["name"] if d["form"] else "(in no form)"
        name = d["name"] if d["index"] is None else f"{d['name']}({d['index']})"
        return f"{form} {name} {d['control']}"

    assert printed[5] == [line(d) for d in in_forms]
    assert printed[5][0] == "Form1 Merlin1(0) PERSONA.Persona"
    explained = tvx.explain("mscomm", "old-builds/serial.exe", 5121)
    assert len(printed[6]) == len(explained.block) + len(explained.values)
    (summary,) = [d for d in tvx_json("scan", "old-builds", "--all") if d["kind"] == "scan_summary"]
    assert printed[7] == [f"{len(found)} records, {summary['files']} files"]
    assert [pickle.loads(p) for p in namespace["parcels"]] == list(tvx.scan("old-builds", all=True))
