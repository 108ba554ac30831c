#!/usr/bin/python3
"""The DLL in a folder where its log can't be created (a folder named
Quorvat.log stands in the file's way: the tests run as root, whom no
permission stops) runs its frames exactly as where it can: the same trace,
and no log to copy. Where it can, --log copies the log it made. Either way
the working directory keeps only the settings file and the log's place:
the copy of the DLL quorvat-sim.exe loaded from there went again after
the unload, as it must for a temporary folder to be removed.

    check_log_blocked.py WORK_DIR SCENARIO RUNNER... QUORVAT_SIM_EXE

RUNNER is how a Windows program runs here (scripts/wine-run and its prefix).
"""
import os
import shutil
import subprocess
import sys


def main(argv):
    if len(argv) < 4:
        print(__doc__.split("\n\n")[1].strip(), file=sys.stderr)
        return 2
    work, scenario, command = argv[1], argv[2], argv[3:]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "blocked", "Quorvat.log"))
    failures = []

    def run(folder):
        trace = os.path.join(work, folder + ".jsonl")
        log = os.path.join(work, folder + ".log")
        done = subprocess.run(command + ["run", scenario, "--workdir", os.path.join(work, folder),
                                         "--trace", trace, "--log", log],
                              capture_output=True, text=True)
        if done.returncode != 0:
            failures.append(f"{folder}: exit {done.returncode}\n{done.stderr}")
        with open(trace, "rb") as file:
            return file.read(), os.path.exists(log)

    free_trace, free_log = run("free")
    blocked_trace, blocked_log = run("blocked")
    if not free_log:
        failures.append("free: the module's log was not copied")
    if blocked_log:
        failures.append("blocked: a log was copied, though the module could make none")
    if b'"end":true' not in free_trace:
        failures.append("free: the trace has no end line")
    for folder in ("free", "blocked"):
        left = sorted(os.listdir(os.path.join(work, folder)))
        if left != ["Quorvat.ini", "Quorvat.log"]:
            failures.append(f"{folder}: the working directory keeps {left}")
    if blocked_trace != free_trace:
        failures.append("blocked: the trace differs from the one where the log could be made")

    for failure in failures:
        print(f"FAILED: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
