#!/usr/bin/python3
"""Every scenario of the corpus gives the same trace and exit status with
[Settings] Log=1 as without: the support log changes nothing the module asks
of the game, the host or the operating system.

    check_log_unchanged.py QUORVAT_SIM SOURCE_DIR WORK_DIR

The corpus is what scripts/cross-check runs: every *.json under scenarios/
and tests/. A scenario's copy with the log on has Log=1 as the first line of
its first [Settings] section, found by the settings reader's rules, or in a
[Settings] section of its own at the end when it has none; one without a
settings file gets a file holding only that section, in which every other
read gives its default, as no file does. A file that is no clean JSON object
with settings text or none (the malformed ones), or whose settings hold a
NUL, runs unchanged in both lists. Both lists run in one
`quorvat-sim batch`. A run that reads Log must have made a log with it on:
otherwise the setting never took effect and the comparison proves nothing.
"""
import json
import os
import shutil
import subprocess
import sys

# What the settings reader counts as blanks around names and values.
BLANKS = " \t\r\n\v\f"
LOG_READ = '"api":"GetPrivateProfileIntW","args":["Settings","Log",0]'


def corpus(root):
    found = set()
    for top in ("scenarios", "tests"):
        for folder, _, files in os.walk(os.path.join(root, top)):
            found.update(os.path.join(folder, name) for name in files if name.endswith(".json"))
    return sorted(found)


def clean_json(path):
    """The scenario as an object, or None when reading and writing it back
    could change what the harness makes of it."""

    def no_duplicates(pairs):
        if len({key for key, _ in pairs}) != len(pairs):
            raise ValueError("a field given twice")
        return dict(pairs)

    def refuse(name):
        raise ValueError(name)

    try:
        with open(path, encoding="utf-8") as file:
            data = json.loads(file.read(), object_pairs_hook=no_duplicates, parse_constant=refuse)
    except (ValueError, UnicodeDecodeError):
        return None
    return data if isinstance(data, dict) else None


def ascii_lower(text):
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in text)


def with_log_on(settings):
    if settings is None:
        return "[Settings]\nLog=1\n"
    eol = "\r\n" if "\r\n" in settings else "\n"
    # A UTF-8 byte-order mark is no part of the first line; without one,
    # line ends, brackets and blanks are the same bytes however the reader
    # decodes the rest.
    at = 1 if settings.startswith("\ufeff") else 0
    while at < len(settings):
        end = at
        while end < len(settings) and settings[end] not in "\r\n":
            end += 1
        line = settings[at:end].strip(BLANKS)
        if (line.startswith("[") and "]" in line
                and ascii_lower(line[1:line.rindex("]")].strip(BLANKS)) == "settings"):
            if end == len(settings):
                return settings + eol + "Log=1" + eol
            after = end + (2 if settings[end:end + 2] == "\r\n" else 1)
            return settings[:after] + "Log=1" + eol + settings[after:]
        at = end + 1
    if settings and settings[-1] not in "\r\n":
        settings += eol
    return settings + "[Settings]" + eol + "Log=1" + eol


def read(path):
    try:
        with open(path, "rb") as file:
            return file.read()
    except FileNotFoundError:
        return None


def main(argv):
    if len(argv) != 4:
        print(__doc__.split("\n\n")[1].strip(), file=sys.stderr)
        return 2
    sim, root, work = argv[1:4]
    # Nothing of an earlier run may count: a log left there would pass.
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "log-on"))
    originals = corpus(root)
    copies = []
    unchanged = 0
    for index, path in enumerate(originals):
        scenario = clean_json(path)
        settings = scenario.get("settings") if scenario is not None else 0
        # A NUL may end a line for one reader and not for another.
        if not isinstance(settings, (str, type(None))) or "\0" in (settings or ""):
            copies.append(path)
            unchanged += 1
            continue
        scenario["settings"] = with_log_on(settings)
        copy = os.path.join(work, "log-on", f"{index}-{os.path.basename(path)}")
        with open(copy, "w", encoding="utf-8") as file:
            json.dump(scenario, file)
        copies.append(copy)

    listing = os.path.join(work, "list.txt")
    with open(listing, "w", encoding="utf-8") as file:
        file.writelines(os.path.abspath(path) + "\n" for path in originals + copies)
    out = os.path.join(work, "out")
    done = subprocess.run([sim, "batch", listing, "--out", out], capture_output=True, text=True)
    if done.returncode != 0:
        print(f"FAILED: quorvat-sim batch exited {done.returncode}\n{done.stderr}")
        return 1

    failures = []
    logs = 0
    for index, path in enumerate(originals):
        name = os.path.relpath(path, root)
        off = os.path.join(out, str(index))
        on = os.path.join(out, str(index + len(originals)))
        status_off, status_on = read(off + ".status"), read(on + ".status")
        if status_off != status_on:
            failures.append(f"{name}: exit status {status_off} without the log, {status_on} with it")
            continue
        trace_off, trace_on = read(off + ".jsonl") or b"", read(on + ".jsonl") or b""
        if trace_off != trace_on:
            lines_off, lines_on = trace_off.splitlines(), trace_on.splitlines()
            at = next((i for i, pair in enumerate(zip(lines_off, lines_on)) if pair[0] != pair[1]),
                      min(len(lines_off), len(lines_on)))
            def line(lines):
                return lines[at].decode("utf-8", "replace") if at < len(lines) else "(none)"

            failures.append(f"{name}: traces differ at line {at + 1}:\n"
                            f"  without: {line(lines_off)}\n  with:    {line(lines_on)}")
            continue
        if read(on + ".log") is not None:
            logs += 1
        elif status_on == b"0\n" and LOG_READ.encode() in trace_on:
            failures.append(f"{name}: Log was read, but its copy with Log=1 made no log")

    for failure in failures:
        print(f"FAILED: {failure}")
    if not failures:
        print(f"{len(originals)} scenarios: the same traces and exit status with Log=1 as without "
              f"({logs} made a log with it; {unchanged} left as they are)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
