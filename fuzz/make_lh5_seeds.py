#!/usr/bin/env python3
"""Writes the seed corpus of the lh5 fuzz target into corpus/lh5/.

A seed is the fuzz input format: three bytes of expanded size (little-endian), one option byte,
then the stream. The seeds are the jlha streams of the expander tests (tests/data/lh5) and a few
streams written field by field like the edge cases of the tests: one-code lists, a 65536-symbol
block, matches at the start and across the window end, a final match past the size.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "tests", "data", "lh5")
OUT = os.path.join(HERE, "corpus", "lh5")


class Bits:
    def __init__(self):
        self.bits = []

    def put(self, value, n):
        self.bits += [(value >> i) & 1 for i in range(n - 1, -1, -1)]

    def bytes(self):
        b = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, b[i:i + 8])), 2) for i in range(0, len(b), 8))


def canonical(lengths):
    codes, code = {}, 0
    for n in range(1, 17):
        for s, l in enumerate(lengths):
            if l == n:
                codes[s] = code
                code += 1
        code <<= 1
    return codes


def one_code_head(w, size, symbol, distance_class=0):
    w.put(size, 16)
    w.put(0, 5), w.put(0, 5)
    w.put(0, 9), w.put(symbol, 9)
    w.put(0, 4), w.put(distance_class, 4)


def literal_block(w, text, matches=()):
    """All 256 literals with 9-bit codes; match lengths 3 and 4 with 8 bits, the others 9 bits."""
    lengths = [9] * 256 + [8, 8] + [9] * 252
    codes = canonical(lengths)
    w.put(len(text) + len(matches), 16)
    # Length code: 13 codes of 4 bits, 6 of 5 bits.
    lc = [4] * 13 + [5] * 6
    lcodes = canonical(lc)
    w.put(19, 5)
    for i, l in enumerate(lc):
        w.put(l, 3)
        if i + 1 == 3:
            w.put(0, 2)
    w.put(510, 9)
    for l in lengths:
        w.put(lcodes[l + 2], lc[l + 2])
    # Distances: classes 0..13 with 14 codes: 2 of 3 bits, 12 of 4 bits.
    dl = [3, 3] + [4] * 12
    w.put(14, 4)
    for l in dl:
        w.put(l, 3)
    dcodes = canonical(dl)
    for c in text:
        w.put(codes[c], lengths[c])
    for length, dist in matches:
        s = length + 253
        w.put(codes[s], lengths[s])
        cls = dist.bit_length()
        w.put(dcodes[cls], dl[cls])
        if cls > 1:
            w.put(dist & ((1 << (cls - 1)) - 1), cls - 1)


def seed(name, size, stream, options=0):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(struct.pack("<I", size)[:3] + bytes([options]) + stream)


def main():
    os.makedirs(OUT, exist_ok=True)
    for fn in sorted(os.listdir(DATA)):
        if fn.endswith(".lh5"):
            name = fn[:-4]
            size = os.path.getsize(os.path.join(DATA, name + ".bin"))
            seed("jlha-" + name, size, open(os.path.join(DATA, fn), "rb").read())
            seed("jlha-" + name + "-cut", size, open(os.path.join(DATA, fn), "rb").read(), options=0x0D)
    w = Bits()
    one_code_head(w, 5, ord("z"))
    one_code_head(w, 0, ord("q"))
    one_code_head(w, 1, 258, 5)
    w.put(2, 4)
    seed("one-code-blocks", 5 + 65536 + 5, w.bytes())
    w = Bits()
    literal_block(w, b"a", [(5, 0), (256, 8191), (3, 100)])
    seed("matches-at-start", 1 + 5 + 256 + 3, w.bytes())
    w = Bits()
    literal_block(w, bytes(range(256)) * 32, [(20, 40), (256, 3), (256, 8191)])
    seed("window-wrap", 8192 + 20 + 256 + 256 - 100, w.bytes(), options=0x01)


if __name__ == "__main__":
    main()
