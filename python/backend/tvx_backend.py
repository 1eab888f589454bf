"""The build backend of the package tvx (PEP 517), kept in the tree so that a build needs nothing
from a package index: it runs CMake on the repository (the folder above python/) to build the
compiled module, then writes the wheel itself, a zip of the package's files and its .dist-info
(METADATA, WHEEL, RECORD). Python's standard library only.

Settings (pip's --config-settings, or the environment):
  build-dir / TVX_PYTHON_BUILD_DIR   a CMake build folder to build in and keep (default: a
                                     temporary one, removed afterwards)
"""

import base64
import hashlib
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import zipfile

PYTHON_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROOT = os.path.dirname(PYTHON_DIR)
PACKAGE_FILES = ("__init__.py", "__init__.pyi", "py.typed", "_fields.py", "_properties.py")


class UnsupportedOperation(Exception):
    """What a hook this backend does not offer raises (PEP 517)."""


def _project():
    """The [project] table's name, description and requires-python, and the repository's
    version."""
    with open(os.path.join(PYTHON_DIR, "pyproject.toml"), "rb") as f:
        text = f.read().decode("utf-8")
    try:
        import tomllib

        project = tomllib.loads(text)["project"]
    except ImportError:  # before Python 3.11: the plain "key = value" lines of [project]
        table = text.split("[project]", 1)[1].split("\n[", 1)[0]
        project = dict(re.findall(r'^([\w-]+)\s*=\s*"([^"]*)"', table, re.MULTILINE))
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        version = re.search(r"project\([^)]*\bVERSION\s+([0-9.]+)", f.read()).group(1)
    return project["name"], version, project["description"], project["requires-python"]


def _tag():
    """The wheel's tag for this interpreter: cp311-cp311-linux_x86_64, say."""
    impl = {"cpython": "cp", "pypy": "pp"}.get(sys.implementation.name, sys.implementation.name)
    version = f"{sys.version_info[0]}{sys.version_info[1]}"
    abi = impl + version + ("d" if hasattr(sys, "gettotalrefcount") else "")
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{impl}{version}-{abi}-{platform}"


def _dist_info(name, version, summary, requires):
    """The files of the .dist-info folder but RECORD, by name."""
    metadata = (
        "Metadata-Version: 2.1\n"
        f"Name: {name}\n"
        f"Version: {version}\n"
        f"Summary: {summary}\n"
        f"Requires-Python: {requires}\n"
    )
    wheel = (
        "Wheel-Version: 1.0\n"
        "Generator: tvx_backend\n"
        "Root-Is-Purelib: false\n"
        f"Tag: {_tag()}\n"
    )
    return {"METADATA": metadata.encode(), "WHEEL": wheel.encode()}


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    name, version, summary, requires = _project()
    folder = f"{name}-{version}.dist-info"
    os.makedirs(os.path.join(metadata_directory, folder), exist_ok=True)
    for file, data in _dist_info(name, version, summary, requires).items():
        with open(os.path.join(metadata_directory, folder, file), "wb") as f:
            f.write(data)
    return folder


def build_sdist(sdist_directory, config_settings=None):
    raise UnsupportedOperation(
        "tvx is built from a checkout of its repository (pip install ./python), not from an sdist"
    )


def _setting(config_settings, key, variable):
    value = (config_settings or {}).get(key)
    return value if value else os.environ.get(variable)


def _run(command):
    print("tvx_backend:", " ".join(command), file=sys.stderr, flush=True)
    subprocess.run(command, check=True)


def _build_module(build_dir):
    """Builds the compiled module for this interpreter; its path."""
    if not os.path.isfile(os.path.join(ROOT, "CMakeLists.txt")):
        raise RuntimeError(f"tvx builds from a checkout: {ROOT} is not the repository")
    cmake = shutil.which("cmake")
    if cmake is None:
        raise RuntimeError("CMake is missing (apt-get install cmake, or run scripts/deps.sh)")
    configure = [cmake, "-S", ROOT, "-B", build_dir]
    if not os.path.isfile(os.path.join(build_dir, "CMakeCache.txt")) and shutil.which("ninja"):
        configure += ["-G", "Ninja"]
    configure += [
        "-DCMAKE_BUILD_TYPE=Release",
        "-DTVX_PYTHON=ON",
        "-DTVX_BUILD_TESTS=OFF",
        # A newer compiler's new warning must not stop an install.
        "-DTVX_WERROR=OFF",
        f"-DPython_EXECUTABLE={sys.executable}",
    ]
    _run(configure)
    build = [cmake, "--build", build_dir, "--target", "tvx_python"]
    if "CMAKE_BUILD_PARALLEL_LEVEL" not in os.environ:
        build += ["--parallel", str(os.cpu_count() or 1)]
    _run(build)
    name = "_tvx" + sysconfig.get_config_var("EXT_SUFFIX")
    module = os.path.join(build_dir, "python", "tvx", name)
    if not os.path.isfile(module):
        raise RuntimeError(f"the build made no {module}")
    return module


def _record_line(arcname, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{arcname},sha256={digest},{len(data)}\n"


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    name, version, summary, requires = _project()
    kept = _setting(config_settings, "build-dir", "TVX_PYTHON_BUILD_DIR")
    build_dir = os.path.abspath(kept) if kept else tempfile.mkdtemp(prefix="tvx-python-build-")
    try:
        module = _build_module(build_dir)
        files = {}
        for file in PACKAGE_FILES:
            with open(os.path.join(PYTHON_DIR, "tvx", file), "rb") as f:
                files["tvx/" + file] = f.read()
        with open(module, "rb") as f:
            files["tvx/" + os.path.basename(module)] = f.read()
    finally:
        if not kept:
            shutil.rmtree(build_dir, ignore_errors=True)
    info = f"{name}-{version}.dist-info"
    for file, data in _dist_info(name, version, summary, requires).items():
        files[f"{info}/{file}"] = data
    wheel = f"{name}-{version}-{_tag()}.whl"
    record = "".join(_record_line(arcname, data) for arcname, data in files.items())
    record += f"{info}/RECORD,,\n"
    with zipfile.ZipFile(os.path.join(wheel_directory, wheel), "w", zipfile.ZIP_DEFLATED) as zf:
        for arcname, data in files.items():
            zf.writestr(_zip_entry(arcname, arcname.endswith(".so")), data)
        zf.writestr(_zip_entry(f"{info}/RECORD", False), record)
    return wheel


def _zip_entry(arcname, executable):
    entry = zipfile.ZipInfo(arcname, date_time=(1980, 1, 1, 0, 0, 0))
    entry.compress_type = zipfile.ZIP_DEFLATED
    entry.external_attr = (0o755 if executable else 0o644) << 16
    return entry
