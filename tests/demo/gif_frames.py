#!/usr/bin/python3
"""What a viewer shows of a GIF: its frame count, size and length in
milliseconds, then for each frame asked for (composed over the ones
before, as a viewer shows it) "opaque" or "holes" (a pixel left transparent,
where a viewer shows the page behind it) and the colours at the middle of
its top and of its bottom row.

    gif_frames.py FILE [FRAME ...]
"""
import sys

from PIL import Image

path, *wanted = sys.argv[1:]
with Image.open(path) as gif:
    width, height = gif.size
    length = 0
    for n in range(gif.n_frames):
        gif.seek(n)
        length += gif.info["duration"]
    print(gif.n_frames, f"{width}x{height}", length)
    for n in map(int, wanted):
        gif.seek(n)
        shown = gif.convert("RGBA")
        opaque = shown.getextrema()[3][0] == 255
        top, bottom = (shown.getpixel((width // 2, y))[:3] for y in (0, height - 1))
        print(n, "opaque" if opaque else "holes", top, bottom)
