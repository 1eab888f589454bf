"""tvx.decode and Record.decode against the plug-ins' own files, written through their exchange
channel for the same request, and tvx.explain against `tvx explain --json`: on the samples, the
cases' streams and the synthetic collection; data= against the same bytes by path."""

import collections.abc
import hashlib
import json
import mmap
import pickle

import pytest
import tvx
from conftest import samples, tvx_json

SAMPLES = samples()


def expect_plugin_files(decoded, files):
    listing, block, picture = files
    assert decoded.listing_bytes() == listing
    assert decoded.block_bytes() == block
    assert decoded.picture == picture
    # The listing's last line tells how the decode ended: cut, stopped, or at the end code.
    last = listing.split(b"\r\n")[-2] if listing else b""
    code = (tvx.StopCode.INPUT_ENDED if last == b"Unexpected end of file" else
            tvx.StopCode.STOPPED_BY_STREAM if last.endswith(b" Parse Error") else
            tvx.StopCode.END_CODE)
    assert decoded.stop.code is code


@pytest.mark.parametrize("flag", ["N", "Y"])
@pytest.mark.parametrize("deliverable, path, position", SAMPLES, ids=[s[0] for s in SAMPLES])
def test_decode_of_a_sample_equals_the_plugins_files(plugins, deliverable, path, position, flag):
    files = plugins(deliverable).request(path, position, flag)
    decoded = tvx.decode(deliverable, path, position, offsets=flag == "Y")
    expect_plugin_files(decoded, files)
    assert (decoded.control, decoded.file, decoded.position, decoded.offset) == (
        deliverable, str(path), position, position - 1)
    assert tvx.decode(deliverable, data=path.read_bytes(), position=position,
                      offsets=flag == "Y").listing == decoded.listing


def test_decode_of_every_case_equals_the_plugins_files(plugins, cases):
    for deliverable, case, program, place, position, flag in cases:
        files = plugins(deliverable).request(program, place, flag)
        decoded = tvx.decode(deliverable, program, position, offsets=flag == "Y")
        expect_plugin_files(decoded, files)
        stop = tvx_json("decode", deliverable, program, position)[0]["stop"]
        assert stop_json(decoded.stop) == stop, case
    assert len(cases) >= 60


def test_record_decode_equals_the_plugins_files(plugins, collection):
    compared = set()
    for record in tvx.scan(collection, classes={"Tevo.Host": "ActiveXPlugin"}):
        for flag in "NY":
            files = plugins(record.control).request(record.file, record.position, flag)
            expect_plugin_files(record.decode(offsets=flag == "Y"), files)
            data = (collection / record.file).read_bytes()
            in_memory = tvx.scan(data=data, positions=record.position, names=record.name,
                                 classes={"Tevo.Host": "ActiveXPlugin"})
            expect_plugin_files(next(in_memory).decode(offsets=flag == "Y"), files)
        compared.add(record.control)
    assert compared == {c.name for c in tvx.controls()}


def test_a_picture_and_its_format():
    (deliverable, path, position), = [s for s in SAMPLES if s[0] == "EMBEDHOST.Embedder"]
    decoded = tvx.decode("activexplugin", path, position)
    assert decoded.picture[:4] == b"\0\0\1\0" and decoded.picture_format == "ico"
    picture = decoded.properties["DragIcon"]
    assert (picture.format, picture.size) == ("ico", len(decoded.picture))
    assert picture.sha256 == hashlib.sha256(decoded.picture).hexdigest()
    assert path.read_bytes()[picture.offset:picture.offset + picture.size] == decoded.picture
    assert tvx_json("decode", deliverable, path, position)[0]["picture"] == {
        "format": "ico", "position": picture.position, "offset": picture.offset,
        "size": picture.size, "sha256": picture.sha256}
    with open(path, "rb") as f, mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as m:
        mapped = tvx.decode(deliverable, data=m, position=position)
    assert mapped.file is None
    mapped.file = decoded.file
    assert mapped == decoded


def stop_json(stop):
    return None if stop is None else {"code": stop.code.value, "text": stop.text,
                                      "position": stop.position, "offset": stop.offset,
                                      "byte": stop.byte}


def test_to_dict_is_the_commands_json(cases):
    """A Decoded's to_dict(), properties and their details included, is `tvx decode --json`."""
    inputs = [(d, p, n) for d, p, n in SAMPLES] + [(d, p, n) for d, _, p, _, n, _ in cases]
    for deliverable, path, position in inputs:
        decoded = tvx.decode(deliverable, path, position)
        values = decoded.properties  # made from the record, not from the JSON
        document = decoded.to_dict()
        assert json.loads(json.dumps(document)) == tvx_json(
            "decode", deliverable, path, position)[0], path
        pictures = {n for n, v in values.items() if isinstance(v, tvx.Picture)}
        assert {n: v for n, v in values.items() if n not in pictures} == {
            n: v for n, v in document["properties"].items() if n not in pictures}
        # The same Python values, of the same types, as those made from the JSON (unpickled).
        assert shapes(values) == shapes(pickle.loads(pickle.dumps(decoded)).properties), path


def shapes(values):
    """Each value with its type, an enumerated one's constant and a group's members."""
    return {n: shapes(v) if isinstance(v, collections.abc.Mapping) else
            (type(v), v, getattr(v, "constant", None)) for n, v in values.items()}


def test_typed_properties():
    """Numbers, booleans, texts, an enumerated value that names its constant, a group, a value
    users know in another shape; a value no constant names keeps its number alone."""
    by_name = {d: (p, n) for d, p, n in SAMPLES}
    adodc = tvx.decode("adodc", *by_name["RECNAV.Navigator"])
    props, details = adodc.properties, adodc.property_details
    assert props["CursorLocation"] == 3 and props["CursorLocation"].constant == "adUseClient"
    assert props["Enabled"] is True and props["Font"]["Name"] == "MS Sans Serif"
    assert props["Font"]["Size"] == 8.25 and isinstance(props["ConnectionTimeout"], int)
    assert props["Connect"].startswith("Provider=")
    assert details["Connect"].type is tvx.PropertyType.TEXT
    assert details["BackColor"].colour.name == "vbWindowBackground"
    assert details["BackColor"].stored == 0x80000005 and props["BackColor"] == -2147483643
    line = adodc.block[details["Connect"].line]
    assert line.startswith("Connect ") and line.endswith(details["Connect"].text)
    span = details["Connect"].bytes[0]
    raw = by_name["RECNAV.Navigator"][0].read_bytes()[span.offset:span.offset + span.size]
    assert raw[::2].decode("latin-1") == props["Connect"]
    comm = tvx.decode("mscomm", *by_name["SERLINK.SerialLink"])
    assert comm.properties["Settings"] == "19200,n,8,1"
    settings = comm.property_details["Settings"]
    assert settings.derived and settings.line is None
    assert comm.property_details["ParityReplace"].alternate == "?"
    # Handshaking 7: a number the control names no constant for.
    stream = b"\x2d" + bytes(56) + (7).to_bytes(2, "little") + bytes(10) + b"\xff"
    odd = tvx.decode("mscomm", data=stream, position=1)
    assert odd.properties["Handshaking"] == 7 and odd.properties["Handshaking"].constant is None
    with pytest.raises(TypeError):
        odd.properties["Handshaking"] = 1
    again = pickle.loads(pickle.dumps(adodc))
    assert again == adodc and again.to_dict() == adodc.to_dict()


def explanation_json(x):
    """An Explanation as `tvx explain --json` writes it, without the members that name the file."""
    document = x.to_dict()
    for member in ("schema", "kind", "file"):
        del document[member]
    return json.loads(json.dumps(document))


def cli_explanation(*args):
    document = tvx_json("explain", *args)[0]
    for member in ("schema", "kind", "file"):
        del document[member]
    return document


# (id, tvx.explain's options, tvx explain's arguments)
EXPLAINED = [
    ("whole", {}, []),
    ("offsets", {"offsets": True}, ["--offsets"]),
    ("limit", {"limit": 3}, ["--limit", "3"]),
]


@pytest.mark.parametrize("options, args", [e[1:] for e in EXPLAINED], ids=[e[0] for e in EXPLAINED])
def test_explain_equals_the_command(cases, options, args):
    inputs = [(d, p, n) for d, p, n in SAMPLES] + [(d, p, n) for d, _, p, _, n, _ in cases]
    for deliverable, path, position in inputs:
        x = tvx.explain(deliverable, path, position, **options)
        assert explanation_json(x) == cli_explanation(deliverable, path, position, *args), path
        in_memory = tvx.explain(deliverable, data=path.read_bytes(), position=position, **options)
        assert explanation_json(in_memory) == explanation_json(x)
    assert any(explanation_json(tvx.explain(d, p, n))["block"][1]["from"] for d, p, n in SAMPLES)


def test_a_decode_that_ends_early_is_no_error():
    (deliverable, path, position), = SAMPLES[:1]
    size = path.stat().st_size
    decoded = tvx.decode(deliverable, path, size + 10)
    assert decoded.stop.code is tvx.StopCode.INPUT_ENDED
    assert decoded.listing == ["Unexpected end of file"]
    assert stop_json(decoded.stop) == tvx_json("decode", deliverable, path, size + 10)[0]["stop"]
    assert tvx.explain(deliverable, path, size + 10).stop == decoded.stop
