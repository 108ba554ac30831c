#!/usr/bin/env python3
"""Prints the performance table from Google Benchmark's JSON output and the
harness timing that scripts/bench measured.

usage: report.py BENCH.json COOKIES.json NO_COOKIES.json GROWTH_DIR SIM_FRAMES SIM_SECONDS
                 [EMULATED_NS NATIVE_NS]

COOKIES.json and NO_COOKIES.json are a recording and a rewind frame again,
of the module as it ships and of the module built without stack cookies,
run one right after the other.

GROWTH_DIR holds quorvat_growth's output for each case (record, entry-leave,
mark, vehicles-4, vehicles-8): count-CASE-SIZE.json and .callgrind, callgrind's count of the
instructions of that many frames, or count-unavailable saying why there is
none; and wall-CASE.json, the least wall time of interleaved rounds.

EMULATED_NS and NATIVE_NS, given where 32-bit code runs under an emulator,
are the same loop's time emulated and native: their ratio turns the frame
times into a native estimate. Without them the times are native.
"""
import json
import re
import sys


def medians(path):
    with open(path) as f:
        results = json.load(f)
    found = {}
    for b in results["benchmarks"]:
        if b.get("aggregate_name") == "median":
            # A benchmark of a fixed iteration count has it in its name too.
            found[re.sub(r"/(iterations|repeats):\d+", "", b["run_name"])] = b
    return found


median, median_cookies, median_no_cookies = (medians(path) for path in sys.argv[1:4])
growth = sys.argv[4]
sim_frames, sim_seconds = int(sys.argv[5]), float(sys.argv[6])
emulated = len(sys.argv) > 7
if emulated:
    emulated_ns, native_ns = float(sys.argv[7]), float(sys.argv[8])
    factor = emulated_ns / native_ns


def ns(run, field="cpu_time", of=median):
    b = of[run]
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6}[b["time_unit"]]
    return b[field] * scale


rows = []

SMALL, LARGE = 2000, 1000000


def instructions(case, size):
    """Instructions a frame (an entry and its leave: the pair), from callgrind."""
    with open(f"{growth}/count-{case}-{size}.json") as f:
        frames = json.load(f)["frames"]
    with open(f"{growth}/count-{case}-{size}.callgrind") as f:
        for line in f:
            if line.startswith("totals:"):
                return int(line.split()[1]) / frames
    raise SystemExit(f"report.py: no totals in callgrind's count of {case} {size}")


def growth_rows(case, what, unit="frame"):
    """Does the work of a frame grow with the history? Counted in
    instructions, the ratio has a target; in wall time, the least of
    interleaved rounds, it adds the cache misses of a history far larger
    than the caches, and has none."""
    label = f"{what}, {LARGE + 1:,} samples / {SMALL + 1:,}"
    try:
        with open(f"{growth}/count-unavailable") as f:
            why = f.read().strip()
    except FileNotFoundError:
        why = None
    if why:
        rows.append((f"{label}, instructions (callgrind)", f"not counted here: {why}", "≤ 1.1",
                     "not counted"))
    else:
        small, large = instructions(case, SMALL), instructions(case, LARGE)
        row(f"{label}, instructions (callgrind)",
            f"{large / small:.3f} ({large:,.0f} / {small:,.0f} a {unit})", "≤ 1.1",
            large / small <= 1.1)
    with open(f"{growth}/wall-{case}.json") as f:
        wall = json.load(f)
    rows.append((f"{label}, wall time, least of {wall['rounds']} interleaved rounds "
                 "(cache effect)",
                 f"{wall['large_ns'] / wall['small_ns']:.2f} "
                 f"({wall['large_ns'] / 1000:.2f} / {wall['small_ns'] / 1000:.2f} µs)", "—", "—"))



def row(what, value, target, met, native_met=None):
    verdict = "yes" if met else "NO"
    if not met and native_met:
        verdict = "not under emulation; native estimate yes"
    rows.append((what, value, target, verdict))


for run, what, limit in [
    ("BM_RecordFootFrame/2000", "recording frame, on foot", 1000),
    ("BM_RecordFootFramePadOn", "recording frame, on foot, game pad on", 1000),
    ("BM_RecordFootFrameSecondsOn/2000", "recording frame, on foot, seconds on", 1000),
    ("BM_RecordFootFrameRecSeconds",
     "recording frame, on foot, RecSeconds 600 at 60 frames a second", 1000),
    ("BM_RecordFootFrameAfterPause",
     "frame after a one-second pause, RecSeconds 600 at 60 frames a second", 5000),
    ("BM_RecordVehicleFrame", "recording frame, in a vehicle", 1000),
    ("BM_RewindFootFrame", "rewind frame, on foot", 1500),
    ("BM_RewindFootFrameSecondsOnAtOldest",
     "rewind frame, on foot, seconds on, recSize 1,000,000, at the oldest sample", 1500),
    ("BM_RewindVehiclePushFrame", "rewind frame, vehicle, push mode", 1500),
    ("BM_RecordFootFrameVehicles/4/2000", "recording frame, on foot, 4 vehicles followed", 1000),
    ("BM_RecordFootFrameVehicles/8/2000", "recording frame, on foot, 8 vehicles followed", 1000),
    ("BM_RewindFootFrameVehicles/4", "rewind frame, on foot, 4 vehicles put back", 1500),
    ("BM_RewindFootFrameVehicles/8", "rewind frame, on foot, 8 vehicles put back", 1500),
]:
    cpu, wall = ns(run), ns(run, "real_time")
    if emulated:
        row(what, f"{cpu / 1000:.2f} µs (wall {wall / 1000:.2f}; native est. {cpu / factor / 1000:.2f})",
            f"≤ {limit / 1000:g} µs", cpu <= limit, cpu / factor <= limit)
    else:
        row(what, f"{cpu / 1000:.2f} µs (wall {wall / 1000:.2f})", f"≤ {limit / 1000:g} µs",
            cpu <= limit)

for run, what in [("BM_RecordFootFrame/2000", "recording frame, on foot"),
                  ("BM_RewindFootFrame", "rewind frame, on foot")]:
    cookies, bare = ns(run, of=median_cookies), ns(run, of=median_no_cookies)
    rows.append((f"{what}, with stack cookies / without, one after the other",
                 f"{cookies:.1f} / {bare:.1f} ns ({(cookies / bare - 1) * 100:+.1f} %)",
                 "—", "—"))

large = ns("BM_RecordFootFrame/1000000")
row("recording frame, store full at recSize 1,000,000",
    f"{large / 1000:.2f} µs", "—", True)
growth_rows("record", "recording frame")
per_frame = median["BM_RecordFootFrame/1000000"]["history_bytes_per_frame"]
row("history heap per recorded frame (1,000,001 held)", f"{per_frame:.2f} bytes", "≤ 72 bytes",
    per_frame <= 72)
per_frame = median["BM_RecordFootFrameSecondsOn/1000000"]["history_bytes_per_frame"]
row("history heap per recorded frame, seconds on (1,000,001 held)", f"{per_frame:.2f} bytes",
    "≤ 72 bytes", per_frame <= 72)
b = median["BM_RecordFootFrameRecSeconds"]
row(f"history heap per recorded frame, RecSeconds 600 ({b['samples']:,.0f} held)",
    f"{b['history_bytes_per_frame']:.2f} bytes", "≤ 72 bytes", b["history_bytes_per_frame"] <= 72)
# A world part of 48 bytes a slot beside the 68 of the player's samples.
for slots in (4, 8):
    with open(f"{growth}/wall-vehicles-{slots}.json") as f:
        per_frame = json.load(f)["large_bytes_per_sample"]
    limit = 72 + 50 * slots
    row(f"history heap per recorded frame, {slots} vehicles followed (1,000,001 held)",
        f"{per_frame:.2f} bytes", f"≤ {limit} bytes", per_frame <= limit)
for slots in (4, 8):
    growth_rows(f"vehicles-{slots}", f"recording frame, {slots} vehicles followed")
trimmed = median["BM_RecordFootFrameAfterPause"]["trimmed_per_frame"]
rows.append(("samples trimmed by the frame after a pause", f"{trimmed:.1f}", "—", "—"))

# The support log ([Settings] Log=1, as shipped) against the same frames with
# it off, from the same run: a recorded frame does no file work; a rewind's
# entry and leave write a line each, the entry's seconds from a running sum,
# so that they cost no more with a million samples kept than with 2,000.
def timed(run):
    cpu, wall = ns(run), ns(run, "real_time")
    text = f"{cpu / 1000:.2f} µs (wall {wall / 1000:.2f}"
    if emulated:
        text += f"; native est. {cpu / factor / 1000:.2f}"
    return text + ")", cpu


text, on = timed("BM_RecordFootFrameLogOn")
off = ns("BM_RecordFootFrame/2000")
row("recording frame, on foot, log on", f"{text}; off: {off / 1000:.2f} µs", "≤ 1 µs",
    on <= 1000, emulated and on / factor <= 1000)
text, on = timed("BM_RewindEntryAndLeave/2000/1")
off = ns("BM_RewindEntryAndLeave/2000/0")
rows.append(("rewind entry and leave (two frames), seconds on, log on",
             f"{text}; off: {off / 1000:.2f} µs", "—", "—"))
growth_rows("entry-leave", "the same", "pair")

# Marks on the timeline: a rewind frame with the mark key pressed, the
# seconds label on, from the same run; with 16 marks it jumps and draws 16
# ticks, costing in the marks and not in the samples. Each jump over a long
# history reads its samples at a new place: cache misses, which the wall
# time shows and the instruction count does not.
text, marked = timed("BM_RewindFrameMarkPressed/2000/16")
none = ns("BM_RewindFrameMarkPressed/2000/0")
rows.append(("rewind frame, mark pressed, 16 marks kept (a jump, 16 ticks), seconds on",
             f"{text}; none kept: {none / 1000:.2f} µs", "—", "—"))
growth_rows("mark", "the same")

fps = sim_frames / sim_seconds
rows.append(("quorvat-sim run, trace to a file", f"{fps:,.0f} frames/s "
             f"({sim_frames} frames in {sim_seconds:.1f} s)", "—", "—"))

if emulated:
    rows.append(("emulator factor (same loop, -m32 emulated / native)",
                 f"{factor:.1f}× ({emulated_ns:.0f} / {native_ns:.0f} ns)", "—", "—"))

width = [max(len(r[i]) for r in rows + [("figure", "median", "target", "met")]) for i in range(4)]
print("| " + " | ".join(h.ljust(w) for h, w in zip(("figure", "median", "target", "met"), width)) + " |")
print("|" + "|".join("-" * (w + 2) for w in width) + "|")
for r in rows:
    print("| " + " | ".join(c.ljust(w) for c, w in zip(r, width)) + " |")
