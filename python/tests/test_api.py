"""The package's face: the stub (__init__.pyi) holds the package's own signatures, docs/python.md
holds the reference its docstrings make, the enums hold the schema's names, controls() lists what
`tvx help` lists, and the values show as Python shows values."""

import ast
import enum
import importlib.util
import inspect
import json
import shutil

import pytest
import tvx
from conftest import SOURCE, run_tvx, samples, tvx_json

STUB = ast.parse((SOURCE / "python" / "tvx" / "__init__.pyi").read_text())


def load_reference():
    found = importlib.util.spec_from_file_location("api_reference",
                                                   SOURCE / "python" / "api_reference.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def parameters(node, skip_self):
    """(name, kind, default as source) of each parameter of a stub's def."""
    a = node.args
    positional = a.posonlyargs + a.args
    defaults = [None] * (len(positional) - len(a.defaults)) + a.defaults
    found = [(p.arg, "positional", d and ast.unparse(d)) for p, d in zip(positional, defaults)]
    if a.vararg:
        found.append((a.vararg.arg, "var", None))
    found += [(p.arg, "keyword", d and ast.unparse(d)) for p, d in zip(a.kwonlyargs, a.kw_defaults)]
    if a.kwarg:
        found.append((a.kwarg.arg, "varkw", None))
    return found[1:] if skip_self else found


def runtime_parameters(function):
    kinds = {"POSITIONAL_ONLY": "positional", "POSITIONAL_OR_KEYWORD": "positional",
             "VAR_POSITIONAL": "var", "KEYWORD_ONLY": "keyword", "VAR_KEYWORD": "varkw"}
    return [(p.name, kinds[p.kind.name], None if p.default is p.empty else repr(p.default))
            for p in inspect.signature(function).parameters.values()]


def test_the_stub_holds_the_packages_signatures():
    stubbed = {node.name: node for node in STUB.body if isinstance(node, (ast.FunctionDef,
                                                                           ast.ClassDef))}
    assert set(tvx.__all__) - {"MAX_POSITION"} == set(stubbed)
    for name, node in stubbed.items():
        thing = getattr(tvx, name)
        if isinstance(node, ast.FunctionDef):
            assert parameters(node, False) == runtime_parameters(thing), name
            continue
        attributes = {n.target.id for n in node.body if isinstance(n, ast.AnnAssign)}
        if issubclass(thing, enum.Enum):
            members = {n.targets[0].id: n.value.value for n in node.body
                       if isinstance(n, ast.Assign)}
            assert members == {m.name: m.value for m in thing}, name
            continue
        if hasattr(thing, "__slots__"):
            assert attributes == {s for s in thing.__slots__ if not s.startswith("_")}, name
        for item in node.body:
            if not isinstance(item, ast.FunctionDef):
                continue
            member = inspect.getattr_static(thing, item.name)
            if isinstance(member, property):
                assert [ast.unparse(d) for d in item.decorator_list] == ["property"], item.name
            else:
                assert parameters(item, True) == runtime_parameters(member)[1:], item.name
        public = {n for n, m in vars(thing).items()
                  if not n.startswith("_") and (callable(m) or isinstance(m, property))}
        assert public <= {i.name for i in node.body if isinstance(i, ast.FunctionDef)}, name


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
                            f"class_name='AgentObjectsCtl.Agent', control={deliverable!r})")
    assert record == tvx.Record("p.exe", 1025, "Agent1", "AgentObjectsCtl.Agent", deliverable)
    assert len({record, tvx.Record("p.exe", 1025, "Agent1", "AgentObjectsCtl.Agent",
                                   deliverable)}) == 1
    assert tvx.decode(tvx.controls()[0], path, position) == decoded
    assert tvx.__version__ == run_tvx("--version").stdout.decode().split()[-1]


def test_the_documents_walk_through_runs(tmp_path, monkeypatch, capsys, collection):
    """docs/python.md's examples, run on a copy of the synthetic collection, against what the
    command finds and saves there."""
    document = (SOURCE / "docs" / "python.md").read_text()
    walk = document[document.index("## A walk through"):document.index("## How it behaves")]
    blocks = [b.split("```", 1)[0] for b in walk.split("```python\n")[1:]]
    assert len(blocks) == 4
    shutil.copytree(collection, tmp_path / "old-builds", symlinks=True)
    (deliverable, comm, _), = [s for s in samples() if s[0] == "SERLINK.SerialLink"]
    shutil.copy(comm, tmp_path / "old-builds" / "serial.exe")
    monkeypatch.chdir(tmp_path)
    printed = []
    namespace = {}  # one after the other, as in a notebook
    for block in blocks:
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
    run_tvx("scan", "old-builds", "--class", "Tevo.Host=ActiveXPlugin", "--out", "saved")
    saved = sorted(p.read_bytes() for p in (tmp_path / "saved").rglob("*")
                   if p.suffix not in (".txt", "") and p.is_file())
    assert sorted(p.read_bytes() for p in (tmp_path / "pictures").iterdir()) == saved and saved
    explained = tvx.explain("mscomm", "old-builds/serial.exe", 5121)
    assert len(printed[3]) == len(explained.block) + len(explained.values)

