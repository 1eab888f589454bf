"""``python -m tvx`` and the ``tvx`` command of an installed package: the tvx program that comes
with the package (its ``bin/tvx``, the plug-ins in its ``libexec/tvx``), run in place of this
process, so that its arguments, standard streams, signals and exit status are the program's own.
"""

from __future__ import annotations

import os
import signal
import subprocess
import sys
from typing import List, NoReturn, Optional

import tvx

PROGRAM = "tvx.exe" if os.name == "nt" else "tvx"


def program() -> str:
    """The path of the tvx program that comes with the package."""
    for folder in tvx.__path__:
        path = os.path.join(folder, "bin", PROGRAM)
        if os.path.isfile(path):
            return path
    raise FileNotFoundError(
        f"the tvx program is not in the package's bin folder ({', '.join(tvx.__path__)}): "
        "the package was built without it"
    )


def main(args: Optional[List[str]] = None) -> NoReturn:
    """Runs tvx with `args` (default: this process's); does not return."""
    args = sys.argv[1:] if args is None else args
    try:
        path = program()
    except FileNotFoundError as e:
        print(f"tvx: {e}", file=sys.stderr)
        sys.exit(1)
    if os.name == "nt":
        sys.exit(subprocess.call([path, *args]))
    sys.stdout.flush()
    sys.stderr.flush()
    # Python ignores SIGPIPE, and an ignored signal stays ignored across exec: tvx ends quietly
    # when a pipe's reader has gone, as it does when started by a shell.
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    os.execv(path, [path, *args])


if __name__ == "__main__":
    main()
