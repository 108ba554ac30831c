#!/usr/bin/env python3
"""Prints the performance table from Google Benchmark's JSON output and the
harness timing that scripts/bench measured.

usage: report.py BENCH.json COOKIES.json NO_COOKIES.json SIM_FRAMES SIM_SECONDS
                 [EMULATED_NS NATIVE_NS]

COOKIES.json and NO_COOKIES.json are a recording and a rewind frame again,
of the module as it ships and of the module built without stack cookies,
run one right after the other.

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
sim_frames, sim_seconds = int(sys.argv[4]), float(sys.argv[5])
emulated = len(sys.argv) > 6
if emulated:
    emulated_ns, native_ns = float(sys.argv[6]), float(sys.argv[7])
    factor = emulated_ns / native_ns


def ns(run, field="cpu_time", of=median):
    b = of[run]
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6}[b["time_unit"]]
    return b[field] * scale


rows = []


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

small, large = ns("BM_RecordFootFrame/2000"), ns("BM_RecordFootFrame/1000000")
row("recording frame, store full at recSize 1,000,000",
    f"{large / 1000:.2f} µs", "—", True)
row("cost ratio recSize 1,000,000 / 2,000", f"{large / small:.2f}", "≤ 1.1", large / small <= 1.1)
per_frame = median["BM_RecordFootFrame/1000000"]["history_bytes_per_frame"]
row("history heap per recorded frame (1,000,001 held)", f"{per_frame:.2f} bytes", "≤ 72 bytes",
    per_frame <= 72)
per_frame = median["BM_RecordFootFrameSecondsOn/1000000"]["history_bytes_per_frame"]
row("history heap per recorded frame, seconds on (1,000,001 held)", f"{per_frame:.2f} bytes",
    "≤ 72 bytes", per_frame <= 72)
b = median["BM_RecordFootFrameRecSeconds"]
row(f"history heap per recorded frame, RecSeconds 600 ({b['samples']:,.0f} held)",
    f"{b['history_bytes_per_frame']:.2f} bytes", "≤ 72 bytes", b["history_bytes_per_frame"] <= 72)
trimmed = median["BM_RecordFootFrameAfterPause"]["trimmed_per_frame"]
rows.append(("samples trimmed by the frame after a pause", f"{trimmed:.1f}", "—", "—"))

# The support log ([Settings] Log=1, as shipped) against the same frames with
# it off, from the same run: a recorded frame does no file work; a rewind's
# entry and leave write a line each, the entry's seconds from a running sum,
# so that they cost no more with a million samples kept than with ten.
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
ten, million = ns("BM_RewindEntryAndLeave/10/1"), ns("BM_RewindEntryAndLeave/1000000/1")
row("the same with 1,000,000 samples kept / with 10",
    f"{million / ten:.2f} ({million / 1000:.2f} / {ten / 1000:.2f} µs)", "≤ 1.1",
    million / ten <= 1.1)

# Marks on the timeline: a rewind frame with the mark key pressed, the
# seconds label on, from the same run; with 16 marks it jumps and draws 16
# ticks, costing in the marks and not in the samples. Sixteen samples all sit
# in the cache, while each jump over a longer history reads its samples at a
# new place: the ratio to 2,001 samples is the one the marks' own work sets.
text, marked = timed("BM_RewindFrameMarkPressed/2000/16")
none = ns("BM_RewindFrameMarkPressed/2000/0")
rows.append(("rewind frame, mark pressed, 16 marks kept (a jump, 16 ticks), seconds on",
             f"{text}; none kept: {none / 1000:.2f} µs", "—", "—"))
few, million = ns("BM_RewindFrameMarkPressed/15/16"), ns("BM_RewindFrameMarkPressed/1000000/16")
rows.append(("the same with 1,000,001 samples kept / with 16",
             f"{million / few:.2f} ({million / 1000:.2f} / {few / 1000:.2f} µs)", "—", "—"))
row("the same with 1,000,001 samples kept / with 2,001",
    f"{million / marked:.2f} ({million / 1000:.2f} / {marked / 1000:.2f} µs)", "≤ 1.1",
    million / marked <= 1.1)

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
