#!/usr/bin/env python3
"""Writes the seed corpora of the archive, rle, support_record and archive_roundtrip fuzz targets.

archive: the hostile and damaged archives of tests/data/hostile (run make_hostile.py there first),
except the three largest, whose size only slows the fuzzer. rle: token sequences of the format.
support_record: support records as the wizard reads them. archive_roundtrip: member descriptions
(one key byte, then per member a method byte, two length bytes and the contents).
Usage: fuzz/make_hardening_seeds.py   (from anywhere; writes below fuzz/corpus/)
"""

import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
HOSTILE = os.path.join(HERE, "..", "tests", "data", "hostile")


def corpus(name):
    path = os.path.join(HERE, "corpus", name)
    os.makedirs(path, exist_ok=True)
    return path


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    archive = corpus("archive")
    for name in sorted(os.listdir(HOSTILE)):
        if name.endswith(".qdmx") and name not in ("method_5_to_255.qdmx", "name_long_path.qdmx", "name_deep.qdmx"):
            shutil.copy(os.path.join(HOSTILE, name), os.path.join(archive, name))

    rle = corpus("rle")
    write(rle, "literals", b"plain text without markers\n")
    write(rle, "runs", b"A\x94\x05B\x94\xffC\x94\x00\x94\x03")
    write(rle, "run-first", b"\x94\x10xyz")
    write(rle, "marker-last", b"abc\x94")
    write(rle, "marker-run", b"\x94\x00\x94\x00\x94\x80")

    record = corpus("support_record")
    write(record, "plain", b"PVD\tSample Dictionary\tTerms of the sample project\tParlavox\t45123.5")
    write(record, "midnight", b"x\tName\tDescription\tAuthor\t45000")
    write(record, "exponent", b"x\tN\tD\tA\t4.5123e4")
    write(record, "negative", b"\t\t\t\t-693593.75")
    write(record, "blanks", b"a\tb\tc\td\t  12.25  \textra\tfields")
    write(record, "bad-number", b"a\tb\tc\td\t12,5")
    write(record, "short", b"only\ttwo")

    roundtrip = corpus("archive_roundtrip")
    text = b"entry: term, translation, note. " * 40
    write(roundtrip, "four-methods", b"\x00" + b"".join(
        struct.pack("<BH", method, len(text)) + text for method in range(4)))
    write(roundtrip, "scrambled", b"\x01" + struct.pack("<BH", 3, 300) + bytes(range(256)) + b"z" * 44)
    write(roundtrip, "checksum-lock", b"\x02" + struct.pack("<BH", 2, 10) + b"aaaaaaaaaa" + struct.pack("<BH", 1, 0))
    write(roundtrip, "incompressible", b"\x00" + struct.pack("<BH", 1, 64) + bytes((i * 97 + 13) % 256 for i in range(64)))


if __name__ == "__main__":
    main()
