#!/usr/bin/env python3
"""Writes a man page (section 1) from a program's own --help texts, so that the page says
what the program says: make_man.py PROGRAM OUT.1 [SUMMARY]

The overview (PROGRAM --help) gives the synopsis and the command list; each command's
COMMAND --help becomes a subsection, verbatim."""
import re
import subprocess
import sys


def run(args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def roff(text):
    """Escapes a block of text for a no-fill region: backslashes, and lines that roff would
    read as requests."""
    out = []
    for line in text.rstrip("\n").split("\n"):
        line = line.replace("\\", "\\e")
        if line.startswith((".", "'")):
            line = "\\&" + line
        out.append(line)
    return "\n".join(out)


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    program, out_path = sys.argv[1], sys.argv[2]
    overview = run([program, "--help"])
    version = run([program, "--version"]).split()[-1]
    name = re.match(r"usage: (\S+)", overview).group(1)
    summary = sys.argv[3] if len(sys.argv) == 4 else ""
    commands = re.findall(r"^  (\w+)\s+(.*)$", overview.split("commands:", 1)[1], re.M)

    page = [
        f'.TH {name.upper()} 1 "" "{name} {version}" "ZT615 desktop suite"',
        ".SH NAME",
        f"{name} \\- {summary}" if summary else name,
        ".SH SYNOPSIS",
        f".B {name}",
        ".I COMMAND",
        "[\\fIARGS\\fR...]",
        ".br",
        f".B {name} --help | --version",
        ".SH DESCRIPTION",
        ".nf",
        roff(overview.split("commands:", 1)[0].split("\n", 1)[1].strip("\n") or name),
        ".fi",
        ".SH COMMANDS",
    ]
    for command, _ in commands:
        page += [f".SS {command}", ".nf", roff(run([program, command, "--help"])), ".fi"]
    tail = overview.split("commands:", 1)[1]
    notes = [l for l in tail.split("\n") if l and not re.match(r"^  \w+\s", l)]
    if notes:
        page += [".SH NOTES", ".nf", roff("\n".join(notes)), ".fi"]
    page += [".SH VERSION", f"{name} {version}"]
    with open(out_path, "w", encoding="utf-8") as f:
        f.write("\n".join(page) + "\n")


if __name__ == "__main__":
    main()
