#!/usr/bin/env python3
"""quorvat-sim play as a person meets it: a window on a real X server
(Xvfb), key events sent through XTEST (xdotool), the screen read back from
the window's pixels (xwd), the status from the window's title.

  play_session.py SIM session      drive, rewind, scrub, resume, record; replay
  play_session.py SIM pad          the same with the virtual game pad, unplugged at the end
  play_session.py SIM hold         the same with [Keys] Hold=1: F7 held rewinds, let go plays on
  play_session.py SIM no-display   no display: exit 1 with the message
  play_session.py SIM screen-gone  the window's program killed: the game still keeps the session
  play_session.py SIM picture PNG  the README's picture, in the middle of a rewind

Every wait is for a condition, with a generous timeout (for what takes
frames of play, renewed with every frame shown): the outcome does not
depend on how fast the machine is.
"""
import ctypes
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

TIMEOUT = 60  # seconds for any one condition; far more than it ever takes
VIEW_W, VIEW_H = 960, 540  # the game's screen at the window's top left
STRIP = (33, 38, 56)  # the colour of the harness's strip below it


def die_with_parent():
    # Xvfb and the program under test end with this script, however it ends.
    ctypes.CDLL("libc.so.6").prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def fail(message):
    raise AssertionError(message)


def wait_for(what, condition):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.03)
    fail("timed out after %d s waiting for %s" % (TIMEOUT, what))


def wait_playing(window, what, condition, frames=200):
    """Waits for what takes frames of play (the bars fade over 67): the
    timeout starts again with every frame the window shows, so an emulated
    machine only takes longer. Fails when play stalls, or when `frames`
    frames pass without it."""
    first = shown = None
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        now = window.status()
        if now and now["frame"] != shown:
            shown = now["frame"]
            first = shown if first is None else first
            deadline = time.monotonic() + TIMEOUT
            if shown - first > frames:
                fail("%d frames went by waiting for %s" % (frames, what))
        time.sleep(0.03)
    fail("play stalled for %d s waiting for %s" % (TIMEOUT, what))


class Display:
    """A private Xvfb, on a display number it picks itself."""

    def __enter__(self):
        read, write = os.pipe()
        # -noreset: otherwise the server starts over each time its last
        # client leaves, and a program connecting just then (the one under
        # test, while xdotool comes and goes looking for its window) is
        # turned away.
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=die_with_parent)
        os.close(write)
        number = b""
        with os.fdopen(read, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    fail("Xvfb did not start")
                number += chunk
        self.env = dict(os.environ, DISPLAY=":" + number.decode().strip())
        self.env.pop("WAYLAND_DISPLAY", None)
        return self

    def __exit__(self, *exc):
        self.server.terminate()
        self.server.wait()

    def run(self, *args):
        return subprocess.run(args, env=self.env, capture_output=True, check=True).stdout


class Window:
    def __init__(self, display, window_id):
        self.display, self.id = display, window_id

    def title(self):
        return self.display.run("xdotool", "getwindowname", self.id).decode().strip()

    def status(self):
        m = re.search(r"frame (\d+) \| speed (-?[\d.]+) \| (\d+) samples \| "
                      r"(recording|REWINDING, (\d+) back) .*\((-?[\d.]+), (-?[\d.]+)\)",
                      self.title())
        if not m:
            return None
        return {"frame": int(m[1]), "speed": float(m[2]), "samples": int(m[3]),
                "rewinding": m[4] != "recording", "back": int(m[5] or 0),
                "x": float(m[6]), "y": float(m[7])}

    def drawn(self):
        try:
            image = self.pixels()
        except subprocess.CalledProcessError:  # not viewable yet
            return False
        return image.rgb(5, VIEW_H + 5) == STRIP and image.rgb(5, 100) != (0, 0, 0)

    def keys(self, action, *names):
        self.display.run("xdotool", action, *names)

    def pixels(self):
        return XwdImage(self.display.run("xwd", "-silent", "-id", self.id))


class XwdImage:
    """The window's pixels from an xwd dump (TrueColor, 24 or 32 bits)."""

    def __init__(self, data):
        h = struct.unpack(">25I", data[:100])
        self.width, self.height = h[4], h[5]
        self.msb, self.bpp, self.line = h[7] == 1, h[11] // 8, h[12]
        self.masks = h[14:17]
        self.data, self.start = data, h[0] + h[19] * 12

    def rgb(self, x, y):
        at = self.start + y * self.line + x * self.bpp
        value = int.from_bytes(self.data[at:at + self.bpp], "big" if self.msb else "little")
        out = []
        for mask in self.masks:
            shift = (mask & -mask).bit_length() - 1
            out.append((value & mask) >> shift)
        return tuple(out)

    def label_pixels(self):
        """White pixels right of the timeline's end, where the module's
        seconds label goes, wherever the bars have come to."""
        return sum(1 for x in range(int(VIEW_W * 0.62), int(VIEW_W * 0.75), 2)
                   for y in range(int(VIEW_H * 0.75), int(VIEW_H * 0.98), 2)
                   if self.rgb(x, y) == (255, 255, 255))

    def tick_pixels(self):
        """Pixels of the module's mark ticks on the timeline, wherever the
        bars have come to."""
        return sum(1 for x in range(int(VIEW_W * 0.4), int(VIEW_W * 0.6) + 2)
                   for y in range(int(VIEW_H * 0.75), int(VIEW_H * 0.98), 2)
                   if self.rgb(x, y) == (255, 200, 0))

    def black_share(self, y):
        """The share of pure black pixels along row y of the game's screen:
        only the module's letterbox bars are pure black there."""
        row = [self.rgb(x, y) for x in range(0, VIEW_W, 4)]
        return sum(1 for p in row if p == (0, 0, 0)) / len(row)

    def save_png(self, path):
        rows = b"".join(b"\0" + b"".join(bytes(self.rgb(x, y)) for x in range(self.width))
                        for y in range(self.height))
        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body)))
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n" +
                      chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)) +
                      chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def start_play(display, sim, workdir, *args):
    process = subprocess.Popen([sim, "play", *args], cwd=workdir, env=display.env,
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True, preexec_fn=die_with_parent)
    def found():
        if process.poll() is not None:
            fail("play ended at once: " + process.stderr.read())
        ids = subprocess.run(["xdotool", "search", "--name", "^Quorvat play: frame"],
                             env=display.env, capture_output=True, text=True).stdout.split()
        return ids[0] if ids else None
    window = Window(display, wait_for("the window", found))
    wait_for("the window to show the game and the harness's strip", window.drawn)
    wait_for("the keyboard's focus", lambda: subprocess.run(
        ["xdotool", "windowfocus", "--sync", window.id], env=display.env,
        capture_output=True).returncode == 0)
    return process, window


def end_play(process, window):
    window.keys("key", "Escape")
    try:
        out, err = process.communicate(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        process.kill()
        fail("play did not end after Escape")
    if process.returncode != 0:
        fail("play exited with %d: %s" % (process.returncode, err))
    return out


class Keys:
    """The player at the keyboard, with the shipped settings: the seconds
    label shows while rewinding, and F8 drops a mark and jumps to it."""
    starts = "F7"
    label = True
    logs = True  # the shipped settings keep the log
    marks = True

    def __init__(self, process, window):
        self.window = window

    @staticmethod
    def args(work):
        return []

    def finish(self):
        pass

    def walk(self, on):
        self.window.keys("keydown" if on else "keyup", "w")

    def enter(self):
        # A press and release within one frame must still reach the module.
        self.window.keys("key", "F7")

    leave = enter

    def older(self, on):
        self.window.keys("keydown" if on else "keyup", "z")

    def mark(self):
        self.window.keys("key", "F8")


class Hold(Keys):
    """The player at the keyboard with [Keys] Hold=1 alone: F7 held rewinds
    and runs back by itself, letting it go plays on. No label, no log."""
    label = False
    logs = False
    marks = False

    @staticmethod
    def args(work):
        settings = os.path.join(work, "hold.ini")
        with open(settings, "w") as out:
            out.write("[Keys]\nHold=1\n")
        return ["--settings", settings]

    def enter(self):
        self.window.keys("keydown", "F7")

    def leave(self):
        self.window.keys("keyup", "F7")

    def older(self, on):
        pass  # holding F7 goes back

    def mark(self):
        pass  # its settings set no mark key


class Pad:
    """The player at the virtual pad: each line is its whole state until the
    next, so the chord is held until the next line lets it go. Its settings
    don't turn the label on."""
    starts = "pad Back"
    label = False
    logs = False
    marks = False

    def __init__(self, process, window):
        self.process = process
        self.window = window
        wait_for("the pad to be connected", lambda: window.title().endswith("| pad"))

    @staticmethod
    def args(work):
        settings = os.path.join(work, "pad.ini")  # the module's pad is off unless this says so
        with open(settings, "w") as out:
            out.write("[Pad]\nEnable=1\n")
        return ["--virtual-pad", "--settings", settings]

    def finish(self):
        self.send("unplug")
        wait_for("the pad to be gone", lambda: self.window.title().endswith("| no pad"))

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def walk(self, on):
        self.send("0 0 0 0 32767" if on else "0 0 0")

    def enter(self):
        self.send("32 0 0")  # Back, the default chord

    leave = enter

    def older(self, on):
        self.send("0 200 0" if on else "0 0 0")  # the left trigger

    def mark(self):
        pass  # its settings set no mark key


def session(sim, controls):
    """Walks north a little, rewinds, scrubs back with the letterbox bars on
    the screen, resumes, the bars fade; the record replays to the same
    trace."""
    work = tempfile.mkdtemp(prefix="quorvat-play-test-")
    image = None
    status = lambda test: (lambda s: s if s and test(s) else None)(window.status())
    try:
        with Display() as display:
            record, trace = os.path.join(work, "session.json"), os.path.join(work, "play.jsonl")
            process, window = start_play(display, sim, work, "--record", record, "--trace", trace,
                                         *controls.args(work))
            try:
                player = controls(process, window)
                image = window.pixels()
                if image.black_share(3) > 0.1:
                    fail("letterbox bars before any rewind")
                start = wait_for("the first frames", window.status)
                player.walk(True)
                walked = wait_for("the player to walk a metre north",
                                  lambda: status(lambda s: s["y"] >= start["y"] + 1.0))
                if controls.marks:
                    # A mark, then a little further before the rewind.
                    player.mark()
                    wait_for("the player to walk on", lambda: status(
                        lambda s: s["y"] >= walked["y"] + 0.5))
                player.walk(False)
                if window.status()["rewinding"] or walked["samples"] < 30:
                    fail("expected some recording by now: %s" % window.title())
                player.enter()
                wait_for("rewinding at game speed -1",
                         lambda: status(lambda s: s["rewinding"] and s["speed"] == -1.0))
                player.older(True)
                wait_playing(window, "scrubbing 20 samples back",
                             lambda: status(lambda s: s["back"] >= 20))
                image = wait_for("the letterbox bars on the screen", lambda: (
                    lambda i: i if i.black_share(3) > 0.9 and i.black_share(VIEW_H - 4) > 0.9
                    else None)(window.pixels()))
                if (image.label_pixels() > 20) != controls.label:
                    fail("the seconds label is %s by the timeline"
                         % ("missing" if controls.label else "drawn"))
                player.older(False)
                if controls.marks:
                    if image.tick_pixels() < 4:
                        fail("no tick on the timeline for the mark")
                    before = window.status()
                    player.mark()  # back to the mark, where play goes on from
                    wait_playing(window, "a few frames after the jump",
                                 lambda: status(lambda s: s["frame"] >= before["frame"] + 5))
                player.leave()
                wait_for("play to resume",
                         lambda: status(lambda s: not s["rewinding"] and s["speed"] >= 0))
                image = wait_playing(window, "the bars to fade away", lambda: (
                    lambda i: i if i.black_share(3) < 0.1 and i.black_share(VIEW_H - 4) < 0.1
                    else None)(window.pixels()))
                player.finish()
                report = end_play(process, window)
            except BaseException:
                # A window gone at the wrong time is the program's ending:
                # what it said is the clue.
                if process.poll() is not None:
                    print("play exited with %d:\n%s" % (process.returncode, process.stderr.read()),
                          file=sys.stderr)
                raise
            finally:
                if process.poll() is None:
                    process.kill()
        # The report names what started the rewind, and the resume put the
        # player back where the scrubbed sample was taken.
        if not re.search(r"Rewind 1: " + re.escape(controls.starts) + r" at .*\n"
                         r"(?:  jumped to the mark of frame \d+\n)*"
                         r"  resumed at frame \d+, \d+ samples back.*\n"
                         r"  recorded there .*: 0\.000 m apart", report):
            fail("the report shows no scrubbed and restored rewind:\n" + report)
        ending = re.search(r"The player ended at .*", report)[0]
        # The module's log is kept in the folder played in, and the report
        # says where, only when the settings turn it on.
        log = os.path.join(os.path.realpath(work), "Quorvat.log")
        said = ("The module's support log: " + log) in report
        if said != controls.logs or os.path.exists(log) != controls.logs:
            fail("the log is%s kept and%s named:\n%s"
                 % ("" if os.path.exists(log) else " not", "" if said else " not", report))
        if controls.logs and "rewind (F7)" not in open(log, newline="").read():
            fail("the log has no line for the rewind")
        # The mark key reached the module through the window: the report
        # says the rewind jumped to the mark, and play went on from there.
        jumped = re.search(r"  jumped to the mark of frame (\d+)\n  resumed at frame \d+, \d+ "
                           r"samples back.*from the sample of frame (\d+)", report)
        if controls.marks != bool(jumped and jumped[1] == jumped[2]):
            fail("the report %s a jump to the mark played on from:\n%s"
                 % ("shows no" if controls.marks else "shows", report))

        # The record plays again in the live world: the same calls of the
        # module and the same end, across the rewind.
        out = os.path.join(work, "replay")
        replay = subprocess.run([sim, "demo", "--script", record, "--out", out],
                                capture_output=True, text=True)
        if replay.returncode != 0:
            fail("demo --script failed: " + replay.stderr)
        if ending not in replay.stdout:
            fail("the replay ended elsewhere: %r, not %r" % (replay.stdout, ending))
        with open(trace, "rb") as a, open(os.path.join(out, "trace.jsonl"), "rb") as b:
            if a.read() != b.read():
                fail("the replay's trace differs from the session's")
        traced = subprocess.run([sim, "run", record, "--trace", os.devnull],
                                capture_output=True, text=True)
        if traced.returncode != 0:
            fail("run failed on the record: " + traced.stderr)
        shutil.rmtree(work)
    except BaseException:
        if image is not None:
            image.save_png(os.path.join(work, "window.png"))
        print("kept for a look: " + work, file=sys.stderr)
        raise


def no_display(sim):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    done = subprocess.run([sim, "play"], env=env, capture_output=True, text=True, timeout=TIMEOUT)
    lines = done.stderr.splitlines()
    if done.returncode != 1 or len(lines) != 1 or "xvfb-run" not in lines[0]:
        fail("expected exit 1 and one line naming xvfb-run, got %d: %r"
             % (done.returncode, done.stderr))


def screen_gone(sim):
    """The screen program dies mid-session: the game's side says so, exits 1,
    and still unloads the module and keeps the record and the trace."""
    work = tempfile.mkdtemp(prefix="quorvat-play-gone-")
    record, trace = os.path.join(work, "session.json"), os.path.join(work, "play.jsonl")
    with Display() as display:
        process, window = start_play(display, sim, work, "--record", record, "--trace", trace)
        try:
            wait_for("some frames", lambda: (lambda s: s and s["frame"] > 30)(window.status()))
            with open("/proc/%d/task/%d/children" % (process.pid, process.pid)) as children:
                screen = int(children.read().split()[0])
            os.kill(screen, signal.SIGKILL)
            _, err = process.communicate(timeout=TIMEOUT)
        finally:
            if process.poll() is None:
                process.kill()
    # The last line: a sanitizer's build may warn of its own before.
    if process.returncode != 1 or not re.fullmatch(
            r"quorvat-sim: play: the screen \(.*quorvat-screen\) has ended "
            r"\(killed by signal 9\)", (err.splitlines() or [""])[-1]):
        fail("expected exit 1 and a last line on the screen's end, got %d: %r"
             % (process.returncode, err))
    # Played again in the live world, whose traffic the module follows.
    out = os.path.join(work, "replay")
    replay = subprocess.run([sim, "demo", "--script", record, "--out", out],
                            capture_output=True, text=True)
    with open(trace, "rb") as kept, open(os.path.join(out, "trace.jsonl"), "rb") as again:
        if replay.returncode != 0 or kept.read() != again.read():
            fail("the record does not trace as the session did: " + replay.stderr)
    shutil.rmtree(work)


def picture(sim, path):
    """Runs to the car, drives east past the parked cars, rewinds and holds
    Z: the README's picture is of that moment."""
    work = tempfile.mkdtemp(prefix="quorvat-play-picture-")
    with Display() as display:
        process, window = start_play(display, sim, work)
        def until(what, test):
            wait_for(what, lambda: (lambda s: s and test(s))(window.status()))
        window.keys("keydown", "shift", "w")
        until("the player beside the car", lambda s: s["y"] >= 9.5)
        window.keys("keyup", "w", "shift")
        window.keys("key", "e")
        wait_for("the player in the car", lambda: "in car" in window.title())
        window.keys("keydown", "w")
        until("the car past the parked ones", lambda s: s["x"] >= 75)
        window.keys("keyup", "w")
        window.keys("key", "F7")
        window.keys("keydown", "z")
        # Or the oldest sample: where frames are slow, a history of a
        # minute of play (RecSeconds=60) holds fewer.
        until("a second and a half scrubbed back",
              lambda s: s["back"] >= min(100, s["samples"] - 1))
        window.keys("keyup", "z")
        window.pixels().save_png(path)
        end_play(process, window)
    shutil.rmtree(work)


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    sim, mode = os.path.abspath(sys.argv[1]), sys.argv[2]
    if mode == "session":
        session(sim, Keys)
    elif mode == "pad":
        session(sim, Pad)
    elif mode == "hold":
        session(sim, Hold)
    elif mode == "no-display":
        no_display(sim)
    elif mode == "screen-gone":
        screen_gone(sim)
    else:
        picture(sim, sys.argv[3])
