#!/usr/bin/env python3
"""Makes the tvx(1) manual page from tvx's own help: the overview, then each command's help.

usage: manpage.py TVX OUT
"""
import subprocess
import sys


def roff(text):
    """Help text as preformatted roff lines: backslashes escaped, no line taken for a request."""
    lines = []
    for line in text.rstrip("\n").split("\n"):
        line = line.replace("\\", "\\e")
        if line.startswith((".", "'")):
            line = "\\&" + line
        lines.append(line)
    return "\n".join(lines)


def main():
    tvx, out = sys.argv[1], sys.argv[2]
    run = lambda *args: subprocess.run([tvx, *args], check=True, capture_output=True).stdout.decode()
    version = run("--version").split()[-1]
    overview = run("help")
    commands = [line.split()[1] for line in overview.split("\n")
                if line.startswith("  tvx ") and not line.startswith("  tvx -")]
    page = [
        '.TH TVX 1 "" "tvx %s" "User Commands"' % version,
        ".SH NAME",
        "tvx \\- look into the property streams of compiled programs' controls and drive their plug-ins",
        ".SH SYNOPSIS",
        ".B tvx",
        ".I COMMAND ARGUMENTS",
        ".SH DESCRIPTION",
        ".nf",
        roff(overview),
        ".fi",
        ".SH COMMANDS",
    ]
    for name in commands:
        help_text = run("help", name)
        usage, _, rest = help_text.partition("\n")
        page += [".SS " + roff(usage[len("usage: "):]), ".nf", roff(rest.lstrip("\n")), ".fi"]
    page += [".SH SEE ALSO",
             "The documents in share/doc/tvx: tools.md tells every command, its JSON members and "
             "the schema file tvx.schema.json."]
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(page) + "\n")


main()
