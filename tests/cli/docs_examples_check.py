#!/usr/bin/env python3
"""Every `corvix` example in the README (its ```sh blocks) and in the manual
page (its .EX/.EE blocks) runs as written against the demo disc and succeeds.
A block marked as needing a drive (`<!-- needs a drive -->` or `.\\" needs a
drive` just before it) is left out.

usage: docs_examples_check.py CORVIX MKDISC DEMO.json README.md PAGE.1"""
import os
import re
import subprocess
import sys
import tempfile

DRIVE = "needs a drive"


def examples(lines, opens, closes):
    """The lines starting with "corvix " in each block from a line `opens`
    to a line `closes`, but for a block with the drive mark in one of the
    two lines before it."""
    found, inside, exempt = [], False, False
    for n, line in enumerate(lines):
        if not inside and line == opens:
            inside, exempt = True, any(DRIVE in before for before in lines[max(n - 2, 0):n])
        elif inside and line == closes:
            inside = False
        elif inside and not exempt and line.startswith("corvix "):
            found.append(line)
    return found


def page_lines(text):
    return [re.sub(r"\\f[BIRP]|\\&", "", line).replace("\\-", "-") for line in text.splitlines()]


def main(corvix, mkdisc, description, readme, page):
    runs = {"README": examples(open(readme, encoding="utf-8").read().splitlines(), "```sh", "```"),
                "manual page": examples(page_lines(open(page, encoding="utf-8").read()), ".EX", ".EE")}
    faults = [f"{where}: no examples found" for where, found in runs.items() if not found]
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([mkdisc, description, os.path.join(folder, "demo.iso")], check=True, capture_output=True)
        path = os.path.dirname(os.path.abspath(corvix)) + os.pathsep + os.environ.get("PATH", "")
        for where, commands in runs.items():
            for command in commands:
                run = subprocess.run(command, shell=True, cwd=folder, capture_output=True, text=True,
                                     env=dict(os.environ, PATH=path), stdin=subprocess.DEVNULL)
                if run.returncode != 0:
                    faults.append(f"{where}: `{command}` ended with {run.returncode}: {run.stderr.strip()}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
