#!/usr/bin/env python3
"""The manual page names the commands and options `corvix --help` and each
`corvix COMMAND --help` print, no more and no fewer.

usage: manual_page_check.py CORVIX PAGE.1

The page's COMMANDS entries are tagged `COMMAND ... [--option]`, its OPTIONS
entries `--option` with the commands taking it in parentheses on the next
line (none for --help and --version, which every command takes)."""
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])--?[a-z][\w-]*")


def help_text(corvix, *args):
    return subprocess.run([corvix, *args, "--help"], capture_output=True, text=True, check=True).stdout


def help_section(text, title):
    """First words of the entries under "Title:" in CLI11's help."""
    words = []
    for block in text.split("\n\n"):
        lines = block.strip("\n").splitlines()
        if lines and lines[0] == title + ":":
            words += [line.split()[0] for line in lines[1:] if line.strip()]
    return words


def help_options(text):
    return {o for entry in help_section(text, "Options") for o in entry.split(",")}


def page_entries(page, section):
    """(tag, first body line) of each .TP entry of a section, roff removed."""
    text = re.sub(r"\\f[BIRP]|\\&", "", page).replace("\\-", "-")
    body = text.split(".SH " + section + "\n", 1)[1].split("\n.SH ", 1)[0]
    entries = []
    for chunk in body.split(".TP\n")[1:]:
        lines = [re.sub(r'^\.[A-Z]+ ?|"', "", line) for line in chunk.splitlines()]
        entries.append((lines[0], lines[1] if len(lines) > 1 else ""))
    return entries


def main(corvix, page_path):
    page = open(page_path, encoding="utf-8").read()
    top = help_text(corvix)
    faults = []

    def compare(what, page_names, help_names):
        if set(page_names) != set(help_names):
            faults.append(f"{what}: page {sorted(page_names)}, --help {sorted(help_names)}")

    commands = help_section(top, "Subcommands")
    documented = {tag.split()[0]: set(OPTION.findall(tag)) for tag, _ in page_entries(page, "COMMANDS")}
    compare("commands", documented, commands)
    takers = {}  # option -> commands whose --help lists it
    for command in commands:
        options = help_options(help_text(corvix, command)) - {"-h", "--help"}
        compare(f"options of {command}", documented.get(command, ()), options)
        for option in options:
            takers.setdefault(option, set()).add(command)
    everything = help_options(top) | set(takers)
    options_section = page_entries(page, "OPTIONS")
    compare("OPTIONS", {o for tag, _ in options_section for o in OPTION.findall(tag)}, everything)
    for tag, line in options_section:
        for option in OPTION.findall(tag):
            named = set(re.findall(r"\w+", line.split(")")[0])) if line.startswith("(") else set()
            compare(f"commands taking {option}", named, takers.get(option, ()))

    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
