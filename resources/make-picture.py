#!/usr/bin/env python3
"""Draws the Welcome page's picture: a 120 x 120 bitmap with 256 colours (resources/picture.bmp).

An open dictionary on a blue tile with a speech bubble holding a "P". The shapes are sampled
4 x 4 times per pixel for smooth edges, then reduced to a palette of the most frequent colours.
Run by hand after changing the drawing: python3 resources/make-picture.py resources/picture.bmp
"""
import math
import struct
import sys

SIZE = 120
SUB = 4
BACKGROUND = (240, 240, 240)


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and left <= x <= right and top <= y <= bottom


def inside_polygon(x, y, points):
    inside = False
    for i in range(len(points)):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % len(points)]
        if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
            inside = not inside
    return inside


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


LEFT_PAGE = [(20, 46), (60, 54), (60, 98), (20, 90)]
RIGHT_PAGE = [(60, 54), (100, 46), (100, 90), (60, 98)]
COVER = [(16, 48), (60, 57), (104, 48), (104, 95), (60, 103), (16, 95)]


def page_line(x, y, page):
    """Printed lines on a page: thin slanted strokes following the page's top edge."""
    if page == 0:
        if not 25 <= x <= 55:
            return False
        base = 46 + (x - 20) * 8 / 40
    else:
        if not 65 <= x <= 95:
            return False
        base = 54 - (x - 60) * 8 / 40
    offset = y - base
    return any(abs(offset - k) < 0.8 for k in (10, 16, 22, 28, 34))


def sample(x, y):
    if not inside_rounded_rect(x, y, 3, 3, 117, 117, 18):
        return BACKGROUND
    colour = mix((24, 70, 150), (20, 150, 170), y / SIZE)
    # Soft highlight in the upper left of the tile.
    glow = max(0.0, 1 - math.hypot(x - 30, y - 22) / 70)
    colour = mix(colour, (90, 160, 220), glow * 0.5)
    if inside_polygon(x, y - 2, COVER):
        colour = (12, 32, 70)  # shadow
    if inside_polygon(x, y, COVER):
        colour = (150, 30, 40)
    for page, points in enumerate((LEFT_PAGE, RIGHT_PAGE)):
        if inside_polygon(x, y, points):
            shade = abs(x - 60) / 40
            colour = mix((215, 210, 195), (252, 250, 242), min(1.0, shade * 3))
            if page_line(x, y, page):
                colour = (120, 130, 150)
    if abs(x - 60) < 0.7 and 54 <= y <= 98:
        colour = (160, 150, 130)
    # Speech bubble with its tail, and the letter P inside it.
    bubble = math.hypot(x - 86, y - 27) <= 17
    tail = inside_polygon(x, y, [(74, 36), (84, 42), (68, 50)])
    if bubble or tail:
        colour = (245, 150, 30)
        stem = 80 <= x <= 84.5 and 17 <= y <= 38
        ring = 3.0 <= math.hypot(x - 86.5, y - 22.5) <= 7.2 and x >= 82
        if stem or (ring and y <= 30):
            colour = (255, 255, 255)
    return colour


def render():
    pixels = []
    for row in range(SIZE):
        line = []
        for col in range(SIZE):
            total = [0.0, 0.0, 0.0]
            for sy in range(SUB):
                for sx in range(SUB):
                    c = sample(col + (sx + 0.5) / SUB, row + (sy + 0.5) / SUB)
                    for i in range(3):
                        total[i] += c[i]
            line.append(tuple(int(round(v / (SUB * SUB))) for v in total))
        pixels.append(line)
    return pixels


def palette_of(pixels):
    counts = {}
    for line in pixels:
        for c in line:
            key = (c[0] >> 2, c[1] >> 2, c[2] >> 2)
            counts[key] = counts.get(key, 0) + 1
    keys = sorted(counts, key=lambda k: -counts[k])[:256]
    palette = [(k[0] << 2 | 2, k[1] << 2 | 2, k[2] << 2 | 2) for k in keys]
    while len(palette) < 256:
        palette.append((0, 0, 0))
    return palette


def nearest(palette, colour, cache):
    if colour not in cache:
        cache[colour] = min(range(len(palette)),
                            key=lambda i: sum((palette[i][j] - colour[j]) ** 2 for j in range(3)))
    return cache[colour]


def write_bmp(path, pixels, palette):
    cache = {}
    rows = b"".join(bytes(nearest(palette, c, cache) for c in line) for line in reversed(pixels))
    offset = 14 + 40 + 256 * 4
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 8, 0, len(rows), 3780, 3780, 256, 256)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    with open(path, "wb") as out:
        out.write(header + info + colours + rows)


if __name__ == "__main__":
    image = render()
    write_bmp(sys.argv[1] if len(sys.argv) > 1 else "picture.bmp", image, palette_of(image))
