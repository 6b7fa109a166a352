#!/usr/bin/env python3
"""Runs each `corvix` example of the README (```sh blocks) and manual page (.EX/.EE) on the demo disc.
usage: docs_examples_check.py CORVIX MKDISC DEMO.json README.md PAGE.1"""
import os
import re
import subprocess
import sys
import tempfile

def examples(lines, opens, closes):
    """Lines starting "corvix " in blocks opens..closes; a drive mark in the two lines before exempts a block."""
    found, inside, exempt = [], False, False
    for n, line in enumerate(lines):
        if not inside and line == opens:
            inside, exempt = True, any("needs a drive" in before for before in lines[max(n - 2, 0):n])
        elif inside and line == closes:
            inside = False
        elif inside and not exempt and line.startswith("corvix "):
            found.append(line)
    return found


def main(corvix, mkdisc, description, readme, page):
    page_lines = [re.sub(r"\\f[BIRP]|\\&", "", line).replace("\\-", "-") for line in open(page).read().splitlines()]
    runs = {"README": examples(open(readme).read().splitlines(), "```sh", "```"),
            "manual page": examples(page_lines, ".EX", ".EE")}
    faults = [f"{where}: no examples found" for where, found in runs.items() if not found]
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([mkdisc, description, os.path.join(folder, "demo.iso")], check=True, capture_output=True)
        env = dict(os.environ, PATH=os.path.dirname(os.path.abspath(corvix)) + os.pathsep + os.environ["PATH"])
        for where, command in [(where, command) for where, commands in runs.items() for command in commands]:
            run = subprocess.run(command, shell=True, cwd=folder, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                                 text=True)
            if run.returncode != 0:
                faults.append(f"{where}: `{command}` ended with {run.returncode}: {run.stderr.strip()}")
    print("\n".join(faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
