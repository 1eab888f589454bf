"""`python3 -m pip install ./python` as a user runs it, in a fresh virtual environment of the
python3 on the PATH, with and without build isolation, editable, and with no package index: the
package is built by the in-tree backend, installed, gives what the build's own module gives, its
`tvx` command and `python -m tvx` are the build's tvx, and it uninstalls whole. The CMake build
is kept in build/python-wheel-build between runs."""

import json
import os
import shutil
import subprocess

import pytest
import tvx
from conftest import BUILD, SOURCE, TVX, samples

CHECK = """
import json, sys, tvx
samples = json.loads(sys.argv[1])
print(json.dumps({
    "file": tvx.__file__,
    "version": tvx.__version__,
    "decoded": [[d.listing, d.block, d.stop.code.value, len(d.picture or b"")]
                for d in (tvx.decode(*s) for s in samples)],
    "scan": [[r.file, r.position, r.class_name] for r in tvx.scan(sys.argv[2], all=True)],
}))
"""


def interpreter():
    """The python3 a user has on the PATH (not necessarily the one running the tests)."""
    found = shutil.which("python3")
    assert found, "no python3 on the PATH"
    return found


# (id, pip install's options, where the installed package's files lie)
MODES = [
    ("isolated", [], "venv"),
    ("not isolated", ["--no-build-isolation"], "venv"),
    ("editable", ["-e"], "source"),
]


@pytest.mark.parametrize("options, home", [m[1:] for m in MODES], ids=[m[0] for m in MODES])
def test_pip_installs_the_package_into_a_fresh_venv(tmp_path, collection, options, home):
    venv = tmp_path / "venv"
    subprocess.run([interpreter(), "-m", "venv", str(venv)], check=True)
    python = str(venv / "bin" / "python")
    env = dict(os.environ, TVX_PYTHON_BUILD_DIR=str(BUILD / "python-wheel-build"),
               PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1")
    env.pop("PYTHONPATH", None)
    install = subprocess.run([python, "-m", "pip", "install", *options, str(SOURCE / "python")],
                             env=env, capture_output=True, text=True)
    assert install.returncode == 0, install.stdout + install.stderr
    wanted = [[deliverable, str(path), position] for deliverable, path, position in samples()]
    folder = str(collection)
    got = subprocess.run([python, "-c", CHECK, json.dumps(wanted), folder], env=env,
                         capture_output=True, text=True, cwd=tmp_path, check=True)
    installed = json.loads(got.stdout)
    where = {"venv": venv, "source": SOURCE / "python" / "tvx"}[home]
    assert installed["file"].startswith(str(where))
    assert installed["version"] == tvx.__version__
    assert installed["decoded"] == [[d.listing, d.block, d.stop.code.value, len(d.picture or b"")]
                                    for d in (tvx.decode(*s) for s in wanted)]
    scanned = [[r.file, r.position, r.class_name] for r in tvx.scan(folder, all=True)]
    assert installed["scan"] == scanned and len(scanned) > 10
    if home == "venv":  # the programs and nothing else beside them
        (package,) = venv.glob("lib/python*/site-packages/tvx")
        assert sorted(p.name for p in (package / "bin").iterdir()) == ["tvx"]
        assert sorted(p.name for p in (package / "libexec" / "tvx").iterdir()) == sorted(
            f"{c.name}.tvx" for c in tvx.controls())
    # The command, both ways, is the build's tvx: the same bytes and status, for a decode, a
    # usage error and a plug-in driven through its channel (found beside the installed tvx).
    deliverable, sample, position = wanted[0]
    for args in (["decode", deliverable, sample, str(position)], ["stauts"],
                 ["host", deliverable, sample, str(position), "--json"]):
        built = subprocess.run([str(TVX), *args], capture_output=True, cwd=tmp_path)
        for command in ([str(venv / "bin" / "tvx")], [python, "-m", "tvx"]):
            ran = subprocess.run([*command, *args], capture_output=True, env=env, cwd=tmp_path)
            assert (ran.returncode, ran.stderr) == (built.returncode, built.stderr), command
            if args[0] == "host":
                assert json.loads(ran.stdout)["listing"] == json.loads(built.stdout)["listing"]
            else:
                assert ran.stdout == built.stdout
    # The plug-in wrote its files in its own folder, as for the host: they are none of pip's.
    for written in venv.glob("lib/python*/site-packages/tvx/libexec/tvx/TEVO*.TMP"):
        written.unlink()
    subprocess.run([python, "-m", "pip", "uninstall", "-y", "tvx"], env=env, check=True,
                   capture_output=True)
    assert not list(venv.glob("lib/python*/site-packages/*tvx*"))
    assert not (venv / "bin" / "tvx").exists()
