#!/usr/bin/env python3
"""Writes the hostile and damaged archives of this folder, their README and expected.txt.

Every archive is built byte by byte here (standard library only), so the files do not depend on
the archive writer they are meant to attack. Each case carries what must happen to it: the outcome
of listing (ReadDirectory), of expanding into files (ExpandArchive, with an OnCheckFile handler
that redirects member k to the file "m<k>" of a scratch folder), of `qdmx test` and of
`qdmx extract` in its default safe mode. expected.txt holds the same in a line format that
tests/hostile/HostileArchiveTest.cpp reads; README.md is the human-readable copy.

Usage: make_hostile.py [OUTPUT_DIRECTORY]   (default: the directory of this script)
"""

import os
import struct
import sys

PACKED_DATE = ((2024 - 1980) << 25) | (5 << 21) | (17 << 16) | (12 << 11) | (34 << 5) | 28
ARCHIVE_BIT = 0x20

MSG_BAD_CHECKSUM = "Bad checksum during expansion -- data may be invalid"
MSG_INVALID_KEY = "File locked -- valid key required"
MSG_BAD_TABLE = "Bad decode table in archive!"
MSG_BAD_HEADER = "Can't recognize compressed file header"
MSG_ARCHIVE_TYPE = "Archive type must be atMulti"
MSG_DAMAGED = "Damaged archive: "
MSG_REFUSED = "refusing unsafe member name"
MSG_TOTAL = "differs from the members' sum"
MSG_SHORT = "not an archive"


def byte_sum(data):
    return sum(data) & 0xFFFFFFFF


# ---------------------------------------------------------------------------------------------
# Archive layout


def archive_header(method=b"NON", total=0, archive_type=1, signature=b"QDMX\x1a", lock_mark=0):
    return signature + method + struct.pack("<iBii", total, archive_type, 0, lock_mark)


class Member:
    """One member record; fields left as None follow from the data and the expanded bytes."""

    def __init__(self, name, data, expanded=None, method=0, checksum=None, lock=0, name_length=None,
                 expanded_size=None, compressed_size=None):
        self.name = name
        self.data = data
        self.expanded = data if expanded is None else expanded
        self.method = method
        self.checksum = byte_sum(self.expanded) if checksum is None else checksum
        self.lock = lock
        self.name_length = len(name) if name_length is None else name_length
        self.expanded_size = len(self.expanded) if expanded_size is None else expanded_size
        self.compressed_size = len(data) if compressed_size is None else compressed_size

    def header(self):
        return struct.pack("<hihiiBIi", self.name_length, PACKED_DATE, ARCHIVE_BIT, self.expanded_size,
                           self.compressed_size, self.method, self.checksum & 0xFFFFFFFF, self.lock)

    def record(self):
        return self.header() + self.name + self.data


def build(members, method=b"NON", total=None, **header):
    if total is None:
        total = sum(m.expanded_size for m in members)
    return archive_header(method, total, **header) + b"".join(m.record() for m in members)


# ---------------------------------------------------------------------------------------------
# lh5 streams: canonical codes sent at each block head, most significant bit first


class BitWriter:
    def __init__(self):
        self.bits = []

    def put(self, n, value):
        for i in range(n - 1, -1, -1):
            self.bits.append((value >> i) & 1)

    def bit_length(self):
        return len(self.bits)

    def to_bytes(self):
        bits = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


def canonical_codes(lengths):
    """symbol -> (length, code) as the canonical assignment gives them (shorter codes first)."""
    count = [0] * 17
    for length in lengths:
        if length:
            count[length] += 1
    start = [0] * 18
    for i in range(1, 17):
        start[i + 1] = start[i] + (count[i] << (16 - i))
    codes = {}
    for symbol, length in enumerate(lengths):
        if length:
            codes[symbol] = (length, start[length] >> (16 - length))
            start[length] += 1 << (16 - length)
    return codes


def complete_lengths(symbols, alphabet):
    """Code lengths of a complete prefix code over the given symbols (at least two)."""
    n = len(symbols)
    longest = max(1, (n - 1).bit_length())
    short = (1 << longest) - n
    lengths = [0] * alphabet
    for i, symbol in enumerate(sorted(symbols)):
        lengths[symbol] = longest - 1 if i < short else longest
    return lengths


def put_aux_length(out, length):
    if length < 7:
        out.put(3, length)
    else:
        out.put(3, 7)
        out.put(length - 7, (1 << (length - 7)) - 1)
        out.put(1, 0)


def put_aux_list(out, lengths, count_bits, zero_run_after, count=None):
    """A length list as the reader takes it: count, lengths, and the 2-bit zero run after entry 3."""
    if count is None:
        count = len(lengths)
        while count and lengths[count - 1] == 0:
            count -= 1
    out.put(count_bits, count)
    i = 0
    while i < count:
        put_aux_length(out, lengths[i])
        i += 1
        if i == zero_run_after:
            zeros = 0
            while zeros < 3 and i + zeros < count and lengths[i + zeros] == 0:
                zeros += 1
            out.put(2, zeros)
            i += zeros


def symbol_length_tokens(lengths):
    """The symbol lengths as length-code tokens: (code, extra bit count, extra value)."""
    n = len(lengths)
    while n and lengths[n - 1] == 0:
        n -= 1
    tokens = []
    i = 0
    while i < n:
        if lengths[i]:
            tokens.append((lengths[i] + 2, 0, 0))
            i += 1
            continue
        run = 0
        while i + run < n and lengths[i + run] == 0:
            run += 1
        i += run
        while run:
            if run >= 20:
                take = min(run, 20 + 511)
                tokens.append((2, 9, take - 20))
            elif run >= 3:
                take = min(run, 18)
                tokens.append((1, 4, take - 3))
            else:
                take = 1
                tokens.append((0, 0, 0))
            run -= take
    return n, tokens


def distance_class(p):
    return p.bit_length()


class Lh5Block:
    """A well-formed block of literals (ints) and matches ((length, distance value)) with codes
    built from the symbols it uses; the hostile cases change single parts of it."""

    def __init__(self, symbols, size=None):
        self.symbols = symbols
        self.size = len(symbols) if size is None else size
        used = sorted({s if isinstance(s, int) else s[0] + 253 for s in symbols})
        self.single_symbol = used[0] if len(used) == 1 else None
        self.sym_lengths = complete_lengths(used, 510) if len(used) > 1 else [0] * 510
        self.count, self.tokens = symbol_length_tokens(self.sym_lengths)
        len_codes = sorted({t[0] for t in self.tokens})
        self.single_len_code = len_codes[0] if len(len_codes) == 1 else None
        self.len_lengths = complete_lengths(len_codes, 19) if len(len_codes) > 1 else [0] * 19
        classes = sorted({distance_class(s[1]) for s in symbols if not isinstance(s, int)})
        self.single_class = (classes[0] if classes else 0) if len(classes) <= 1 else None
        self.dist_lengths = complete_lengths(classes, 14) if len(classes) > 1 else [0] * 14

    def write_head(self, out, len_list=None, sym_list=None, dist_list=None):
        out.put(16, self.size)
        if self.single_symbol is not None:
            out.put(5, 0)
            out.put(5, 0)
            out.put(9, 0)
            out.put(9, self.single_symbol)
        else:
            if len_list:
                len_list(out)
            elif self.single_len_code is not None:
                out.put(5, 0)
                out.put(5, self.single_len_code)
            else:
                put_aux_list(out, self.len_lengths, 5, 3)
            if sym_list:
                sym_list(out)
            else:
                self.write_symbol_lengths(out)
        if dist_list:
            dist_list(out)
        elif self.single_class is not None:
            out.put(4, 0)
            out.put(4, self.single_class)
        else:
            put_aux_list(out, self.dist_lengths, 4, -1)

    def write_symbol_lengths(self, out):
        codes = canonical_codes(self.len_lengths) if self.single_len_code is None else {}
        out.put(9, self.count)
        for code, extra_bits, extra in self.tokens:
            if code in codes:
                out.put(*codes[code])
            out.put(extra_bits, extra)

    def write_symbols(self, out):
        codes = canonical_codes(self.sym_lengths)
        dist_codes = canonical_codes(self.dist_lengths)
        for s in self.symbols:
            symbol = s if isinstance(s, int) else s[0] + 253
            if symbol in codes:
                out.put(*codes[symbol])
            if not isinstance(s, int):
                k = distance_class(s[1])
                if k in dist_codes:
                    out.put(*dist_codes[k])
                if k > 1:
                    out.put(k - 1, s[1] - (1 << (k - 1)))

    def stream(self, **head):
        out = BitWriter()
        self.write_head(out, **head)
        self.write_symbols(out)
        return out.to_bytes()


def lz_expand(symbols, window_size, fill=0x20):
    """What a symbol list expands to: literals, and matches that copy from distance + 1 back."""
    window = bytearray([fill]) * window_size
    pos = 0
    out = bytearray()
    for s in symbols:
        if isinstance(s, int):
            run = [s]
        else:
            length, distance = s
            run = []
            source = (pos - distance - 1) % window_size
            for k in range(length):
                b = window[(source + k) % window_size]
                window[pos] = b
                pos = (pos + 1) % window_size
                run.append(b)
            out.extend(run)
            continue
        window[pos] = s
        pos = (pos + 1) % window_size
        out.append(s)
    return bytes(out)


def lh5_expand(symbols):
    return lz_expand(symbols, 8192)


# ---------------------------------------------------------------------------------------------
# The LZH method's stream: one adaptive Huffman model for literals and lengths, a fixed code for
# the upper six bits of a position.

LZH_SYMBOLS = 314
LZH_NODES = 2 * LZH_SYMBOLS - 1
LZH_ROOT = LZH_NODES - 1


class LzhModel:
    def __init__(self):
        self.freq = [0] * (LZH_NODES + 1)
        self.parent = [0] * (LZH_NODES + LZH_SYMBOLS)
        self.child = [0] * LZH_NODES
        for s in range(LZH_SYMBOLS):
            self.freq[s] = 1
            self.child[s] = s + LZH_NODES
            self.parent[s + LZH_NODES] = s
        j = 0
        for i in range(LZH_SYMBOLS, LZH_NODES):
            self.freq[i] = self.freq[j] + self.freq[j + 1]
            self.child[i] = j
            self.parent[j] = self.parent[j + 1] = i
            j += 2
        self.freq[LZH_NODES] = 0xFFFF
        self.parent[LZH_ROOT] = 0

    def code(self, symbol):
        bits = []
        node = self.parent[symbol + LZH_NODES]
        while node != LZH_ROOT:
            bits.append(node & 1)
            node = self.parent[node]
        return bits[::-1]

    def update(self, symbol):
        assert self.freq[LZH_ROOT] < 0x8000, "the cases never reach a rebuild"
        c = self.parent[symbol + LZH_NODES]
        while True:
            self.freq[c] += 1
            k = self.freq[c]
            if k > self.freq[c + 1]:
                last = c + 2
                while k > self.freq[last]:
                    last += 1
                last -= 1
                self.freq[c] = self.freq[last]
                self.freq[last] = k
                i = self.child[c]
                self.parent[i] = last
                if i < LZH_NODES:
                    self.parent[i + 1] = last
                j = self.child[last]
                self.child[last] = i
                self.parent[j] = c
                if j < LZH_NODES:
                    self.parent[j + 1] = c
                self.child[c] = j
                c = last
            c = self.parent[c]
            if c == 0:
                break


def lzh_position_code(u):
    lengths = [3] + [4] * 3 + [5] * 8 + [6] * 12 + [7] * 24 + [8] * 16
    code = 0
    for v in range(u):
        code += 1
        if lengths[v + 1] > lengths[v]:
            code <<= lengths[v + 1] - lengths[v]
    return lengths[u], code


def lzh_stream(symbols):
    """Encodes literals and (length, position value) matches; also returns the bit offsets at
    which each position code starts and ends."""
    model = LzhModel()
    out = BitWriter()
    position_spans = []
    for s in symbols:
        symbol = s if isinstance(s, int) else s[0] + 253
        for bit in model.code(symbol):
            out.put(1, bit)
        model.update(symbol)
        if not isinstance(s, int):
            start = out.bit_length()
            length, code = lzh_position_code(s[1] >> 6)
            out.put(length, code)
            out.put(6, s[1] & 63)
            position_spans.append((start, out.bit_length()))
    return out.to_bytes(), position_spans


def lzh_expand(symbols):
    window = bytearray([0x20]) * 4096
    pos = 4036
    out = bytearray()
    for s in symbols:
        if isinstance(s, int):
            window[pos] = s
            pos = (pos + 1) & 4095
            out.append(s)
            continue
        length, position = s
        source = (pos - position - 1) & 4095
        for k in range(length):
            b = window[(source + k) & 4095]
            window[pos] = b
            pos = (pos + 1) & 4095
            out.append(b)
    return bytes(out)


# ---------------------------------------------------------------------------------------------
# The cases


class Case:
    """A file and what must happen to it.

    list:    ("ok", entries) or ("error", class, message prefix, entries listed before it)
    expand:  ("ok",) or ("error", class, message prefix)
    outputs: member index -> expected bytes of its file "m<k>" (None: must exist, any content);
             every other member leaves no file
    test / extract: (exit status, text that standard error must contain, or "")
    extracted: relative path (with '/') -> bytes, the files qdmx extract leaves below its target
    extract_win32: (exit status, text) of qdmx extract on Windows, where it differs
    """

    def __init__(self, file, tries, data, list, expand, outputs, test, extract, extracted, names=None,
                 extract_win32=None):
        self.file = file
        self.tries = tries
        self.data = data
        self.list = list
        self.expand = expand
        self.outputs = outputs
        self.test = test
        self.extract = extract
        self.extracted = extracted
        self.names = names
        self.extract_win32 = extract_win32


CASES = []


def case(*args, **kwargs):
    CASES.append(Case(*args, **kwargs))


ALPHA = b"alpha: the first member\n"
BETA = b"beta: the second member, a little longer\n"


def two_members():
    return [Member(b"alpha.txt", ALPHA), Member(b"beta.txt", BETA)]


def truncation_cases():
    good = build(two_members())
    h = 21
    first = h + 25 + len(b"alpha.txt") + len(ALPHA)
    both = {"alpha.txt": ALPHA, "beta.txt": BETA}
    only_alpha = {"alpha.txt": ALPHA}
    case("good_two_members.qdmx", "an intact archive of two stored members (the reference of the cuts below)",
         good, ("ok", 2), ("ok",), {0: ALPHA, 1: BETA}, (0, ""), (0, ""), both)
    cuts = [
        ("trunc_archive_header", 10, "inside the archive header (10 of 21 bytes)",
         ("ok", 0), {}, (1, MSG_SHORT), (1, MSG_SHORT), {}),
        ("trunc_after_archive_header", h, "right after the archive header: no member header at all",
         ("ok", 0), {}, (1, MSG_TOTAL), (0, ""), {}),
        ("trunc_member_header", h + 10, "inside the first member header",
         ("ok", 0), {}, (1, MSG_TOTAL), (0, ""), {}),
        ("trunc_name", h + 25 + 4, "inside the first member's name",
         ("ok", 0), {}, (1, MSG_TOTAL), (0, ""), {}),
        ("trunc_data", h + 25 + 9 + 5, "inside the first member's data",
         ("error", "EDamagedArchive", MSG_DAMAGED, 0), {}, (1, MSG_DAMAGED), (1, MSG_DAMAGED), {}),
        ("trunc_after_first_member", first, "right after the first member's data",
         ("ok", 1), {0: ALPHA}, (1, MSG_TOTAL), (0, ""), only_alpha),
        ("trunc_second_header", first + 24, "inside the second member header (24 of 25 bytes)",
         ("ok", 1), {0: ALPHA}, (1, MSG_TOTAL), (0, ""), only_alpha),
        ("trunc_second_name", first + 25 + 3, "inside the second member's name",
         ("ok", 1), {0: ALPHA}, (1, MSG_TOTAL), (0, ""), only_alpha),
        ("trunc_second_data", len(good) - 1, "one byte before the end of the second member's data",
         ("error", "EDamagedArchive", MSG_DAMAGED, 1), {0: ALPHA}, (1, MSG_DAMAGED), (1, MSG_DAMAGED),
         only_alpha),
    ]
    for name, cut, where, listed, outputs, test, extract, extracted in cuts:
        data = good[:cut]
        if listed[0] == "error":
            expand = ("error", "EDamagedArchive", MSG_DAMAGED)
        else:
            expand = ("ok",)
        case(name + ".qdmx", "the reference archive cut " + where, data, listed, expand, outputs, test, extract,
             extracted)


def trailing_cases():
    good = build(two_members())
    both = {"alpha.txt": ALPHA, "beta.txt": BETA}
    case("trailing_short.qdmx", "ten bytes after the last member: too short for a member header, they end the "
         "archive", good + b"\x07" * 10, ("ok", 2), ("ok",), {0: ALPHA, 1: BETA}, (0, ""), (0, ""), both)
    case("trailing_junk.qdmx",
         "30 bytes 0xFF after the last member (a member header with negative sizes): once the members reach "
         "TotalSize they end listing and expansion without an error",
         good + b"\xff" * 30, ("ok", 2), ("ok",), {0: ALPHA, 1: BETA}, (1, MSG_DAMAGED), (0, ""), both)
    case("trailing_zeros.qdmx",
         "40 zero bytes after the last member (padding): they read as an empty member without a name, which "
         "listing shows and expansion passes over", good + b"\0" * 40, ("ok", 3), ("ok",), {0: ALPHA, 1: BETA},
         (0, ""), (0, ""), both)
    block = Member(b"appended.bin", b"x" * 16, expanded_size=5000000, compressed_size=4000000).header()
    case("trailing_block.qdmx",
         "an appended block that reads as a member of 4,000,000 stored bytes (more than the file holds) after "
         "the last member: it ends listing and expansion without an error", good + block + b"appended.bin" +
         b"x" * 16, ("ok", 2), ("ok",), {0: ALPHA, 1: BETA}, (1, MSG_DAMAGED), (0, ""), both)


def header_cases():
    members = two_members()
    body = b"".join(m.record() for m in members)
    total = len(ALPHA) + len(BETA)
    bad = [
        ("header_bad_signature.qdmx", "signature QDMY", archive_header(signature=b"QDMY\x1a", total=total),
         "EInvalidHeader", MSG_BAD_HEADER),
        ("header_signature_nul.qdmx", "a zero byte inside the signature", archive_header(signature=b"QD\0MX",
                                                                                        total=total),
         "EInvalidHeader", MSG_BAD_HEADER),
        ("header_type_0.qdmx", "archive type 0", archive_header(archive_type=0, total=total),
         "EInvalidHeaderArchiveType", MSG_ARCHIVE_TYPE),
        ("header_type_255.qdmx", "archive type 255", archive_header(archive_type=255, total=total),
         "EInvalidHeaderArchiveType", MSG_ARCHIVE_TYPE),
        ("header_method_xyz.qdmx", "method identifier XYZ", archive_header(method=b"XYZ", total=total),
         "EUnrecognizedCompressionMethod", 'Unrecognized compression method: "XYZ" in header'),
        ("header_method_lowercase.qdmx", "method identifier lh5 in lower case",
         archive_header(method=b"lh5", total=total), "EUnrecognizedCompressionMethod",
         'Unrecognized compression method: "lh5" in header'),
    ]
    for file, what, header, cls, message in bad:
        case(file, "archive header with " + what, header + body, ("error", cls, message, 0),
             ("error", cls, message), {}, (1, message), (1, message), {})
    short = archive_header(signature=b"NOPE!") + b"x" * 20
    case("header_bad_short.qdmx", "an invalid 41-byte archive: too short to be listed, long enough to be read",
         short, ("ok", 0), ("error", "EInvalidHeader", MSG_BAD_HEADER), {}, (1, MSG_BAD_HEADER),
         (1, MSG_BAD_HEADER), {})


def size_cases():
    rest = len(ALPHA)

    def first_with(**fields):
        m = Member(b"alpha.txt", ALPHA, **fields)
        return build([m, Member(b"beta.txt", BETA)], total=len(ALPHA) + len(BETA))

    damaged = ("error", "EDamagedArchive", MSG_DAMAGED)
    for file, what, fields in [
        ("size_compressed_past_end", "CompressedSize one byte past the end of the archive",
         dict(compressed_size=rest + 25 + 8 + len(BETA) + 1)),
        ("size_compressed_2g", "CompressedSize 2^31 - 1", dict(compressed_size=0x7FFFFFFF)),
        ("size_compressed_2g_minus_member", "CompressedSize 2^31 - 26", dict(compressed_size=0x7FFFFFFF - 25)),
        ("size_compressed_negative", "CompressedSize -1", dict(compressed_size=-1)),
        ("size_compressed_min", "CompressedSize -2^31", dict(compressed_size=-0x80000000)),
        ("size_expanded_negative", "ExpandedSize -1", dict(expanded_size=-1)),
        ("size_expanded_min", "ExpandedSize -2^31", dict(expanded_size=-0x80000000)),
        ("size_name_negative", "NameLength -1", dict(name_length=-1)),
        ("size_name_min", "NameLength -32768", dict(name_length=-32768)),
    ]:
        case(file + ".qdmx", "first member with " + what, first_with(**fields), damaged + (0,), damaged, {},
             (1, MSG_DAMAGED), (1, MSG_DAMAGED), {})

    data = first_with(name_length=32767)
    case("size_name_32767.qdmx", "first member with NameLength 32767, longer than the rest of the archive",
         data, ("ok", 0), ("ok",), {}, (1, MSG_TOTAL), (0, ""), {})

    huge = build([Member(b"alpha.txt", ALPHA, expanded_size=0x7FFFFFFF)], total=0x7FFFFFFF)
    case("size_expanded_2g_stored.qdmx",
         "a stored member that claims 2^31 - 1 expanded bytes but holds 24: the stored copy writes what "
         "there is and its checksum matches (qdmx extract checks free space first: it writes the file, or "
         "stops with \"Not enough disk space\" on a volume with less than 2 GiB free)", huge, ("ok", 1),
         ("ok",), {0: ALPHA}, (1, "expanded to 24 bytes instead of 2147483647"), ("*", ""), None)

    members = two_members()
    for file, what, total, outputs, extracted in [
        ("total_smaller", "TotalSize equal to the first member's size only", len(ALPHA), {0: ALPHA},
         {"alpha.txt": ALPHA}),
        ("total_zero", "TotalSize 0", 0, {}, {}),
        ("total_negative", "TotalSize -1", -1, {}, {}),
        ("total_larger", "TotalSize larger than the members' sum", len(ALPHA) + len(BETA) + 1000,
         {0: ALPHA, 1: BETA}, {"alpha.txt": ALPHA, "beta.txt": BETA}),
    ]:
        case(file + ".qdmx", what + ": listing walks every member, expansion stops once the sum reaches it",
             build(members, total=total), ("ok", 2), ("ok",), outputs, (1, MSG_TOTAL), (0, ""), extracted)


def method_cases():
    payload = b"data"
    members = [Member(b"m%03d" % m, payload, expanded=b"", method=m, checksum=0, expanded_size=len(payload))
               for m in range(5, 256)]
    case("method_5_to_255.qdmx",
         "251 members with the method bytes 5..255 and stored checksum 0: no codec runs, each expands to "
         "an empty file that is accepted", build(members), ("ok", 251), ("ok",), {i: b"" for i in range(251)},
         (1, "expanded to 0 bytes instead of 4"), (0, ""), {"m%03d" % m: b"" for m in range(5, 256)})
    for method in (5, 255):
        m = Member(b"unknown.bin", payload, expanded=b"", method=method, checksum=byte_sum(payload),
                   expanded_size=len(payload))
        case("method_%d_checksum.qdmx" % method,
             "a member with method byte %d whose checksum is that of its data: nothing runs, so the "
             "checksum 0 of the empty output does not match" % method,
             build([m]), ("ok", 1), ("error", "EBadChecksum", MSG_BAD_CHECKSUM), {},
             (1, MSG_BAD_CHECKSUM), (1, MSG_BAD_CHECKSUM), {})

    custom = Member(b"custom.bin", b"secret", expanded=b"", method=3, checksum=0, expanded_size=6)
    after = Member(b"after.txt", b"the member after the custom one\n")
    case("custom_no_handler.qdmx",
         "a custom member (method 3) with checksum 0 and no OnExpand handler, then a stored member: the "
         "custom member's data is skipped, it expands to an empty file, the next member is intact",
         build([custom, after]), ("ok", 2), ("ok",), {0: b"", 1: after.expanded},
         (1, "expanded to 0 bytes instead of 6"), (0, ""), {"custom.bin": b"", "after.txt": after.expanded})
    custom_sum = Member(b"custom.bin", b"secret", expanded=b"", method=3, checksum=byte_sum(b"secret"),
                        expanded_size=6)
    case("custom_no_handler_checksum.qdmx",
         "a custom member with a non-zero checksum and no OnExpand handler: nothing is expanded, so the "
         "checksum fails", build([custom_sum, after]), ("ok", 2), ("error", "EBadChecksum", MSG_BAD_CHECKSUM),
         {}, (1, MSG_BAD_CHECKSUM), (1, MSG_BAD_CHECKSUM), {})

    locked = Member(b"locked.txt", ALPHA, lock=1)
    case("locked_without_key.qdmx",
         "a locked member (Lock 1) after an open one, expanded without a key: EInvalidKey before anything "
         "is read, and the locked member's file is deleted",
         build([Member(b"open.txt", BETA), locked]), ("ok", 2), ("error", "EInvalidKey", MSG_INVALID_KEY),
         {0: BETA}, (1, MSG_INVALID_KEY), (1, MSG_INVALID_KEY), {"open.txt": BETA})


# ---------------------------------------------------------------------------------------------
# The dense method: members of an archive with the identifier ZST are pieces of one zstd stream.
# The two reference members were made once by `qdmx create -m zstd g.qdmx a.txt b.txt` from
# DENSE_A and DENSE_B (level 19); b.txt refers back into a.txt. A frame header is the 4-byte magic,
# the descriptor byte 0x00 and the window byte 0x78 (2^25 bytes; an expander accepts up to 2^26).

MSG_DENSE = "Damaged data: "
DENSE_A = b"".join(b"alpha %d: the first member of a dense archive\n" % i for i in range(8))
DENSE_B = DENSE_A.replace(b"alpha", b"beta!") + b"and one line of its own\n"
DENSE_A_DATA = bytes.fromhex(
    "28b52ffd007844020042430c1280db0110e47e139bd204b39a5cad1475210be8984286009de16356bdefec7675476f7bc996"
    "c7d742f77ef8295cbd1a550820c033071fc9bc4c5653322f9365230a315206")
DENSE_B_DATA = bytes.fromhex(
    "c4010064026265746121203031323334353637616e64206f6e65206c696e65206f6620697473206f776e0a0810001fc9bc4c"
    "96299997c93245a611")
DENSE_FRAME_HEADER = 6


def dense_cases():
    a = Member(b"a.txt", DENSE_A_DATA, expanded=DENSE_A, method=3)
    b = Member(b"b.txt", DENSE_B_DATA, expanded=DENSE_B, method=3)
    both = {"a.txt": DENSE_A, "b.txt": DENSE_B}
    case("dense_good.qdmx", "an intact dense archive of two members, the second referring into the first",
         build([a, b], method=b"ZST"), ("ok", 2), ("ok",), {0: DENSE_A, 1: DENSE_B}, (0, ""), (0, ""), both)

    def first_fails(file, tries, first, message=MSG_DENSE, cls="EDenseDataError"):
        case(file, tries, build([first, b], method=b"ZST"), ("ok", 2), ("error", cls, message),
             {}, (1, message), (1, message), {})

    first_fails("dense_damaged_frame.qdmx", "the first member's zstd magic number changed: a damaged frame",
                Member(b"a.txt", b"\x29" + DENSE_A_DATA[1:], expanded=DENSE_A, method=3))
    first_fails("dense_window_too_large.qdmx",
                "the frame asks for a 2^27-byte window, more than the expander's bound of 2^26",
                Member(b"a.txt", DENSE_A_DATA[:5] + b"\x88" + DENSE_A_DATA[6:], expanded=DENSE_A, method=3))
    first_fails("dense_size_larger.qdmx",
                "the first member's ExpandedSize is one more than its frame gives",
                Member(b"a.txt", DENSE_A_DATA, expanded=DENSE_A, method=3, expanded_size=len(DENSE_A) + 1),
                MSG_DENSE + "the stored data expands to 360 bytes, not the member's 361")
    first_fails("dense_size_smaller.qdmx",
                "the first member's ExpandedSize is one less than its frame gives",
                Member(b"a.txt", DENSE_A_DATA, expanded=DENSE_A, method=3, expanded_size=len(DENSE_A) - 1),
                MSG_DENSE + "the stored data expands to more than the member's 359 bytes")
    first_fails("dense_without_history.qdmx",
                "the second member's blocks behind a frame header of their own, as the first member: what they "
                "refer to (the first member's bytes and tables) is not there, so they expand to other bytes",
                Member(b"a.txt", DENSE_A_DATA[:DENSE_FRAME_HEADER] + DENSE_B_DATA, expanded=DENSE_B, method=3),
                MSG_BAD_CHECKSUM, "EBadChecksum")

    def second_fails(file, tries, second, message):
        case(file, tries, build([a, second], method=b"ZST"), ("ok", 2),
             ("error", message[1], message[0]), {0: DENSE_A}, (1, message[0]), (1, message[0]),
             {"a.txt": DENSE_A})

    second_fails("dense_wrong_checksum.qdmx", "the second member's checksum is one too high",
                 Member(b"b.txt", DENSE_B_DATA, expanded=DENSE_B, method=3, checksum=byte_sum(DENSE_B) + 1),
                 (MSG_BAD_CHECKSUM, "EBadChecksum"))
    second_fails("dense_truncated.qdmx", "the second member's stored data without its last ten bytes",
                 Member(b"b.txt", DENSE_B_DATA[:-10], expanded=DENSE_B, method=3),
                 (MSG_DENSE, "EDenseDataError"))


def lh5_member(name, stream, expanded, file, tries, expand=None, checksum=None, expanded_size=None, extra=None):
    m = Member(name, stream, expanded=expanded, method=4, checksum=checksum, expanded_size=expanded_size)
    members = [m] + ([extra] if extra else [])
    data = build(members, method=b"LH5")
    if expand is None:
        outputs = {0: expanded}
        extracted = {name.decode(): expanded}
        if extra:
            outputs[1] = extra.expanded
            extracted[extra.name.decode()] = extra.expanded
        test = (0, "") if len(expanded) == m.expanded_size else (1, "expanded to %d bytes" % len(expanded))
        case(file, tries, data, ("ok", len(members)), ("ok",), outputs, test, (0, ""), extracted)
    else:
        cls, message = expand
        case(file, tries, data, ("ok", len(members)), ("error", cls, message), {}, (1, message),
             (1, message), {})


# A length code over all 19 length-code symbols (13 of 4 bits, 6 of 5), so that any list of
# symbol-length tokens can be sent with it.
ALL_LENGTH_CODES = complete_lengths(range(19), 19)


def lh5_head(out, size, tokens, count=None, len_lengths=ALL_LENGTH_CODES, dist_single=0):
    """A block head whose symbol lengths are given as length-code tokens (code, bits, value)."""
    out.put(16, size)
    put_aux_list(out, len_lengths, 5, 3)
    codes = canonical_codes(len_lengths)
    out.put(9, len(tokens) if count is None else count)
    for code, extra_bits, extra in tokens:
        out.put(*codes[code])
        out.put(extra_bits, extra)
    out.put(4, 0)
    out.put(4, dist_single)


def damaged_symbol_list(tokens, count=None):
    out = BitWriter()
    lh5_head(out, 10, tokens, count)
    return out.to_bytes() + b"\0" * 8


def lh5_cases():
    block = Lh5Block([*b"abcd"] * 5)
    expected = lh5_expand(block.symbols)
    bad_table = ("ELh5BadDecodeTable", MSG_BAD_TABLE)
    lh5_member(b"plain.txt", block.stream(), expected, "lh5_good.qdmx",
               "a well-formed lh5 member (the reference of the lh5 faults below)")

    single = Lh5Block([ord("a")], size=0)
    lh5_member(b"a.txt", single.stream(), b"a" * 300, "lh5_block_size_0.qdmx",
               "block size 0 (65536 symbols) with the one-code forms: 300 bytes 'a' from a few header bytes")

    for count in (20, 31):
        def len_list(out, count=count):
            put_aux_list(out, block.len_lengths + [7] * (count - 19), 5, 3, count=count)

        lh5_member(b"plain.txt", block.stream(len_list=len_list), expected, "lh5_lencode_count_%d.qdmx" % count,
                   "length-code count %d (above 19): the lengths beyond entry 18 are read and ignored, the "
                   "block decodes" % count)

    dist_block = Lh5Block([*b"xy", (5, 0), (4, 1), *b"z", (6, 5)])

    def dist_count_15(out):
        put_aux_list(out, dist_block.dist_lengths + [9], 4, -1, count=15)

    lh5_member(b"dist.txt", dist_block.stream(dist_list=dist_count_15), lh5_expand(dist_block.symbols),
               "lh5_dist_count_15.qdmx",
               "distance count 15 (above 14): the extra length is read and ignored, the block decodes")

    def zero_run_past_count(out):
        out.put(16, 0)
        out.put(5, 3)
        for length in (1, 1, 0):
            put_aux_length(out, length)
        out.put(2, 3)
        out.put(9, 0)
        out.put(9, ord("q"))
        out.put(4, 0)
        out.put(4, 0)

    head = BitWriter()
    zero_run_past_count(head)
    lh5_member(b"q.txt", head.to_bytes(), b"q" * 40, "lh5_zero_run_2bit_past_count.qdmx",
               "length-code count 3 followed by a 2-bit zero run of 3 (entries 3..5, past the count; the "
               "5-bit count and the run can never pass the 19 entries by more than 15), then a one-code "
               "symbol list: the block decodes")

    lh5_member(b"plain.txt", damaged_symbol_list([], count=511), b"", "lh5_symbol_count_511.qdmx",
               "symbol count 511 (above 510)", expand=bad_table, expanded_size=10, checksum=0)
    lh5_member(b"plain.txt", damaged_symbol_list([(2, 9, 511)], count=510), b"", "lh5_zero_run_9bit_past_end.qdmx",
               "a 9-bit zero run of 531 lengths from symbol 0 (past symbol 509)", expand=bad_table,
               expanded_size=10, checksum=0)
    lh5_member(b"plain.txt", damaged_symbol_list([(2, 9, 480), (1, 4, 15)], count=510), b"",
               "lh5_zero_run_4bit_past_end.qdmx", "500 zero lengths, then a 4-bit zero run of 18 (past symbol 509)",
               expand=bad_table, expanded_size=10, checksum=0)

    for length in (17, 20):
        def unary(out, length=length):
            out.put(5, 1)
            out.put(3, 7)
            out.put(length - 7, (1 << (length - 7)) - 1)
            if length < 20:
                out.put(1, 0)

        lh5_member(b"plain.txt", block.stream(len_list=unary), b"", "lh5_unary_length_%d.qdmx" % length,
                   "a length-code length of %d in the unary form (above 16)" % length, expand=bad_table,
                   expanded_size=len(expected), checksum=byte_sum(expected))

    def oversubscribed(out):
        put_aux_list(out, [1, 1, 1], 5, 3)

    lh5_member(b"plain.txt", block.stream(len_list=oversubscribed), b"", "lh5_oversubscribed.qdmx",
               "length-code lengths 1, 1, 1 (over-subscribed)", expand=bad_table,
               expanded_size=len(expected), checksum=byte_sum(expected))

    def tokens_of(lengths):
        return symbol_length_tokens(lengths)[1]

    incomplete = [0] * 510
    incomplete[ord("a")] = 1
    lh5_member(b"plain.txt", damaged_symbol_list(tokens_of(incomplete)), b"", "lh5_incomplete.qdmx",
               "one symbol length 1 and no other (an incomplete code)", expand=bad_table, expanded_size=10,
               checksum=0)
    wraps = [7] * 256 + [0] * 254
    lh5_member(b"plain.txt", damaged_symbol_list(tokens_of(wraps)), b"", "lh5_wrap_short.qdmx",
               "256 symbol lengths of 7: the 16-bit Kraft sum wraps to 0 (2^17) and the codes would run past "
               "the 4096-entry table", expand=bad_table, expanded_size=10, checksum=0)
    wraps_long = [1] * 3 + [7] * 63 + [15] * 256 + [0] * 188
    lh5_member(b"plain.txt", damaged_symbol_list(tokens_of(wraps_long)), b"", "lh5_wrap_long.qdmx",
               "symbol lengths 3 x 1, 63 x 7, 256 x 15: the sum wraps to 0 and the 15-bit codes would build "
               "their trees through entries that hold symbols", expand=bad_table, expanded_size=10, checksum=0)
    lh5_member(b"plain.txt", damaged_symbol_list([(0, 0, 0)] * 5), b"", "lh5_all_zero_lengths.qdmx",
               "symbol count 5 with five zero lengths: a list without any code, then a symbol to decode",
               expand=bad_table, expanded_size=10, checksum=0)

    def lencode_single_31(out):
        out.put(5, 0)
        out.put(5, 31)

    lh5_member(b"plain.txt", block.stream(len_list=lencode_single_31), b"", "lh5_lencode_single_31.qdmx",
               "the length code in the one-code form with value 31 (outside 0..18), then used",
               expand=bad_table, expanded_size=len(expected), checksum=byte_sum(expected))

    single_511 = BitWriter()
    for n, v in ((16, 10), (5, 0), (5, 0), (9, 0), (9, 511), (4, 0), (4, 0)):
        single_511.put(n, v)
    lh5_member(b"plain.txt", single_511.to_bytes() + b"\0\0", b"", "lh5_symbol_single_511.qdmx",
               "the symbol code in the one-code form with value 511 (outside 0..509), then used",
               expand=bad_table, expanded_size=10, checksum=0)

    match_only = Lh5Block([(4, 0)] * 3)

    def dist_single_15(out):
        out.put(4, 0)
        out.put(4, 15)

    lh5_member(b"m.txt", match_only.stream(dist_list=dist_single_15) + b"\0" * 4, b"",
               "lh5_dist_single_15_used.qdmx",
               "the distance code in the one-code form with value 15 (outside 0..13), used by a match",
               expand=bad_table, expanded_size=12, checksum=0)
    literals = Lh5Block([*b"literal only"])
    lh5_member(b"lit.txt", literals.stream(dist_list=dist_single_15), b"literal only",
               "lh5_dist_single_15_unused.qdmx",
               "the distance code with value 15 (outside 0..13) in a block without matches: never used, the "
               "block decodes")

    before = Lh5Block([*b"xyz", (10, 100), (7, 8000), *b"!"])
    lh5_member(b"before.txt", before.stream(), lh5_expand(before.symbols), "lh5_distance_before_start.qdmx",
               "matches whose distance reaches before the first output byte: they copy the window's "
               "initial spaces")

    overrun = Lh5Block([*b"ab", (256, 1)])
    lh5_member(b"over.txt", overrun.stream(), lh5_expand(overrun.symbols), "lh5_final_match_overrun.qdmx",
               "ExpandedSize 10 while the last match reaches byte 258: the whole match is written",
               expanded_size=10)

    trailing = Member(b"next.txt", b"next member after trailing bytes\n")
    lh5_member(b"plain.txt", block.stream() + b"\xff" * 7, expected, "lh5_trailing_bytes.qdmx",
               "seven bytes after the end of the lh5 stream inside CompressedSize: they are skipped and "
               "the next member is read at its header", extra=trailing)

    long_block = Lh5Block([*b"abcd"] * 100)
    long_expected = lh5_expand(long_block.symbols)
    full = long_block.stream()
    lh5_member(b"plain.txt", full[:len(full) - 20], b"", "lh5_cut_in_symbols.qdmx",
               "an lh5 stream cut 20 bytes before its end, inside the symbol codes (CompressedSize matching "
               "the cut): zero bits follow, the checksum fails", expand=("EBadChecksum", MSG_BAD_CHECKSUM),
               checksum=byte_sum(long_expected), expanded_size=len(long_expected))
    # Cut inside the last length of the length code (1 for symbol 4): read as zero bits, that
    # length becomes 0 and the length code is left with a single code of 1 bit.
    head = BitWriter()
    head.put(16, long_block.size)
    put_aux_list(head, long_block.len_lengths, 5, 3)
    assert long_block.len_lengths[:5] == [0, 0, 1, 0, 1] and head.bit_length() == 35
    lh5_member(b"plain.txt", full[:4], b"", "lh5_cut_in_head.qdmx",
               "an lh5 stream cut after 4 bytes, inside the last length of the length code: zero bits make "
               "that length 0 and leave an incomplete code", expand=bad_table, checksum=byte_sum(long_expected),
               expanded_size=len(long_expected))


def lzh_cases():
    symbols = [*b"abc", (9, 2)]
    stream, spans = lzh_stream(symbols)
    expected = lzh_expand(symbols)
    assert expected == b"abcabcabcabc"
    start, end = spans[0]
    # Keep whole bytes up to a boundary inside the position code, before its last 1 bit.
    cut_bits = (start // 8 + 1) * 8
    assert start < cut_bits < end - 1, (start, end)
    m = Member(b"lzh.txt", stream[:cut_bits // 8], expanded=expected, method=2)
    case("lzh_cut_in_position.qdmx",
         "an LZH stream (abc, then a match of 9 at distance 3) cut at a byte boundary inside the "
         "position code: the rest reads as zero bits, the checksum fails",
         build([m], method=b"LZH"), ("ok", 1), ("error", "EBadChecksum", MSG_BAD_CHECKSUM), {},
         (1, MSG_BAD_CHECKSUM), (1, MSG_BAD_CHECKSUM), {})
    whole = Member(b"lzh.txt", stream, expanded=expected, method=2)
    case("lzh_good.qdmx", "the same LZH stream uncut (the reference)", build([whole], method=b"LZH"),
         ("ok", 1), ("ok",), {0: expected}, (0, ""), (0, ""), {"lzh.txt": expected})

    start_match = [(5, 0), *b"xy", (3, 70)]
    stream, _ = lzh_stream(start_match)
    expected = lzh_expand(start_match)
    m = Member(b"start.txt", stream, expanded=expected, method=2)
    case("lzh_match_at_start.qdmx",
         "LZH matches before and beyond the first output byte: they copy the ring's initial spaces",
         build([m], method=b"LZH"), ("ok", 1), ("ok",), {0: expected}, (0, ""), (0, ""), {"start.txt": expected})


def rle_cases():
    for file, tries, data, expanded in [
        ("rle_ends_in_marker", "RLE data whose last byte is the marker 0x94: one byte 0x94", b"ab\x94",
         b"ab\x94"),
        ("rle_run_first", "an RLE run token before any literal: copies of the start value 0", b"\x94\x05x",
         b"\0\0\0\0x"),
        ("rle_run_after_marker", "a run token after an escaped marker repeats 0x94", b"\x94\x00\x94\x03",
         b"\x94\x94\x94"),
        ("rle_run_of_one", "the run token 94 01 at the start adds nothing", b"\x94\x01z", b"z"),
    ]:
        m = Member(b"rle.bin", data, expanded=expanded, method=1)
        case(file + ".qdmx", tries, build([m], method=b"RLE"), ("ok", 1), ("ok",), {0: expanded}, (0, ""),
             (0, ""), {"rle.bin": expanded})


def name_cases():
    evil = b"evil\n"
    after = Member(b"after.txt", b"written after the hostile name\n")
    refused = [
        ("name_dotdot", b"..\\parlavox-evil-1.txt", "a '..' component"),
        ("name_dotdot_inner", b"sub\\..\\..\\parlavox-evil-2.txt", "'..' components inside the name"),
        ("name_dotdot_slash", b"sub/../../parlavox-evil-3.txt", "'..' components with '/' separators"),
        ("name_dotdot_only", b"..", "the name '..' alone"),
        ("name_drive_relative", b"C:parlavox-evil-4.txt", "a drive letter and colon (drive-relative)"),
        ("name_drive_absolute", b"C:\\parlavox-evil-5.txt", "a drive-absolute path"),
        ("name_unc", b"\\\\server\\share\\parlavox-evil-6.txt", "a UNC path \\\\server\\share"),
        ("name_root", b"\\parlavox-evil-7.txt", "a leading backslash (the root of the current drive)"),
        ("name_slash_root", b"/tmp/parlavox-evil-8.txt", "a leading '/'"),
        ("name_empty", b"", "an empty name (the target directory itself)"),
    ]
    for file, name, what in refused:
        data = build([Member(name, evil), after])
        case(file + ".qdmx", "member name with " + what, data, ("ok", 2), ("ok",),
             {0: evil, 1: after.expanded}, (0, ""), (1, MSG_REFUSED), {"after.txt": after.expanded},
             names=[name, after.name])
    # Names that stay inside the target directory on POSIX, where they are ordinary file names.
    # On Windows they name a file's data stream, a device or no valid file at all: the safe mode
    # must not write them.
    literal = [
        ("name_stream", b"file.txt:stream", "a ':' stream suffix", (1, MSG_REFUSED)),
        ("name_stream_data", b"file.txt::$DATA", "a '::$DATA' stream suffix", (1, MSG_REFUSED)),
        ("name_device_con", b"CON", "the device name CON", (1, MSG_REFUSED)),
        ("name_device_nul", b"NUL", "the device name NUL", (1, MSG_REFUSED)),
        ("name_device_com1", b"COM1", "the device name COM1", (1, MSG_REFUSED)),
        ("name_device_ext", b"sub\\aux.txt", "the device name AUX with an extension, in a subdirectory",
         (1, MSG_REFUSED)),
    ]
    for file, name, what, on_windows in literal:
        data = build([Member(name, evil), after])
        path = name.decode("latin-1").replace("\\", "/")
        case(file + ".qdmx", "member name with " + what + " (POSIX: an ordinary name inside the target)",
             data, ("ok", 2), ("ok",), {0: evil, 1: after.expanded}, (0, ""), (0, ""),
             {path: evil, "after.txt": after.expanded}, names=[name, after.name], extract_win32=on_windows)
    # A zero byte or another control character cuts or changes the name in every Windows call, so the
    # file written would not be the member named: such a name is damaged data, in listing too.
    damaged = ("error", "EDamagedArchive", MSG_DAMAGED)
    for file, name, what in [
        ("name_nul_dotdot", b"ok\0\\..\\..\\parlavox-evil-9.txt", "a NUL byte followed by '..' components"),
        ("name_nul_protected", b"velmor.pvm\0x", "a NUL byte after a protected name"),
        ("name_control", b"ctl\x01\x1b[31m\x7f.txt", "control characters"),
    ]:
        data = build([Member(name, evil), after])
        case(file + ".qdmx", "member name with " + what + ": damaged data, the member is named in the error",
             data, damaged + (0,), damaged, {}, (1, "control character in its name"),
             (1, "control character in its name"), {})
    long_name = b"L" * 300
    data = build([Member(long_name, evil), after])
    case("name_long_component.qdmx",
         "a 300-character name component: the component expands it (through the redirecting handler); qdmx "
         "cannot create the file and stops with the file-creation error", data, ("ok", 2), ("ok",),
         {0: evil, 1: after.expanded}, (0, ""), (1, "Cannot create file"), {}, names=[long_name, after.name])
    levels = b"a\\" * 16379 + b"deep.txt"
    assert len(levels) <= 32767
    data = build([Member(levels, evil), after])
    case("name_deep.qdmx",
         "a 32,766-character name of 16,380 one-letter levels: qdmx refuses to create more than 256 new "
         "levels for one member and stops with the directory error before the first, inside the target",
         data, ("ok", 2), ("ok",), {0: evil, 1: after.expanded}, (0, ""), (1, "Cannot create directory"), None,
         names=[levels, after.name])
    deep = b"\\".join([b"d" * 200] * 30) + b"\\deep.txt"
    data = build([Member(deep, evil), after])
    case("name_long_path.qdmx",
         "a 6,000-character name of 30 components of 200 characters: qdmx stops with an error when the path "
         "grows too long, nothing is written outside the target", data, ("ok", 2), ("ok",),
         {0: evil, 1: after.expanded}, (0, ""), (1, ""), None, names=[deep, after.name])


# ---------------------------------------------------------------------------------------------
# Output


def hexs(data):
    return data.hex() if data else "-"


def write_expected(path):
    lines = ["# Generated by make_hostile.py; read by tests/hostile/HostileArchiveTest.cpp.",
             "# One block per file; fields are separated by tabs, byte strings are hexadecimal ('-' empty)."]
    for c in CASES:
        lines.append("file\t" + c.file)
        if c.list[0] == "ok":
            lines.append("list\tok\t%d" % c.list[1])
        else:
            lines.append("list\terror\t%s\t%d\t%s" % (c.list[1], c.list[3], c.list[2]))
        if c.expand[0] == "ok":
            lines.append("expand\tok")
        else:
            lines.append("expand\terror\t%s\t%s" % (c.expand[1], c.expand[2]))
        for index, content in sorted(c.outputs.items()):
            lines.append("out\t%d\t%s" % (index, "*" if content is None else hexs(content)))
        if c.names:
            lines.append("names\t" + "\t".join(hexs(n) for n in c.names))
        lines.append("test\t%d\t%s" % c.test)
        lines.append("extract\t%s\t%s" % c.extract)
        if c.extract_win32:
            lines.append("extract.win32\t%s\t%s" % c.extract_win32)
        if c.extracted is None:
            lines.append("xfiles\tany")
        else:
            for rel, content in sorted(c.extracted.items()):
                lines.append("xout\t%s\t%s" % (hexs(rel.encode("latin-1")), "*" if content is None else hexs(content)))
        lines.append("end")
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def describe_outcome(c):
    if c.expand[0] == "ok":
        written = ", ".join("m%d" % i for i in sorted(c.outputs)) or "nothing"
        expand = "expands (%s)" % written
    else:
        expand = "%s \"%s\"" % (c.expand[1], c.expand[2].rstrip())
        if c.outputs:
            expand += " after writing %s" % ", ".join("m%d" % i for i in sorted(c.outputs))
    if c.list[0] == "ok":
        listing = "lists %d" % c.list[1]
    else:
        listing = "%s after %d listed" % (c.list[1], c.list[3])
    test = "exit %d" % c.test[0] + (" (%s)" % c.test[1] if c.test[1] else "")
    extract = ("exit %s" % c.extract[0] if c.extract[0] != "*" else "exit 0 or 1") + \
        (" (%s)" % c.extract[1] if c.extract[1] else "")
    if c.extract_win32:
        extract += "; on Windows exit %d" % c.extract_win32[0] + \
            (" (%s)" % c.extract_win32[1] if c.extract_win32[1] else "")
    return "%s; %s; `qdmx test` %s; `qdmx extract` %s" % (listing, expand, test, extract)


def write_readme(path):
    lines = [
        "# Hostile and damaged archives",
        "",
        "Made by `make_hostile.py` (Python 3, standard library only), which builds every file byte by",
        "byte and writes `expected.txt` and this README from the same table. Regenerate with",
        "`python3 tests/data/hostile/make_hostile.py`; the files are committed so the tests need no Python.",
        "",
        "`tests/hostile/HostileArchiveTest.cpp` runs each file through `ReadDirectory`, through",
        "`ExpandArchive` into a scratch folder (its `OnCheckFile` handler records the target it is offered",
        "and redirects member k to the file m<k> there), and through `qdmx test` and `qdmx extract -C DIR`",
        "in the default safe mode. Whatever the file holds, nothing may crash, hang, read or write outside a",
        "buffer, or create a file outside the folder it was given.",
        "",
        "Outcome columns: listing (entries, or the exception and how many entries were appended before it);",
        "expansion (the files m<k> left behind, or the exception); exit status of `qdmx test` and of",
        "`qdmx extract` with a text its standard error must contain. Exception messages are those of the",
        "archive component; `EDamagedArchive` messages begin with \"Damaged archive: \".",
        "",
        "| File | What it tries | What must happen |",
        "|---|---|---|",
    ]
    for c in CASES:
        lines.append("| `%s` | %s | %s |" % (c.file, c.tries.replace("|", "\\|"), describe_outcome(c).replace("|", "\\|")))
    lines += [
        "",
        "Names: a name that begins with a backslash is used without the target directory by the component",
        "itself (it names the root of the current drive); only the application's `OnCheckFile` handler keeps",
        "such members inside a folder. `qdmx extract` refuses absolute names, drive letters, `..`",
        "components and the empty name unless `--unsafe-paths` is given, and goes on with the next member.",
        "The ':' stream and device names are ordinary file names on POSIX and are written there; on",
        "Windows they name data streams and devices, and `qdmx extract` refuses them as well. A name with a",
        "control character (a zero byte included) is damaged data everywhere. Directories of a deep name are created one level at a time, so a name of",
        "thousands of levels costs memory in proportion to its length.",
    ]
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    truncation_cases()
    trailing_cases()
    header_cases()
    size_cases()
    method_cases()
    lh5_cases()
    lzh_cases()
    rle_cases()
    name_cases()
    dense_cases()
    for c in CASES:
        with open(os.path.join(out_dir, c.file), "wb") as f:
            f.write(c.data)
    write_expected(os.path.join(out_dir, "expected.txt"))
    write_readme(os.path.join(out_dir, "README.md"))


if __name__ == "__main__":
    main()
