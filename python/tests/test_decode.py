"""tvx.decode and Record.decode against the plug-ins' own files, written through their exchange
channel for the same request, and tvx.explain against `tvx explain --json`: on the samples, the
cases' streams and the synthetic collection; data= against the same bytes by path."""

import mmap

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
    assert tvx_json("decode", deliverable, path, position)[0]["picture"] == {
        "size": len(decoded.picture)}
    with open(path, "rb") as f, mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as m:
        mapped = tvx.decode(deliverable, data=m, position=position)
    assert mapped.file is None
    mapped.file = decoded.file
    assert mapped == decoded


def stop_json(stop):
    return None if stop is None else {"code": stop.code.value, "text": stop.text,
                                      "position": stop.position, "offset": stop.offset,
                                      "byte": stop.byte}


def explanation_json(x):
    """An Explanation as `tvx explain --json` writes it."""
    return {
        "control": x.control, "position": x.position, "offset": x.offset,
        "file_size": x.file_size, "cut": x.cut,
        "values": [{
            "position": v.position, "offset": v.offset, "size": v.size, "consumed": v.consumed,
            "read": v.read.value, "value": v.value, "what": v.what, "part": v.part.value,
            "code": None if v.code is None else {"code": v.code.code,
                                                 "section": v.code.section.value,
                                                 "outcome": v.code.outcome.value},
            "listing_lines": v.listing_lines, "block_lines": v.block_lines,
        } for v in x.values],
        "listing": x.listing, "listing_before_reads": x.listing_before_reads,
        "block": [{"line": b.line, "source": b.source.value, "from": b.from_} for b in x.block],
        "stop": stop_json(x.stop),
        "picture": None if x.picture_size is None else {"size": x.picture_size},
        "stopped": x.stopped, "accounted": x.accounted,
    }


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
