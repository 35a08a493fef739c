#!/usr/bin/env python3
"""Draws the button background strips: four frames stacked top to bottom in
the state order normal, disabled, hot, pressed, each an 8-bit RGBA PNG.

    buttons.py OUTPUT_FOLDER

The buttons draw a frame nine-sliced with 3-pixel margins, so everything
that is not a plain vertical run (the rounded corners) stays within 3 pixels
of the frame's edges. A frame is, from the outside in: a 1-pixel border on a
rounded rectangle (outer radius 3), an optional 1-pixel inner line, and the
fill. Colours run from the top row to the bottom row of their part; the
corners are anti-aliased (8 x 8 samples a pixel) and partly transparent.

Only the standard library: the PNG is written here.
"""

import struct
import sys
import zlib
from dataclasses import dataclass, field
from pathlib import Path

RADIUS = 3.0   # of the outer edge; each ring inside is 1 smaller
SAMPLES = 8    # per pixel and axis, for the rounded corners


def rgb(text):
    """'#RRGGBB' -> (r, g, b)."""
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


@dataclass
class Frame:
    border: tuple            # top colour, bottom colour ('#RRGGBB' each)
    fill: tuple              # colours top to bottom: 1 (flat), 2 (one run) or 4 (upper half, lower half)
    inner: str = None        # the 1-pixel line inside the border, if any
    inner_shadow: str = None  # a pressed look: the fill darkens towards this colour at its top and sides


@dataclass
class Strip:
    name: str
    width: int
    height: int              # of one frame
    frames: list = field(default_factory=list)  # normal, disabled, hot, pressed


STRIPS = [
    Strip("button-default.png", 95, 31, [
        Frame(border=("#717171", "#717171"), fill=("#F2F2F2", "#ECECEC", "#DEDEDE", "#D0D0D0"), inner="#FCFCFC"),
        Frame(border=("#ACB3B7", "#ACB3B7"), fill=("#F4F4F4",)),
        Frame(border=("#0080B4", "#0080B4"), fill=("#E6F6FD", "#D0F0FD", "#ACE7FE", "#8EDAF6")),
        Frame(border=("#00628E", "#00628E"), fill=("#E0F4FC", "#B6E6F7", "#79D2F1", "#2DB7DF"), inner_shadow="#00628E"),
    ]),
    Strip("button-blue.png", 129, 29, [
        Frame(border=("#2593BC", "#0D6180"), fill=("#52B2D5", "#2594BD"), inner="#83C7E1"),
        Frame(border=("#B6B6B6", "#B6B6B6"), fill=("#E7E7E7",), inner="#F2F2F2"),
        Frame(border=("#2593BC", "#0D6180"), fill=("#5BC8F0", "#2FAEDD"), inner="#8AD8F5"),
        Frame(border=("#0D607F", "#107398"), fill=("#1987AF", "#43A8CD"), inner="#58A8C5"),
    ]),
]


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def run(a, b, i, n):
    """Colour of row i of n rows running from a to b (both ends exact)."""
    return mix(rgb(a), rgb(b), i / (n - 1) if n > 1 else 0.0)


def inside(x, y, inset, width, height):
    """Whether the point lies in the rounded rectangle inset by `inset`."""
    left, top, right, bottom = inset, inset, width - inset, height - inset
    if not (left <= x < right and top <= y < bottom):
        return False
    r = RADIUS - inset
    if r <= 0:
        return True
    cx = min(max(x, left + r), right - r)
    cy = min(max(y, top + r), bottom - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def fill_colour(frame, row, first, last):
    """Fill colour of a row; the fill spans rows first..last."""
    stops = frame.fill
    if len(stops) == 1:
        return rgb(stops[0])
    if len(stops) == 2:
        return run(stops[0], stops[1], row - first, last - first + 1)
    rows = last - first + 1
    upper = rows // 2
    if row - first < upper:
        return run(stops[0], stops[1], row - first, upper)
    return run(stops[2], stops[3], row - first - upper, rows - upper)


def shadow(frame, colour, x, y, width, fill_top):
    """The pressed look: the fill's top two rows and its side columns darken."""
    if not frame.inner_shadow:
        return colour
    depth = {fill_top: 0.30, fill_top + 1: 0.12}.get(y, 0.0)
    if x < 2 or x >= width - 2:
        depth = max(depth, 0.15)
    return mix(colour, rgb(frame.inner_shadow), depth)


def draw_frame(frame, width, height):
    """Rows of (r, g, b, a) tuples, straight alpha."""
    rings = 2 if frame.inner else 1
    fill_top, fill_bottom = rings, height - 1 - rings
    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            parts = {"border": 0, "inner": 0, "fill": 0}
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    px, py = x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES
                    if not inside(px, py, 0, width, height):
                        continue
                    if not inside(px, py, 1, width, height):
                        parts["border"] += 1
                    elif frame.inner and not inside(px, py, 2, width, height):
                        parts["inner"] += 1
                    else:
                        parts["fill"] += 1
            covered = sum(parts.values())
            if covered == 0:
                row.append((0, 0, 0, 0))
                continue
            colours = {
                "border": run(frame.border[0], frame.border[1], y, height),
                "inner": rgb(frame.inner) if frame.inner else None,
                "fill": shadow(frame, fill_colour(frame, min(max(y, fill_top), fill_bottom), fill_top, fill_bottom),
                               x, y, width, fill_top),
            }
            value = [0.0, 0.0, 0.0]
            for part, count in parts.items():
                if count:
                    value = [v + c * count for v, c in zip(value, colours[part])]
            alpha = round(255 * covered / (SAMPLES * SAMPLES))
            row.append(tuple(round(v / covered) for v in value) + (alpha,))
        pixels.append(row)
    return pixels


def png(rows):
    """An 8-bit RGBA PNG of the rows (no filter: optipng chooses later)."""
    height, width = len(rows), len(rows[0])

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: buttons.py OUTPUT_FOLDER")
    out = Path(sys.argv[1])
    for strip in STRIPS:
        assert len(strip.frames) == 4, strip.name
        rows = []
        for frame in strip.frames:
            rows += draw_frame(frame, strip.width, strip.height)
        (out / strip.name).write_bytes(png(rows))


if __name__ == "__main__":
    main()
