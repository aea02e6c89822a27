#!/usr/bin/env python3
"""Makes the lh5 interoperability fixtures of the expander tests.

Each input NAME.bin is generated deterministically below; jlha (used as a black box) compresses
it into a .lzh archive with method -lh5-, and the member's raw compressed data is taken out of
the archive's header as NAME.lh5. Run from anywhere: python3 make_fixtures.py
"""
import os
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


class Lcg:
    def __init__(self, seed):
        self.x = seed

    def next(self, n):
        self.x = (self.x * 1103515245 + 12345) & 0x7FFFFFFF
        return (self.x >> 8) % n


WORDS = ("the of and to in is that for it as with was on be by this are from or at which an have not "
         "dictionary translation word entry language source target phrase meaning sense usage example "
         "grammar noun verb adjective plural singular archive member window match literal block code").split()


def text(size, seed):
    r, out, line = Lcg(seed), [], 0
    while sum(map(len, out)) < size:
        w = WORDS[r.next(len(WORDS))]
        if r.next(9) == 0:
            w = w.capitalize()
        out.append(w)
        line += len(w) + 1
        if line > 70 or r.next(23) == 0:
            out.append(".\n" if r.next(3) else ",\n")
            line = 0
        else:
            out.append(" ")
    return "".join(out).encode()[:size]


def binary(size, seed):
    # Records of counters, small integers and noise: every byte value occurs, many rarely,
    # which gives long literal codes.
    r, out, n = Lcg(seed), bytearray(), 0
    while len(out) < size:
        out += struct.pack("<IHB", n * 40503 & 0xFFFFFFFF, r.next(300), r.next(4))
        out += bytes(r.next(256) for _ in range(r.next(6)))
        if r.next(5) == 0:
            out += b"\x00" * r.next(40)
        n += 1
    return bytes(out[:size])


def runs(size, seed):
    # Long runs (distance 0, the longest matches) and repeats of a short period.
    r, out = Lcg(seed), bytearray()
    while len(out) < size:
        k = r.next(4)
        if k == 0:
            out += bytes([r.next(256)]) * (300 + r.next(2000))
        elif k == 1:
            unit = bytes(r.next(256) for _ in range(1 + r.next(7)))
            out += unit * (20 + r.next(200))
        else:
            out += bytes(r.next(256) for _ in range(r.next(30)))
    return bytes(out[:size])


FIXTURES = {
    "text-small": lambda: text(3000, 1),
    "text-large": lambda: text(70000, 2),
    "binary": lambda: binary(40000, 3),
    "runs": lambda: runs(50000, 4),
}


def raw_member(archive):
    """The single member's method, original size and raw data (header levels 0 to 2)."""
    level = archive[20]
    method = archive[2:7].decode()
    packed, original = struct.unpack_from("<II", archive, 7)
    if level == 2:
        start = struct.unpack_from("<H", archive, 0)[0]
    elif level == 0:
        start = 2 + archive[0]
    else:
        # Level 1: the packed size includes the extended headers that follow the base header.
        start = 2 + archive[0]
        n = struct.unpack_from("<H", archive, start - 2)[0]
        while n:
            packed -= n
            start += n
            n = struct.unpack_from("<H", archive, start - 2)[0]
    return method, original, archive[start:start + packed]


def main():
    with tempfile.TemporaryDirectory() as tmp:
        for name, make in FIXTURES.items():
            data = make()
            with open(os.path.join(HERE, name + ".bin"), "wb") as f:
                f.write(data)
            src = os.path.join(tmp, name + ".bin")
            with open(src, "wb") as f:
                f.write(data)
            lzh = os.path.join(tmp, name + ".lzh")
            subprocess.run(["jlha", "ao5q", lzh, name + ".bin"], cwd=tmp, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            method, original, raw = raw_member(open(lzh, "rb").read())
            assert method == "-lh5-" and original == len(data), (name, method, original)
            with open(os.path.join(HERE, name + ".lh5"), "wb") as f:
                f.write(raw)
            print(f"{name}: {len(data)} bytes -> {len(raw)} bytes of lh5 data")


if __name__ == "__main__":
    main()
