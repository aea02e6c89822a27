#!/usr/bin/env python3
"""Wraps one raw compressed stream in a minimal single-member .lzh archive (header level 0).

Peer tools such as lhasa read only archives, so a raw stream of ours (lh5 or the LZH method's
lh1) gets the smallest header they accept: size, header sum, method, packed and original sizes,
a fixed DOS time (so the archive is the same on every run), attribute, level 0, the name and the
CRC-16/ARC of the original bytes, followed by the stream and the end-of-archive zero byte.

    lha_wrap.py METHOD STREAM ORIGINAL ARCHIVE [--name NAME]     (METHOD lh5 or lh1: -lh5-, -lh1-)
"""

import argparse
import struct
import sys

DOS_TIME = (44 << 25) | (1 << 21) | (1 << 16)  # 2024-01-01 00:00:00


def crc16_table():
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xA001 if c & 1 else c >> 1
        table.append(c)
    return table


def crc16_arc(path):
    table = crc16_table()
    crc = 0
    with open(path, "rb") as f:
        while chunk := f.read(1 << 20):
            for b in chunk:
                crc = (crc >> 8) ^ table[(crc ^ b) & 0xFF]
    return crc


def level0_header(method, packed, original, crc, name):
    body = (method.encode("latin-1") + struct.pack("<IIIBBB", packed, original, DOS_TIME, 0x20, 0, len(name))
            + name + struct.pack("<H", crc))
    return bytes([len(body), sum(body) & 0xFF]) + body


def wrap(method, stream_path, original_path, archive_path, name="member.bin"):
    """Writes ARCHIVE: a level-0 header for METHOD ('lh5' or 'lh1'), the stream, the end mark."""
    encoded_name = name.encode("latin-1")
    if len(encoded_name) > 200:
        raise ValueError("name too long for a level-0 header")
    with open(stream_path, "rb") as f:
        stream = f.read()
    with open(original_path, "rb") as f:
        original = f.seek(0, 2)
    if len(stream) >= 1 << 32 or original >= 1 << 32:
        raise ValueError("level-0 sizes are 32 bits")
    header = level0_header(f"-{method}-", len(stream), original, crc16_arc(original_path), encoded_name)
    with open(archive_path, "wb") as out:
        out.write(header + stream + b"\0")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("method", choices=["lh1", "lh5"])
    parser.add_argument("stream")
    parser.add_argument("original")
    parser.add_argument("archive")
    parser.add_argument("--name", default="member.bin")
    args = parser.parse_args()
    try:
        wrap(args.method, args.stream, args.original, args.archive, args.name)
    except ValueError as e:
        sys.exit(f"lha_wrap: {e}")


if __name__ == "__main__":
    main()
