"""The build backend of the package tvx (PEP 517, and PEP 660 for an editable install), kept in
the tree so that a build needs nothing from a package index: it runs CMake on the repository (the
folder above python/) to build the compiled module and the programs the `tvx` command runs, then
writes the wheel itself, a zip of the package's files and its .dist-info (METADATA, WHEEL,
entry_points.txt, RECORD). Python's standard library only.

An editable wheel holds no package: a path hook that imports tvx from python/tvx, its compiled
module and programs from the build folder, which is kept.

Settings (pip's --config-settings, or the environment):
  build-dir / TVX_PYTHON_BUILD_DIR   a CMake build folder to build in and keep (default: a
                                     temporary one, removed afterwards; for an editable install,
                                     build-python-editable in the repository)
"""

import base64
import hashlib
import os
import re
import shutil
import stat
import subprocess
import sys
import sysconfig
import tempfile
import zipfile

PYTHON_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROOT = os.path.dirname(PYTHON_DIR)
# The package's own files (python/tvx), and those the build lays out beside them: the compiled
# module, tvx in bin/ and the plug-ins in libexec/tvx/.
PACKAGE_FILES = ("__init__.py", "__main__.py", "_tvx.pyi", "py.typed", "_common.py", "_decoded.py",
                 "_explained.py", "_fields.py", "_later.py", "_properties.py", "_scan.py")
PROGRAM_FOLDERS = ("bin", os.path.join("libexec", "tvx"))
ENTRY_POINTS = "[console_scripts]\ntvx = tvx.__main__:main\n"
EDITABLE_BUILD_DIR = os.path.join(ROOT, "build-python-editable")


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
    return {
        "METADATA": metadata.encode(),
        "WHEEL": wheel.encode(),
        "entry_points.txt": ENTRY_POINTS.encode(),
    }


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def get_requires_for_build_editable(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    name, version, summary, requires = _project()
    folder = f"{name}-{version}.dist-info"
    os.makedirs(os.path.join(metadata_directory, folder), exist_ok=True)
    for file, data in _dist_info(name, version, summary, requires).items():
        with open(os.path.join(metadata_directory, folder, file), "wb") as f:
            f.write(data)
    return folder


def prepare_metadata_for_build_editable(metadata_directory, config_settings=None):
    return prepare_metadata_for_build_wheel(metadata_directory, config_settings)


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


def _build_package(build_dir):
    """Builds the compiled module for this interpreter and the programs; the folder of the
    package as the build lays it out."""
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
    build = [cmake, "--build", build_dir, "--target", "tvx_python_package"]
    if "CMAKE_BUILD_PARALLEL_LEVEL" not in os.environ:
        build += ["--parallel", str(os.cpu_count() or 1)]
    _run(build)
    package = os.path.join(build_dir, "python", "tvx")
    module = os.path.join(package, "_tvx" + sysconfig.get_config_var("EXT_SUFFIX"))
    if not os.path.isfile(module):
        raise RuntimeError(f"the build made no {module}")
    return package


def _built_files(package):
    """The compiled module and the programs in the build's package folder, as the wheel's files:
    {name in the wheel: (bytes, executable)}. Only programs: a plug-in run from there (by an
    editable install's `tvx host`) leaves its listing and block files beside it."""
    found = [os.path.join(package, "_tvx" + sysconfig.get_config_var("EXT_SUFFIX"))]
    for folder in PROGRAM_FOLDERS:
        where = os.path.join(package, folder)
        found += [os.path.join(where, name) for name in sorted(os.listdir(where))
                  if os.access(os.path.join(where, name), os.X_OK)]
    files = {}
    for path in found:
        with open(path, "rb") as f:
            arcname = "tvx/" + os.path.relpath(path, package).replace(os.sep, "/")
            files[arcname] = (f.read(), os.access(path, os.X_OK))
    return files


def _record_line(arcname, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{arcname},sha256={digest},{len(data)}\n"


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    kept = _setting(config_settings, "build-dir", "TVX_PYTHON_BUILD_DIR")
    build_dir = os.path.abspath(kept) if kept else tempfile.mkdtemp(prefix="tvx-python-build-")
    try:
        files = _built_files(_build_package(build_dir))
    finally:
        if not kept:
            shutil.rmtree(build_dir, ignore_errors=True)
    for file in PACKAGE_FILES:
        with open(os.path.join(PYTHON_DIR, "tvx", file), "rb") as f:
            files["tvx/" + file] = (f.read(), False)
    return _write_wheel(wheel_directory, files)


# The editable install's path hook: tvx from python/tvx, with the build's package folder (the
# compiled module, the programs) as the second folder of the package.
FINDER = """import importlib.abc
import importlib.util
import sys

SOURCE = {source!r}
BUILT = {built!r}


class Finder(importlib.abc.MetaPathFinder):
    def find_spec(self, name, path=None, target=None):
        if name != "tvx":
            return None
        return importlib.util.spec_from_file_location(
            name, SOURCE + "/__init__.py", submodule_search_locations=[SOURCE, BUILT])


def install():
    if not any(type(f).__name__ == "Finder" and type(f).__module__ == __name__
               for f in sys.meta_path):
        sys.meta_path.append(Finder())
"""


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    kept = _setting(config_settings, "build-dir", "TVX_PYTHON_BUILD_DIR")
    package = _build_package(os.path.abspath(kept or EDITABLE_BUILD_DIR))
    finder = FINDER.format(source=os.path.join(PYTHON_DIR, "tvx"), built=package)
    files = {
        "__editable___tvx_finder.py": (finder.encode(), False),
        "__editable___tvx.pth": (b"import __editable___tvx_finder; "
                                 b"__editable___tvx_finder.install()\n", False),
    }
    return _write_wheel(wheel_directory, files)


def _write_wheel(wheel_directory, files):
    """The wheel of `files` ({name: (bytes, executable)}) and the .dist-info; its name."""
    name, version, summary, requires = _project()
    info = f"{name}-{version}.dist-info"
    for file, data in _dist_info(name, version, summary, requires).items():
        files[f"{info}/{file}"] = (data, False)
    wheel = f"{name}-{version}-{_tag()}.whl"
    record = "".join(_record_line(arcname, data) for arcname, (data, _) in files.items())
    record += f"{info}/RECORD,,\n"
    with zipfile.ZipFile(os.path.join(wheel_directory, wheel), "w", zipfile.ZIP_DEFLATED) as zf:
        for arcname, (data, executable) in files.items():
            zf.writestr(_zip_entry(arcname, executable), data)
        zf.writestr(_zip_entry(f"{info}/RECORD", False), record)
    return wheel


def _zip_entry(arcname, executable):
    entry = zipfile.ZipInfo(arcname, date_time=(1980, 1, 1, 0, 0, 0))
    entry.compress_type = zipfile.ZIP_DEFLATED
    # A regular file's mode: pip makes a file executable only when its entry says both.
    entry.external_attr = (stat.S_IFREG | (0o755 if executable else 0o644)) << 16
    return entry
