#!/usr/bin/env python3
"""Builds a benchmark corpus from files already on this machine and records what went in.

The files of each source tree are put in a fixed pseudo-random order (by the SHA-1 of their path),
so the corpus mixes many packages instead of one alphabetical corner, yet comes out the same on
every machine with the same files installed. Whole files are concatenated until the share of the
tree is full; the last one is cut to fit exactly. The manifest lists every path with the bytes
taken, and ends with the corpus size and SHA-256, so two runs can be compared.

    make_corpus.py text|binary OUTPUT MANIFEST [--size BYTES]
"""

import argparse
import hashlib
import os
import stat
import sys

# Where each corpus comes from, with each tree's share of the total.
SOURCES = {
    "text": [("/usr/share/doc", 1), ("/usr/include", 1), ("/usr/share/perl", 1)],
    "binary": [("/usr/lib", 1)],
}

SKIPPED_SUFFIXES = (".gz", ".bz2", ".xz", ".zst", ".zip", ".png", ".jpg", ".gif", ".ico", ".pdf")
LARGEST_LIBRARY = 8 << 20  # one huge library would otherwise make up the whole corpus


class CorpusError(Exception):
    pass


def is_text(path):
    with open(path, "rb") as f:
        head = f.read(8192)
    if not head or b"\0" in head:
        return False
    printable = sum(1 for b in head if 32 <= b < 127 or b in (9, 10, 13))
    return printable >= 0.95 * len(head)


def is_shared_library(path, size):
    name = os.path.basename(path)
    if ".so" not in name or size > LARGEST_LIBRARY:
        return False
    with open(path, "rb") as f:
        return f.read(4) == b"\x7fELF"


def candidates(root, kind):
    found = []
    for directory, subdirs, files in os.walk(root):
        subdirs.sort()
        for name in files:
            path = os.path.join(directory, name)
            try:
                info = os.lstat(path)
            except OSError:
                continue
            if not stat.S_ISREG(info.st_mode) or info.st_size == 0:
                continue
            try:
                if kind == "text":
                    if name.endswith(SKIPPED_SUFFIXES) or not is_text(path):
                        continue
                elif not is_shared_library(path, info.st_size):
                    continue
            except OSError:
                continue
            found.append(path)
    found.sort(key=lambda p: hashlib.sha1(p.encode()).digest())
    return found


def build(kind, output, manifest, size):
    """Writes the corpus and its manifest; returns (file count, SHA-256 hex digest)."""
    sources = [(root, share) for root, share in SOURCES[kind] if os.path.isdir(root)]
    if not sources:
        raise CorpusError(f"none of the source trees of the {kind} corpus exists")
    total_share = sum(share for _, share in sources)
    digest = hashlib.sha256()
    written = 0
    lines = []
    with open(output, "wb") as out:
        for index, (root, share) in enumerate(sources):
            # The last tree also makes up for any tree that had too little.
            quota = size - written if index == len(sources) - 1 else size * share // total_share
            taken = 0
            for path in candidates(root, kind):
                if taken >= quota:
                    break
                with open(path, "rb") as f:
                    data = f.read(quota - taken)
                out.write(data)
                digest.update(data)
                taken += len(data)
                lines.append(f"{len(data)}\t{path}")
            written += taken
    if written != size:
        raise CorpusError(f"only {written} of {size} bytes found for the {kind} corpus")
    with open(manifest, "w") as m:
        m.write(f"# {kind} corpus: bytes taken<TAB>path, in corpus order\n")
        m.write("\n".join(lines) + "\n")
        m.write(f"# size {written}\n# sha256 {digest.hexdigest()}\n")
    return len(lines), digest.hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("kind", choices=sorted(SOURCES))
    parser.add_argument("output")
    parser.add_argument("manifest")
    parser.add_argument("--size", type=int, default=40 << 20)
    args = parser.parse_args()
    try:
        count, sha = build(args.kind, args.output, args.manifest, args.size)
    except CorpusError as e:
        sys.exit(f"make_corpus: {e}")
    print(f"{args.kind} corpus: {args.size} bytes from {count} files, sha256 {sha}")


if __name__ == "__main__":
    main()
