#!/usr/bin/env python3
"""Writes seed inputs for fuzz_module into fuzz/corpus/module: whole plays
(recording on foot and in a vehicle, rewinding, scrubbing both ways past
the ends, leaving, failing allocations) that random mutation alone would
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

    def data(self):
        # Each chunk is read from its last byte backwards; chunks run back to front.
        out = b""
        for chunk in self.chunks:
            out = chunk[::-1] + out
        return out

    # Header: stamp time, recSize 0..50, push mode index, skip the stamp frames.
    def header(self, rec_size, push_index=0, skip_stamp=True):
        return self.byte(1).i64(1700000000).byte(rec_size).byte(push_index).byte(1 if skip_stamp else 0)

    # Commands (the first byte, taken modulo 10, picks one).
    def frames(self, n):
        while n > 0:
            step = min(n, 64)
            self.byte(6).byte(step - 1)
            n -= step
        return self

    def float_field(self, which, value):
        bits = struct.unpack("<I", struct.pack("<f", value))[0]
        return self.byte(0).byte(which).byte(0).u32(bits)

    def word(self, which, value):
        return self.byte(1).byte(which).u32(value)

    KEYS = {"F7": 0, "SPACE": 1, "Z": 2, "X": 3, "LEFT": 4, "RIGHT": 5}

    def press(self, key):
        return self.byte(2).byte(1).byte(self.KEYS[key])

    def toggle_held(self, key):
        return self.byte(3).byte(1).byte(self.KEYS[key])

    def cursor(self, x, y, fails=False):
        return self.byte(4).u32(x).u32(y).byte(1 if fails else 0)

    def fail_allocations(self, n):
        return self.byte(5).byte(n)

    def pad(self, buttons=0, lt=0, rt=0, connected=True):
        return self.byte(8).byte(1 if connected else 0).u16(buttons).byte(lt).byte(rt)

    def pad_settings(self, enabled, toggle_buttons=32):
        return self.byte(9).byte(1 if enabled else 0).u16(toggle_buttons)


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


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "module")
    os.makedirs(out, exist_ok=True)
    for make in (on_foot_rewind, vehicle_push_rewind, hostile_values, out_of_memory,
                 rewind_before_anything_recorded, pad_rewind):
        with open(os.path.join(out, f"seed-{make.__name__.replace('_', '-')}"), "wb") as f:
            f.write(make().data())


main()
