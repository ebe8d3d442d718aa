#!/usr/bin/env python3
"""Writes GlimraCode.ico: falling glyph trails on black, at 16, 32 and 48 pixels.

The picture is drawn from a few rules rather than stored, so the icon can be rebuilt and changed
here: each trail is a column of small glyph marks that fades from a bright head to dark green.
Run: python3 build-icon.py [OUTPUT]   (default: GlimraCode.ico beside this script)
"""
import os
import struct
import sys

# (column as a fraction of the width, head row as a fraction of the height, trail length in marks)
TRAILS = [(0.08, 0.55, 4), (0.30, 0.95, 7), (0.52, 0.40, 3), (0.74, 0.80, 6), (0.92, 0.25, 2)]
# Each glyph mark is a tiny 3 x 4 pattern; a few shapes alternate down a trail.
MARKS = [
    ["###", "..#", ".#.", "#.."],
    ["#.#", "###", "..#", "..#"],
    ["###", "#..", "###", "..#"],
]


def pixel_colour(step, length):
    """Head white-green, then brighter to darker green down the trail (step 0 is the head)."""
    if step == 0:
        return (0xD8, 0xFF, 0xD8, 0xFF)
    level = 1.0 - step / (length + 1)
    return (0, int(0x40 + 0xBF * level), int(0x20 * level), 0xFF)


def draw(size):
    """Rows of (r, g, b, a), top row first."""
    black = (0, 0, 0, 0xFF)
    rows = [[black] * size for _ in range(size)]
    scale = max(1, size // 16)
    mark_height = 4 * scale + scale
    for column, head, length in TRAILS:
        x0 = int(column * (size - 3 * scale))
        head_y = int(head * size)
        for step in range(length):
            top = head_y - (step + 1) * mark_height
            shape = MARKS[(step + int(column * 10)) % len(MARKS)]
            colour = pixel_colour(step, length)
            for my, line in enumerate(shape):
                for mx, cell in enumerate(line):
                    if cell != "#":
                        continue
                    for dy in range(scale):
                        for dx in range(scale):
                            x, y = x0 + mx * scale + dx, top + my * scale + dy
                            if 0 <= x < size and 0 <= y < size:
                                rows[y][x] = colour
    return rows


def bitmap_entry(size):
    """A 32-bit BMP image as an ICO holds it: header with doubled height, bottom-up BGRA, AND mask."""
    rows = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)  # every pixel opaque; the alpha channel decides on newer systems
    return header + pixels + mask


def icon(sizes):
    images = [bitmap_entry(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "GlimraCode.ico")
    with open(target, "wb") as output:
        output.write(icon([16, 32, 48]))


if __name__ == "__main__":
    main()
