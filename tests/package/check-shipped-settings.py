#!/usr/bin/env python3
# The settings file as it ships, put beside the module by a scenario, gives
# the module's defaults in the trace's end state, with the two aids it turns
# on (the hint in the stamp's place, the clock read for the seconds label),
# a history of 60 seconds, the support log (which Log=0 turns off, the
# trace unchanged) and four vehicles around the player followed; and it sets every key itself, so that a
# player's change to a value takes effect (a misspelt key would also read as
# its default).
#   check-shipped-settings.py QUORVAT_SIM SETTINGS_PROBE QUORVAT_INI SCENARIO WORK
import json
import pathlib
import shutil
import subprocess
import sys

DEFAULTS = {"enableKey": 118, "recSize": 2000, "pushMode": 1}


def run_sim(sim, scenario, trace, *more):
    run = subprocess.run([sim, "run", str(scenario), "--trace", str(trace), *more],
                         capture_output=True, text=True)
    lines = trace.read_text().splitlines() if trace.exists() else []
    if run.returncode != 0 or not lines or not json.loads(lines[-1]).get("end"):
        sys.exit(f"quorvat-sim run {scenario} failed (exit {run.returncode}): {run.stderr}")
    return lines


def api_args(lines, name):
    return [json.loads(line)["args"] for line in lines if f'"api":"{name}"' in line]


def texts(lines):
    return [json.loads(line)["args"][3] for line in lines if '"native":"DrawScreenText"' in line]


def main():
    sim, probe, ini, scenario, work = sys.argv[1:6]
    ini, scenario, work = pathlib.Path(ini), pathlib.Path(scenario), pathlib.Path(work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)

    # The scenario carries the file's bytes, so that the cross-build check
    # runs it under Windows' own reader too.
    shipped = ini.read_bytes().decode("ascii")
    recorded = json.loads(scenario.read_text())
    if recorded["settings"] != shipped:
        fresh = work / scenario.name
        fresh.write_text(json.dumps(dict(recorded, settings=shipped)) + "\n")
        sys.exit(f"{scenario} no longer holds the shipped {ini}: replace it with {fresh}")

    log = work / "Quorvat.log"
    lines = run_sim(sim, scenario, work / "trace.jsonl", "--log", str(log))
    if any('"api":"XInputGetState"' in line for line in lines):
        sys.exit("the shipped settings turn the game pad on; it ships off")
    state = json.loads(lines[-1])["state"]
    got = {field: state[field] for field in DEFAULTS}
    if got != DEFAULTS:
        sys.exit(f"the shipped settings give {got}, expected {DEFAULTS}")
    first = [line for line in lines if line.startswith('{"frame":0,')]
    if texts(first) != ["F7: rewind", "F8: mark"]:
        sys.exit(f"the shipped settings' first frame draws {texts(first)}, not the hints "
                 "'F7: rewind' and 'F8: mark'")
    clock = [api_args(first, f"QueryPerformance{what}") for what in ("Frequency", "Counter")]
    if clock != [[[]], [[]]]:
        sys.exit("the shipped settings don't turn the seconds label on: its clock isn't read")
    # Its frames are all one length, more than a minute of them: RecSeconds=60
    # keeps a minute's worth, where RecSize would keep every one.
    frame_ms = recorded["world"]["clockUs"] // 1000
    minute = 60000 // frame_ms
    if recorded["frames"] <= minute:
        sys.exit(f"{scenario} plays no more than a minute: it can't tell RecSeconds from RecSize")
    if state["sampleCount"] != minute:
        sys.exit(f"the shipped settings keep {state['sampleCount']} frames of {frame_ms} ms, "
                 f"not a minute's {minute}: RecSeconds=60 is not in force")

    # The log is on, and Log=0, as a player sets it, turns it off and
    # changes nothing else.
    settings_line = "[Settings] RecSize=2000 Push=1 RecSeconds=60 Log=1\r\n"
    if not log.is_file() or settings_line not in log.read_bytes().decode():
        sys.exit(f"the shipped settings keep no log with {settings_line!r}")
    # Vehicles=4 follows the vehicles around the player: the log says so,
    # and the module looks for them every recorded frame.
    if "[World] Vehicles=4\r\n" not in log.read_bytes().decode():
        sys.exit("the shipped settings' log has no '[World] Vehicles=4' line")
    if not any('"native":"LocateVehicleNear"' in line for line in lines):
        sys.exit("with the shipped settings the module looks for no vehicles around the player")
    off = work / "log-off.json"
    off.write_text(json.dumps(dict(recorded, settings=shipped.replace("Log=1", "Log=0"))))
    log_off = work / "log-off.log"
    if run_sim(sim, off, work / "log-off.jsonl", "--log", str(log_off)) != lines:
        sys.exit("with Log=0 in the shipped file the trace is not the same as with Log=1")
    if log_off.exists():
        sys.exit("with Log=0 in the shipped file the module still makes a log")

    # Asked with a default that no file sets, each key still answers the
    # value the file gives it.
    answers = subprocess.run([probe, str(ini.parent)], capture_output=True, text=True)
    values = [line.rsplit(": ", 1)[-1] for line in answers.stdout.splitlines()]
    if answers.returncode != 0 or values != ["118", "2000", "1"] * 2:
        sys.exit(f"the shipped settings read as\n{answers.stdout}{answers.stderr}")
    # The pad's two keys, changed as a player changes them, take effect: the
    # pad is asked, and its chord is the buttons the file names.
    # The mark chord's example, its comment taken off, is the chord named.
    edited = (shipped.replace("Enable=0", "Enable=1").replace("ToggleButtons=32", "ToggleButtons=16")
              .replace(";MarkButtons=", "MarkButtons="))
    on = work / "pad-on.json"
    on.write_text(json.dumps({"frames": 3, "settings": edited,
                              "timeline": [{"frame": 1, "pad": {"buttons": 16}}]}))
    lines = run_sim(sim, on, work / "pad-on.jsonl")
    if not any('"args":[250]' in line and "CueModeSwitch" in line for line in lines):
        sys.exit("with Enable=1 and ToggleButtons=16 in the shipped file, Start doesn't rewind")
    if "F8 or pad Y: mark" not in texts(lines):
        sys.exit(f"with MarkButtons=32768 taken out of its comment the hints read {texts(lines)}")
    # Hold, changed as a player changes it, is the setting read: the hint
    # says the key is held.
    held = work / "hold-on.json"
    held.write_text(json.dumps({"frames": 1, "settings": shipped.replace("Hold=0", "Hold=1")}))
    lines = run_sim(sim, held, work / "hold-on.jsonl")
    if texts(lines) != ["Hold F7: rewind", "F8: mark"]:
        sys.exit(f"with Hold=1 in the shipped file the hint reads {texts(lines)}")
    # The three movable keys, changed as a player changes them, are the keys
    # asked: while rewinding, and the resume key leaves the rewind; the label
    # is drawn.
    edited = (shipped.replace("OlderKey=90", "OlderKey=89").replace("NewerKey=88", "NewerKey=87")
              .replace("ResumeKey=32", "ResumeKey=13"))
    keys = work / "keys-moved.json"
    keys.write_text(json.dumps({"frames": 4, "settings": edited,
                                "timeline": [{"frame": 1, "press": ["F7"]},
                                             {"frame": 3, "hold": [13]}]}))
    lines = run_sim(sim, keys, work / "keys-moved.jsonl")
    asked = sorted({args[0] for args in api_args(lines, "GetKeyState")})
    if asked != [13, 37, 39, 87, 89]:
        sys.exit(f"with OlderKey=89, NewerKey=87, ResumeKey=13 the keys asked are {asked}")
    if json.loads(lines[-1])["state"]["rewinding"] != 0:
        sys.exit("with ResumeKey=13 in the shipped file, holding Enter doesn't leave the rewind")
    if "-0.0 s" not in texts(lines):
        sys.exit("the shipped settings draw no seconds label while rewinding")
    print(f"{ini}: {got}, pad off, hint and seconds on, {minute} frames of {frame_ms} ms kept, "
          "log on, F8 marks, 4 vehicles followed")


main()
