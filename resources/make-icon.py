#!/usr/bin/env python3
"""Draws the programs' icon from the Welcome page's picture (resources/picture.bmp, 120 x 120,
256 colours) as it is: scaled down by area averaging to 16, 32 and 48 pixels, 32-bit colour
with alpha, the picture's light background (the colour of its corner) made transparent. The
16-pixel image is a bitmap as every Windows reads it; the larger ones are PNG images, which
Windows reads in icons since Vista, at a fifth of the size: the icon travels in every setup.

Used by setup.exe, setup-template.exe and the Vellumor stand-in. Run by hand after changing the
picture: python3 resources/make-icon.py resources/picture.bmp resources/setup.ico
"""
import struct
import sys
import zlib

SIZES = (16, 32, 48)
SMALLEST_PNG = 32


def read_picture(path):
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    colours, = struct.unpack_from("<I", data, 46)
    if bits != 8:
        sys.exit("make-icon: expected a 256-colour bitmap")
    palette = [tuple(data[54 + 4 * i + 2 - c] for c in range(3)) for i in range(colours or 256)]
    stride = (width + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        row = height - 1 - y if height > 0 else y  # bottom-up unless the height is negative
        start = offset + row * stride
        rows.append([palette[i] for i in data[start:start + width]])
    return rows


def scaled(rows, size):
    """RGBA pixels, top row first: each target pixel averages the source area it covers."""
    source = len(rows)
    background = rows[0][0]
    scale = source / size
    pixels = []
    for ty in range(size):
        line = []
        for tx in range(size):
            total = [0.0, 0.0, 0.0]
            covered = weight = 0.0
            y0, y1, x0, x1 = ty * scale, (ty + 1) * scale, tx * scale, (tx + 1) * scale
            for sy in range(int(y0), min(source, int(y1 + 0.999999))):
                wy = min(y1, sy + 1) - max(y0, sy)
                for sx in range(int(x0), min(source, int(x1 + 0.999999))):
                    w = wy * (min(x1, sx + 1) - max(x0, sx))
                    weight += w
                    colour = rows[sy][sx]
                    if colour == background:
                        continue
                    covered += w
                    for c in range(3):
                        total[c] += colour[c] * w
            alpha = covered / weight
            colour = [round(t / covered) if covered else 0 for t in total]
            line.append((colour[0], colour[1], colour[2], round(alpha * 255)))
        pixels.append(line)
    return pixels


def icon_image(pixels):
    """A BITMAPINFOHEADER image as icons store it: doubled height, BGRA rows bottom-up, AND mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(pixels) for p in row)
    mask_stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def paeth(left, up, up_left):
    estimate = left + up - up_left
    distances = (abs(estimate - left), abs(estimate - up), abs(estimate - up_left))
    return (left, up, up_left)[distances.index(min(distances))]


def filtered(row, previous, kind):
    """One PNG row (4 bytes a pixel) under filter kind 0 to 4, the filter's byte first."""
    out = bytearray([kind])
    for i, value in enumerate(row):
        left = row[i - 4] if i >= 4 else 0
        up_left = previous[i - 4] if i >= 4 else 0
        up = previous[i]
        guess = (0, left, up, (left + up) // 2, paeth(left, up, up_left))[kind]
        out.append((value - guess) & 0xFF)
    return bytes(out)


def png_image(pixels):
    """An RGBA PNG image whose rows are filtered as compresses smallest: of one filter for every
    row, and of each row's filter chosen in turn for the smallest image so far."""
    size = len(pixels)
    rows = [bytes(c for p in row for c in p) for row in pixels]
    previous_rows = [bytes(4 * size)] + rows[:-1]
    candidates = [b"".join(filtered(row, previous, kind) for row, previous in zip(rows, previous_rows))
                  for kind in range(5)]
    greedy = b""
    for row, previous in zip(rows, previous_rows):
        greedy += min((greedy + filtered(row, previous, kind) for kind in range(5)),
                      key=lambda raw: len(zlib.compress(raw, 9)))[len(greedy):]
    candidates.append(greedy)
    idat = min((zlib.compress(raw, 9) for raw in candidates), key=len)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", idat) +
            png_chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make-icon.py PICTURE.bmp OUT.ico")
    rows = read_picture(sys.argv[1])
    images = [(png_image if size >= SMALLEST_PNG else icon_image)(scaled(rows, size)) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b"".join(images)
    open(sys.argv[2], "wb").write(out)


main()
