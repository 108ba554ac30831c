#!/usr/bin/env python3
"""Writes seed inputs for fuzz_module into fuzz/corpus/module: whole plays
(recording on foot and in a vehicle, rewinding, scrubbing both ways past
the ends, leaving, failing allocations, the player aids with an odd clock,
rewinding by holding the key, a history in seconds trimmed after a pause
and filled to its count cap by a clock that stands still, many rewinds with
the log on, marks dropped and jumped to) that random mutation alone would
take long to find.

The target reads every value through FuzzedDataProvider's integral
functions, which take their bytes from the end of the input, the most
significant first. So a seed is written as the list of values in the order
the target consumes them, and the bytes are laid out back to front.
"""
import os
import struct
import sys


class Seed:
    def __init__(self):
        self.chunks = []  # byte strings, in the order they are consumed

    def byte(self, value):
        self.chunks.append(bytes([value & 0xFF]))
        return self

    def u32(self, value):
        # Consumed from the end, most significant byte first.
        self.chunks.append((value & 0xFFFFFFFF).to_bytes(4, "big"))
        return self

    def u16(self, value):
        self.chunks.append((value & 0xFFFF).to_bytes(2, "big"))
        return self

    def i64(self, value):
        self.chunks.append((value & 0xFFFFFFFFFFFFFFFF).to_bytes(8, "big"))
        return self

    def s64(self, value):
        # A signed 64-bit value comes out as the lowest one plus the bytes read.
        return self.i64(value + (1 << 63))

    def data(self):
        # Each chunk is read from its last byte backwards; chunks run back to front.
        out = b""
        for chunk in self.chunks:
            out = chunk[::-1] + out
        return out

    # Header: stamp time, the settings file (none, or the aids' five keys:
    # (older, newer, resume, hint, seconds), a key as an int below 256 or
    # any 32-bit value, with Hold and RecSeconds, -1 ... 4 or any 32-bit
    # value), the clock's frequency (an index into the target's odd values,
    # 0 for 1000000) and counter, recSize 0..50, push mode index, skip the
    # stamp frames. Hold, RecSeconds or Vehicles (0 off, else 1 ... 8) alone
    # write the file with the aids' defaults.
    def header(self, rec_size, push_index=0, skip_stamp=True, aids=None, frequency=0,
               counter=1000000000, hold=0, rec_seconds=0, vehicles=0):
        self.byte(1).i64(1700000000)
        if aids is None and hold == 0 and rec_seconds == 0 and vehicles == 0:
            self.byte(0)
        else:
            aids = aids or (90, 88, 32, 0, 0)
            self.byte(1)
            for key in aids[:3]:
                if 0 <= key < 256:
                    self.byte(1).byte(key)
                else:
                    self.byte(0).u32(key)
            self.u32(hold).u32(aids[3]).u32(aids[4])
            if -1 <= rec_seconds <= 4:
                self.byte(1).byte(rec_seconds + 1)
            else:
                self.byte(0).u32(rec_seconds)
            self.byte(0 if vehicles == 0 else 128 + vehicles - 1)
        self.byte(frequency).s64(counter)
        return self.byte(rec_size).byte(push_index).byte(1 if skip_stamp else 0)

    # Commands (the first byte, taken modulo 12, picks one). A run command
    # runs 1 to 16 frames.
    def frames(self, n):
        while n > 0:
            step = min(n, 16)
            self.byte(6).byte(step - 1)
            n -= step
        return self

    # With a history of one to four seconds: up to 512 * k frames (k 1 to 4),
    # ending after a frame that neither lengthened the history nor moved the
    # scrub.
    def stretch(self, k):
        return self.byte(6).byte(251 + k)

    def float_field(self, which, value):
        bits = struct.unpack("<I", struct.pack("<f", value))[0]
        return self.byte(0).byte(which).byte(0).u32(bits)

    def word(self, which, value):
        return self.byte(1).byte(which).u32(value)

    KEYS = {"F7": 0, "SPACE": 1, "Z": 2, "X": 3, "LEFT": 4, "RIGHT": 5,
            "OLDER": 6, "NEWER": 7, "RESUME": 8, "MARK": 9}

    def press(self, key):
        return self.byte(2).byte(1).byte(self.KEYS[key])

    def toggle_held(self, key):
        return self.byte(3).byte(1).byte(self.KEYS[key])

    def cursor(self, x, y, fails=False):
        return self.byte(4).u32(x).u32(y).byte(1 if fails else 0)

    # The next n history allocations fail, after `passing` more succeed.
    def fail_allocations(self, n, passing=0):
        return self.byte(5).byte(n).byte(passing)

    def pad(self, buttons=0, lt=0, rt=0, connected=True):
        return self.byte(8).byte(1 if connected else 0).u16(buttons).byte(lt).byte(rt)

    def pad_settings(self, enabled, toggle_buttons=32):
        return self.byte(9).byte(1 if enabled else 0).u16(toggle_buttons)

    # The counter's step a frame: an index into the target's odd values (0
    # for 16667 counts), or any value.
    def clock_step(self, pick=0, value=None):
        if value is not None:
            return self.byte(10).byte(len(CLOCK_ODD) + 1).s64(value)
        return self.byte(10).byte(pick)

    def clock_jump(self, counter, works=True):
        return self.byte(11).s64(counter).byte(1 if works else 0)

    # The vehicles around the player, handles 1 ... 8 (the first of these
    # commands turns them on in the game).
    def vehicle(self, handle, action):
        return self.byte(7).byte(action * 8 + handle - 1)

    def toggle_valid(self, handle):
        return self.vehicle(handle, 0)

    # At one of the target's distances (an index: 0 m, 1.5, 6.5, 12, 20,
    # 29.9, 30.5, 45, 59.9, 60.25, 100, 5000) from the player, turned
    # turn / 256 of a circle.
    def place_vehicle(self, handle, distance, turn=0):
        return self.vehicle(handle, 1).byte(distance).byte(turn)

    # By whole eighths of a metre, -16 ... 15.875 m an axis.
    def move_vehicle(self, handle, dx8, dy8=0, dz8=0):
        return self.vehicle(handle, 2).byte(128 + dx8).byte(128 + dy8).byte(128 + dz8)

    # A field (position 0-2, rotation 3-6, velocity 7-9) as any 32-bit float.
    def vehicle_float(self, handle, field, value):
        bits = struct.unpack("<I", struct.pack("<f", value))[0]
        return self.vehicle(handle, 3).byte(field).byte(0).u32(bits)

    def toggle_locate_nearest(self):
        return self.vehicle(1, 4)

    # The player gets into the vehicle, or out of it when already in it.
    def enter_vehicle(self, handle):
        return self.vehicle(handle, 5)


# The target's odd clock values, from index 1.
CLOCK_ODD = [0, -1, 1, -(1 << 63), (1 << 63) - 1, 1 << 62, -(1 << 62), 3579545, 10000000,
             10**15, 10**15 + 1]
ODD_FASTEST, ODD_TOO_FAST = 10, 11
ODD_ZERO, ODD_BACK, ODD_MAX, ODD_JUMP = 1, 2, 5, 6


# Word fields, in the target's order.
PLAYER_VALUE, FRAME_STEP, SCRUB_STEP, CHAR_VALUE, IN_VEHICLE = 0, 1, 2, 3, 4
VEHICLE_VALID, IN_THIS_VEHICLE, EXTRA_PENDING, VEHICLE, NEAR_VEHICLE = 8, 9, 11, 15, 18
# Float fields.
CHAR_X, DISTANCE, EXTENT_BX = 0, 7, 19


def on_foot_rewind():
    s = Seed().header(20)
    s.float_field(CHAR_X, 12.5).frames(40).word(PLAYER_VALUE, 3).frames(10)
    s.press("F7").toggle_held("Z").word(SCRUB_STEP, 250).frames(30)
    s.toggle_held("Z").toggle_held("RIGHT").frames(30).toggle_held("RIGHT")
    s.float_field(DISTANCE, 3.0).cursor(100, 200).frames(10)
    s.press("F7").frames(80)
    return s


def vehicle_push_rewind():
    s = Seed().header(30)
    s.frames(10).word(IN_VEHICLE, 0xA5A5A501).word(VEHICLE, 42).frames(30)
    s.word(NEAR_VEHICLE, 43).float_field(EXTENT_BX, 2.0)
    s.press("F7").frames(5).toggle_held("LEFT").frames(40).toggle_held("LEFT")
    s.word(IN_THIS_VEHICLE, 0x100).frames(3).word(IN_THIS_VEHICLE, 1)
    s.word(VEHICLE_VALID, 0).frames(3).word(VEHICLE_VALID, 1).frames(3)
    s.toggle_held("SPACE").frames(5).toggle_held("SPACE").frames(70)
    return s


def hostile_values():
    s = Seed().header(5, push_index=1)
    s.float_field(CHAR_X, float("nan")).float_field(DISTANCE, float("inf")).frames(12)
    s.word(FRAME_STEP, 2).frames(5).word(FRAME_STEP, 0xFFFFFFFF).word(PLAYER_VALUE, 0xFFFFFFFF)
    s.word(CHAR_VALUE, 0x80000000).word(EXTRA_PENDING, 200).frames(10)
    s.press("F7").word(SCRUB_STEP, 0xFFFFFFFF).toggle_held("Z").frames(5)
    s.toggle_held("Z").toggle_held("X").frames(5).word(SCRUB_STEP, 99).frames(5)
    s.press("F7").frames(20)
    return s


def out_of_memory():
    s = Seed().header(10)
    s.frames(8).fail_allocations(3).frames(3).fail_allocations(40).frames(20)
    s.press("F7").frames(5).press("F7").fail_allocations(17).frames(30)
    return s


def rewind_before_anything_recorded():
    s = Seed().header(0, skip_stamp=False)
    s.word(FRAME_STEP, 1).press("F7").frames(3).toggle_held("Z").frames(3)
    s.word(FRAME_STEP, 16).frames(2).press("F7").frames(5).press("F7").frames(120)
    return s


def pad_rewind():
    # The chord in and out, the triggers and the D-pad both ways past the
    # ends, a chord held over frames, the pad unplugged mid-rewind.
    s = Seed().header(30).pad_settings(True, 48).frames(40)
    s.pad(48).frames(2).pad(0, lt=255).frames(30).pad(8).frames(40).pad(4, rt=200).frames(5)
    s.pad(48, connected=False).frames(2).pad(48).frames(3).pad(0).frames(2).pad(48).frames(3)
    s.pad_settings(True, 0).pad(0xFFFF, 255, 255).frames(5).pad_settings(False).frames(5)
    return s


def aids_rewind():
    # Keys moved (Y and W; the resume key out of range, so Space), the hint
    # and the label on; frames of 16 ms, a stall, a counter that jumps by
    # 2^62 and one that runs backwards; scrubbing with the moved keys and the
    # triggers past both ends; a failed push, then play on with Space.
    s = Seed().header(25, aids=(89, 87, 0xFFFFFFFF, 1, 1), skip_stamp=False).frames(30)
    s.clock_step(value=2000000).frames(2).clock_step(ODD_JUMP).frames(2)
    s.clock_step(ODD_BACK).frames(2).clock_step().frames(10)
    s.press("F7").toggle_held("OLDER").frames(12).toggle_held("OLDER")
    s.toggle_held("NEWER").frames(30).toggle_held("NEWER").pad_settings(True)
    s.pad(0, lt=200).frames(20).pad(0, rt=31).frames(5).pad(0).toggle_held("RESUME").frames(2)
    s.toggle_held("RESUME").fail_allocations(9).frames(20).press("F7").frames(3)
    s.toggle_held("OLDER").frames(3).press("RESUME").frames(30)
    return s


def odd_clock():
    # A counter that can't be read, a frequency of INT64_MAX, then one that
    # stops answering mid-run and jumps about.
    s = Seed().header(8, aids=(0, 255, 13, 0x80000000, 7), frequency=ODD_MAX, counter=-5)
    s.frames(12).clock_step(ODD_ZERO).frames(3).clock_jump(1 << 62).frames(2)
    s.clock_jump(-(1 << 63), works=False).frames(3).clock_jump(0).clock_step(value=-(1 << 62))
    s.frames(3).press("F7").toggle_held("Z").frames(8).press("F7").frames(10)
    return s


def fastest_clock():
    # The fastest frequency the frame clock takes, 10^15 a second, from a
    # reading past 2^62: frames of 16.667 ms, then just under a second and a
    # whole one.
    s = Seed().header(10, rec_seconds=2, frequency=ODD_FASTEST, counter=1 << 62)
    s.clock_step(value=16667 * 10**9).frames(40).clock_step(value=10**15 - 1).frames(3)
    return s.clock_step(value=10**15).frames(3)


def too_fast_clock():
    # One count a second faster than the frame clock takes: every frame 0 ms.
    s = Seed().header(10, rec_seconds=2, frequency=ODD_TOO_FAST, counter=1 << 62)
    return s.clock_step(value=16667 * 10**9).frames(20)


def rec_seconds_pause_and_dead_clock():
    # One second of history: 16.667 ms frames fill it; a failed push of the
    # frame's length alone (the seventeen histories' blocks taken, the
    # lengths' one refused: at the 257th push, the first after the 129th
    # where the lengths' queue needs a block) leaves the sum as it was, and
    # so do failed pushes of whole samples; a pause trims all the earlier
    # samples and the next frame the pause's own; a clock that stands still
    # and a stretch fill the history to its cap of 1000 samples, rewound to
    # the end and back.
    s = Seed().header(20, rec_seconds=1).frames(140).fail_allocations(1, passing=17).frames(140)
    s.clock_step(value=1000000).frames(1).clock_step().frames(3)
    s.fail_allocations(3).frames(5).fail_allocations(30).frames(20).fail_allocations(0)
    s.clock_step(ODD_ZERO).stretch(2).frames(16).press("F7").word(SCRUB_STEP, 0xFFFFFFFF)
    s.toggle_held("Z").frames(3).toggle_held("Z").press("F7").clock_step().frames(70)
    return s


def two_seconds_at_rest():
    # Two seconds of history with the label on: 16 ms frames, then a clock
    # that stands still and a stretch fill it to its count cap of 2,000
    # samples, and frames at the cap trim the 16 ms ones; rewound, scrubbed
    # to the oldest sample and back, with marks at both ends.
    s = Seed().header(20, aids=(90, 88, 32, 1, 1), rec_seconds=2).frames(30)
    s.press("MARK").frames(1).clock_step(ODD_ZERO).stretch(4).frames(48).press("MARK").frames(1)
    s.press("F7").word(SCRUB_STEP, 0xFFFFFFFF).toggle_held("OLDER").frames(3)
    s.toggle_held("OLDER").word(SCRUB_STEP, 100).press("MARK").frames(1).press("MARK").frames(1)
    s.toggle_held("NEWER").frames(16).toggle_held("NEWER").press("F7").frames(5)
    return s.clock_step().frames(32)


def hold_rewind():
    # Held to rewind with the label on and two seconds of history: going
    # back each held frame, forward with the newer key, let go; a tap; the
    # pad's chord held, then the key taking over; a long hold into the end
    # stop, and the resume key while holding.
    s = Seed().header(30, aids=(90, 88, 32, 1, 1), hold=1, rec_seconds=2).frames(60)
    s.press("F7").toggle_held("F7").frames(20).toggle_held("NEWER").frames(10)
    s.toggle_held("NEWER").toggle_held("F7").frames(5).press("F7").frames(3)
    s.pad_settings(True, 48).pad(48).frames(10).toggle_held("F7").pad(0).frames(5)
    s.toggle_held("F7").frames(5).press("F7").toggle_held("F7").frames(150)
    s.toggle_held("RESUME").frames(2).toggle_held("RESUME").toggle_held("F7").frames(20)
    return s


def rec_seconds_above_600():
    # Counts as 600.
    return Seed().header(10, rec_seconds=601).frames(40).press("F7").frames(5)


def rec_seconds_negative():
    # Read signed, so it turns the history in seconds off.
    return Seed().header(10, rec_seconds=-5).frames(40).press("F7").frames(5)


def logged_rewinds():
    # A settings file, so a run with the log on follows: a hundred and fifty
    # entries and leaves by the key, failed pushes twice, a leave by the
    # resume key; enough lines for a log counted as nearly full to reach its
    # cap.
    s = Seed().header(20, aids=(90, 88, 32, 1, 1), rec_seconds=2).frames(30)
    for _ in range(150):
        s.press("F7").frames(2)
    s.fail_allocations(5).frames(10).fail_allocations(5).frames(10)
    s.press("F7").frames(3).toggle_held("RESUME").frames(2).toggle_held("RESUME").frames(5)
    return s


def marked_rewinds():
    # A settings file, so the mark key (F8) is on: marks dropped while
    # playing, trimmed by a short history, one press in a frame whose gate is
    # closed and one whose push fails; jumps round the marks, the keys
    # scrubbing on from one, playing on from a mark; then held to rewind with
    # a jump pinning the scrub, and the pad's mark chord (the toggle chord's
    # buttons and Y).
    s = Seed().header(12, aids=(90, 88, 32, 1, 1)).frames(5)
    for _ in range(20):
        s.press("MARK").frames(1).frames(2)
    s.word(FRAME_STEP, 1).press("MARK").frames(1).word(FRAME_STEP, 16)
    s.fail_allocations(40).press("MARK").frames(2)
    s.press("F7").press("MARK").frames(1)
    for _ in range(5):
        s.press("MARK").frames(1)
    s.toggle_held("OLDER").frames(2).toggle_held("OLDER").press("MARK").frames(1)
    s.press("F7").press("MARK").frames(4).press("MARK").frames(2)
    s.press("F7").frames(1).press("MARK").frames(1).press("F7").frames(3)
    s.pad_settings(True, 48).pad(48 | 0x8000).frames(2).pad(0).frames(2)
    s.pad(0x8000).frames(1).pad(48 | 0x8000).frames(2).pad(0).frames(3)
    return s


def vehicles_come_and_go():
    # Two slots, three vehicles found by the probe going round: one leaves
    # past 30 m while the third waits for a slot, one vanishes and comes
    # back, one reads a NaN; the player gets into a followed one and out;
    # a rewind puts them back and the leave hands the slots over.
    s = Seed().header(40, vehicles=2).toggle_locate_nearest()
    s.place_vehicle(1, 3).place_vehicle(2, 4, 64).place_vehicle(3, 2, 128).frames(20)
    s.place_vehicle(1, 7).frames(3).place_vehicle(1, 9).frames(20)
    s.toggle_valid(2).frames(2).toggle_valid(2).place_vehicle(2, 3, 200).frames(20)
    s.vehicle_float(3, 4, float("nan")).frames(2).vehicle_float(3, 4, 0.0).frames(20)
    s.enter_vehicle(3).frames(5).move_vehicle(3, 40).frames(5).press("F7").frames(10)
    s.toggle_held("Z").frames(8).toggle_held("Z").press("F7").frames(5)
    s.enter_vehicle(3).frames(20)
    return s


def vehicles_every_slot():
    # Eight slots, push mode, eight vehicles around the player at every
    # distance; failed pushes of a sample, of its world part alone too; a rewind
    # that leaves in a followed vehicle, and vehicles gone past 60 m.
    s = Seed().header(30, push_index=0, vehicles=8).toggle_locate_nearest()
    for handle in range(1, 9):
        s.place_vehicle(handle, 1 + handle % 6, handle * 32)
    # The next allocation fails, every other frame: mostly a world part's
    # own, as the probe takes one vehicle after another.
    for _ in range(12):
        s.fail_allocations(1).frames(2)
    s.frames(34).fail_allocations(30, passing=15).frames(3).fail_allocations(0)
    s.enter_vehicle(2).frames(10).place_vehicle(5, 10).place_vehicle(6, 11).frames(4)
    s.press("F7").frames(6).toggle_held("X").frames(3).toggle_held("X")
    s.vehicle_float(7, 8, float("inf")).press("F7").frames(20).enter_vehicle(2).frames(20)
    return s


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "module")
    os.makedirs(out, exist_ok=True)
    for make in (on_foot_rewind, vehicle_push_rewind, hostile_values, out_of_memory,
                 rewind_before_anything_recorded, pad_rewind, aids_rewind, odd_clock,
                 fastest_clock, too_fast_clock, rec_seconds_pause_and_dead_clock, two_seconds_at_rest,
                 hold_rewind, rec_seconds_above_600,
                 rec_seconds_negative, logged_rewinds, marked_rewinds, vehicles_come_and_go,
                 vehicles_every_slot):
        with open(os.path.join(out, f"seed-{make.__name__.replace('_', '-')}"), "wb") as f:
            f.write(make().data())


main()
