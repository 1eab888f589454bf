"""`python3 -m pip install ./python` as a user runs it, in a fresh virtual environment of the
python3 on the PATH, with and without build isolation and with no package index: the package is
built by the in-tree backend, installed, gives what the build's own module gives, and uninstalls
whole. The CMake build is kept in build/python-wheel-build between runs."""

import json
import os
import shutil
import subprocess

import pytest
import tvx
from conftest import BUILD, SOURCE, samples

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


@pytest.mark.parametrize("isolation", [[], ["--no-build-isolation"]], ids=["isolated", "not"])
def test_pip_installs_the_package_into_a_fresh_venv(tmp_path, collection, isolation):
    venv = tmp_path / "venv"
    subprocess.run([interpreter(), "-m", "venv", str(venv)], check=True)
    python = str(venv / "bin" / "python")
    env = dict(os.environ, TVX_PYTHON_BUILD_DIR=str(BUILD / "python-wheel-build"),
               PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1")
    env.pop("PYTHONPATH", None)
    install = subprocess.run([python, "-m", "pip", "install", *isolation, str(SOURCE / "python")],
                             env=env, capture_output=True, text=True)
    assert install.returncode == 0, install.stdout + install.stderr
    wanted = [[deliverable, str(path), position] for deliverable, path, position in samples()]
    folder = str(collection)
    got = subprocess.run([python, "-c", CHECK, json.dumps(wanted), folder], env=env,
                         capture_output=True, text=True, cwd=tmp_path, check=True)
    installed = json.loads(got.stdout)
    assert installed["file"].startswith(str(venv))
    assert installed["version"] == tvx.__version__
    assert installed["decoded"] == [[d.listing, d.block, d.stop.code.value, len(d.picture or b"")]
                                    for d in (tvx.decode(*s) for s in wanted)]
    scanned = [[r.file, r.position, r.class_name] for r in tvx.scan(folder, all=True)]
    assert installed["scan"] == scanned and len(scanned) > 10
    subprocess.run([python, "-m", "pip", "uninstall", "-y", "tvx"], env=env, check=True,
                   capture_output=True)
    assert not list(venv.glob("lib/python*/site-packages/tvx*"))
