#!/usr/bin/env python3
"""Writes a long, varied scenario for timing quorvat-sim: walking, driving,
rewinding with scrubbing both ways, and leaving again, over and over.

usage: long_scenario.py FRAMES > scenario.json
"""
import json
import sys

frames = int(sys.argv[1]) if len(sys.argv) > 1 else 20000
timeline = []
cycle = 600  # frames per round: 300 recorded, a rewind of 200, 100 recorded
for start in range(0, frames, cycle):
    drive = (start // cycle) % 2 == 1
    for k in range(0, 300, 10):
        f = start + k
        t = f / 60.0
        world = {"charPos": [t * 3.0, t * 0.5, 10.0], "charVel": [3.0, 0.5, 0.0],
                 "heading": float(f % 360)}
        if drive:
            world.update({"inVehicle": True, "vehicle": 7,
                          "vehicles": {"7": {"pos": [t * 12.0, 4.0, 10.0],
                                             "rot": [0, 0, 0.38, 0.92],
                                             "vel": [12.0, 0, 0], "model": 3}}})
        else:
            world["inVehicle"] = False
        timeline.append({"frame": f, "world": world})
    timeline.append({"frame": start + 300, "press": ["F7"], "hold": ["Z"],
                     "cursor": [start % 800, 300]})
    timeline.append({"frame": start + 400, "release": ["Z"], "hold": ["X"]})
    timeline.append({"frame": start + 460, "release": ["X"]})
    timeline.append({"frame": start + 500, "press": ["F7"]})

scenario = {
    "frames": frames,
    "settings": "[Settings]\nRecSize=2000\n",
    "moduleMtime": 1700000000,
    "world": {"character": 5, "scrubStep": 150, "nearVehicle": 9,
              "vehicles": {"9": {"pos": [20.0, 4.0, 10.0], "model": 3}},
              "models": {"3": {"a": [-1, -2, -1], "b": [2.0, 4.5, 1.0]}}},
    "timeline": [e for e in timeline if e["frame"] < frames],
}
json.dump(scenario, sys.stdout)
