#!/usr/bin/env python3
"""Lists the members of an .lzh archive and writes each member's raw compressed stream to a file.

The benchmark hands these streams to `qdmx decode`, which knows only raw member data, so the
archive's headers have to be taken off. Header levels 0, 1 and 2 are read (level 3 and unknown
levels are refused). Every size is checked against the file, so a damaged archive stops the run
with a message instead of yielding a short stream.

Header layouts, all integers little-endian:
  level 0: size(1) sum(1) method(5) packed(4) original(4) dostime(4) attr(1) level(1)
           namelen(1) name crc16(2) [extension]; data at size + 2.
  level 1: as level 0 up to crc16, then os(1) nextsize(2); extended headers follow the base
           header, each type(1) body nextsize(2) (nextsize counts the whole next header);
           'packed' also counts the extended headers.
  level 2: totalsize(2) method(5) packed(4) original(4) unixtime(4) reserved(1) level(1)
           crc16(2) os(1) nextsize(2), then the extended headers; data at totalsize.

    lha_extract.py ARCHIVE                 list members as TSV
    lha_extract.py ARCHIVE --out DIR       also write DIR/<index>.<method> per member
"""

import argparse
import os
import struct
import sys


class BadArchive(Exception):
    pass


def u16(data, at):
    if at + 2 > len(data):
        raise BadArchive(f"header runs past the end of the archive at offset {at}")
    return struct.unpack_from("<H", data, at)[0]


def u32(data, at):
    if at + 4 > len(data):
        raise BadArchive(f"header runs past the end of the archive at offset {at}")
    return struct.unpack_from("<I", data, at)[0]


def extended_headers(data, at, first_size):
    """Walks a chain of extended headers; returns (name parts, bytes taken)."""
    names = {}
    size = first_size
    taken = 0
    while size:
        if size < 3 or at + size > len(data):
            raise BadArchive(f"extended header of {size} bytes at offset {at} does not fit")
        kind = data[at]
        body = data[at + 1 : at + size - 2]
        if kind in (0x01, 0x02):
            names[kind] = body.decode("latin-1").replace("\xff", "/")
        taken += size
        at += size
        size = u16(data, at - 2)
    return names, taken


def members(data):
    at = 0
    while at < len(data) and data[at] != 0:
        if at + 22 > len(data):
            raise BadArchive(f"truncated header at offset {at}")
        level = data[at + 20]
        method = data[at + 2 : at + 7].decode("latin-1")
        packed = u32(data, at + 7)
        original = u32(data, at + 11)
        names = {}
        if level == 0 or level == 1:
            base = data[at] + 2
            name_length = data[at + 21]
            name = data[at + 22 : at + 22 + name_length].decode("latin-1")
            crc = u16(data, at + 22 + name_length)
            start = at + base
            if level == 1:
                names, extra = extended_headers(data, start, u16(data, at + base - 2))
                if extra > packed:
                    raise BadArchive(f"member at offset {at}: extended headers larger than its size")
                packed -= extra
                start += extra
                name = names.get(0x01, name)
        elif level == 2:
            total = u16(data, at)
            crc = u16(data, at + 21)
            names, _ = extended_headers(data, at + 26, u16(data, at + 24))
            name = names.get(0x01, "")
            start = at + total
        else:
            raise BadArchive(f"member at offset {at}: header level {level} is not supported")
        if 0x02 in names:
            name = names[0x02].rstrip("/") + "/" + name
        if start + packed > len(data):
            raise BadArchive(f"member '{name}' at offset {at}: data runs past the end of the archive")
        yield {"level": level, "method": method, "packed": packed, "original": original,
               "crc": crc, "name": name, "start": start}
        at = start + packed


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("archive")
    parser.add_argument("--out", help="directory for the raw member streams")
    args = parser.parse_args()
    with open(args.archive, "rb") as f:
        data = f.read()
    if args.out:
        os.makedirs(args.out, exist_ok=True)
    print("index\tlevel\tmethod\tpacked\toriginal\tcrc16\tname\tstream")
    try:
        for index, m in enumerate(members(data)):
            stream = ""
            if args.out:
                stream = os.path.join(args.out, f"{index}.{m['method'].strip('-')}")
                with open(stream, "wb") as out:
                    out.write(data[m["start"] : m["start"] + m["packed"]])
            print(f"{index}\t{m['level']}\t{m['method']}\t{m['packed']}\t{m['original']}\t"
                  f"{m['crc']:04x}\t{m['name']}\t{stream}")
    except BadArchive as e:
        sys.exit(f"lha_extract: {args.archive}: {e}")


if __name__ == "__main__":
    main()
