"""Tests of the benchmark's LHA header reader (lha_extract) and level-0 writer (lha_wrap).

Headers are built here field by field from the published layout, independently of the code
under test; where jlha and lhasa are installed they serve as black-box writer and reader.

    python3 -m unittest discover -s bench -p 'test_*.py'
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import lha_extract  # noqa: E402
import lha_wrap  # noqa: E402


def extended(kind, body, next_size):
    return bytes([kind]) + body + struct.pack("<H", next_size)


def chain(exts):
    """Extended headers, each ending with the size of the next one (0 after the last)."""
    sizes = [1 + len(body) + 2 for _, body in exts] + [0]
    return b"".join(extended(kind, body, sizes[i + 1]) for i, (kind, body) in enumerate(exts)), sizes[0]


def level1_member(name, stream, original, exts):
    """Base header with the name, then extended headers; 'packed' counts them too."""
    chained, first = chain(exts)
    body = (b"-lh5-" + struct.pack("<IIIBBB", len(stream) + len(chained), original, 0, 0x20, 1, len(name)) + name
            + struct.pack("<H", 0x1234) + b"U" + struct.pack("<H", first))
    return bytes([len(body), sum(body) & 0xFF]) + body + chained + stream


def level2_member(stream, original, exts):
    chained, first = chain(exts)
    fixed = (b"-lh5-" + struct.pack("<IIIBB", len(stream), original, 0, 0, 2) + struct.pack("<H", 0xBEEF) + b"U"
             + struct.pack("<H", first))
    return struct.pack("<H", 2 + len(fixed) + len(chained)) + fixed + chained + stream


class LhaHeaderLevels(unittest.TestCase):
    def test_level0_written_by_wrap_is_read_back(self):
        with tempfile.TemporaryDirectory() as d:
            stream, original, archive = (os.path.join(d, n) for n in ("s", "o", "a.lzh"))
            with open(stream, "wb") as f:
                f.write(b"\x01\x02\x03\x04\x05")
            with open(original, "wb") as f:
                f.write(b"123456789")
            lha_wrap.wrap("lh1", stream, original, archive, "file.txt")
            with open(archive, "rb") as f:
                data = f.read()
        (m,) = lha_extract.members(data)
        self.assertEqual((m["level"], m["method"], m["packed"], m["original"], m["name"]),
                         (0, "-lh1-", 5, 9, "file.txt"))
        self.assertEqual(m["crc"], 0xBB3D)  # the published check value of CRC-16/ARC for "123456789"
        self.assertEqual(data[m["start"] : m["start"] + 5], b"\x01\x02\x03\x04\x05")
        self.assertEqual(data[-1], 0, "archive ends with the end mark")
        self.assertEqual(data[1], sum(data[2 : data[0] + 2]) & 0xFF, "header sum")

    def test_level1_extended_headers_are_not_part_of_the_stream(self):
        data = level1_member(b"a.txt", b"STREAM", 100, [(0x01, b"long-name.txt"), (0x02, b"dir\xffsub")]) + b"\0"
        (m,) = lha_extract.members(data)
        self.assertEqual((m["level"], m["packed"], m["original"], m["crc"]), (1, 6, 100, 0x1234))
        self.assertEqual(m["name"], "dir/sub/long-name.txt")
        self.assertEqual(data[m["start"] : m["start"] + m["packed"]], b"STREAM")

    def test_level2_data_starts_after_total_header_size(self):
        data = level2_member(b"ABCDEFG", 7, [(0x00, b"\x00\x00"), (0x01, b"n.bin")]) + b"\0"
        (m,) = lha_extract.members(data)
        self.assertEqual((m["level"], m["packed"], m["name"], m["crc"]), (2, 7, "n.bin", 0xBEEF))
        self.assertEqual(data[m["start"] : m["start"] + 7], b"ABCDEFG")

    def test_members_of_mixed_levels_follow_each_other(self):
        data = (level1_member(b"one", b"11", 2, [])
                + level2_member(b"2222", 4, [(0x01, b"two")])
                + level1_member(b"three", b"333", 3, [(0x01, b"three")]) + b"\0")
        found = [(m["name"], data[m["start"] : m["start"] + m["packed"]]) for m in lha_extract.members(data)]
        self.assertEqual(found, [("one", b"11"), ("two", b"2222"), ("three", b"333")])


def patched(data, offset, value_bytes):
    data = bytearray(data)
    data[offset : offset + len(value_bytes)] = value_bytes
    return bytes(data)


class LhaHeaderDamaged(unittest.TestCase):
    # (archive bytes, the message expected): each must be refused with that reason.
    CASES = {
        "data past the end": (level2_member(b"ABCDEFG", 7, [])[:-3], "data runs past the end"),
        "truncated base header": (level2_member(b"AB", 2, [])[:15], "truncated header"),
        "extended header shorter than its own fields":
            (patched(level1_member(b"x", b"S", 1, []), 26, struct.pack("<H", 2)), "does not fit"),
        "extended header past the end": (level2_member(b"", 0, [(0x01, b"name")])[:-3], "does not fit"),
        "extended headers larger than the packed size":
            (patched(level1_member(b"x", b"", 0, [(0x01, b"n" * 20)]), 7, struct.pack("<I", 5)),
             "larger than its size"),
        "header level 3": (patched(level2_member(b"AB", 2, []), 20, b"\x03"), "level 3 is not supported"),
    }

    def test_each_case_is_refused(self):
        for name, (data, reason) in self.CASES.items():
            with self.subTest(name):
                with self.assertRaisesRegex(lha_extract.BadArchive, reason):
                    list(lha_extract.members(data))


@unittest.skipUnless(shutil.which("jlha") and shutil.which("lhasa"), "needs jlha and lhasa")
class LhaPeers(unittest.TestCase):
    def test_jlha_levels_give_one_stream_that_lhasa_expands_after_wrapping(self):
        original_bytes = b"".join(b"line %d of the peer test, some words repeat\n" % (i % 97) for i in range(3000))
        with tempfile.TemporaryDirectory() as d:
            with open(os.path.join(d, "orig.txt"), "wb") as f:
                f.write(original_bytes)
            streams = []
            for level in "012":
                archive = f"l{level}.lzh"
                subprocess.run(["jlha", f"a{level}o5q", archive, "orig.txt"], cwd=d, check=True,
                               stdout=subprocess.DEVNULL)
                with open(os.path.join(d, archive), "rb") as f:
                    data = f.read()
                (m,) = lha_extract.members(data)
                self.assertEqual((m["level"], m["method"], m["original"], m["name"]),
                                 (int(level), "-lh5-", len(original_bytes), "orig.txt"))
                streams.append(data[m["start"] : m["start"] + m["packed"]])
            self.assertEqual(streams[0], streams[1])
            self.assertEqual(streams[0], streams[2])
            with open(os.path.join(d, "raw.lh5"), "wb") as f:
                f.write(streams[0])
            lha_wrap.wrap("lh5", os.path.join(d, "raw.lh5"), os.path.join(d, "orig.txt"), os.path.join(d, "w.lzh"))
            out = subprocess.run(["lhasa", "-pq", "w.lzh"], cwd=d, check=True, capture_output=True).stdout
            self.assertEqual(out, original_bytes)
            # lhasa -p does not check the CRC-16, lhasa -t does: ours passes, a changed one fails.
            self.assertEqual(subprocess.run(["lhasa", "-tq", "w.lzh"], cwd=d, capture_output=True).returncode, 0)
            with open(os.path.join(d, "w.lzh"), "r+b") as f:
                data = bytearray(f.read())
                data[data[0]] ^= 0xFF  # the CRC's low byte: the header's last two bytes are the CRC
                data[1] = sum(data[2 : data[0] + 2]) & 0xFF
                f.seek(0)
                f.write(data)
            result = subprocess.run(["lhasa", "-tq", "w.lzh"], cwd=d, capture_output=True)
            self.assertNotEqual(result.returncode, 0, "lhasa accepted a wrong CRC-16")


if __name__ == "__main__":
    unittest.main()
