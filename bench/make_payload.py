#!/usr/bin/env python3
"""Builds the install benchmark's payload from files already on this machine.

Two folders, as a publisher would ship them:
  dictionary/  300 text files of 200,000 bytes each (60 MB): the text files of make_corpus.py's
               trees (/usr/share/doc, /usr/include, /usr/share/perl), each tree in its fixed
               shuffle, one file of each tree in turn, concatenated and cut into equal pieces;
  vellumor/    43 whole ELF shared libraries of /usr/lib, about 21.6 MB together: taken in the
               same fixed shuffle, each near the average that the bytes still missing leave for
               the files still missing, so the total comes close to the target on any machine;
               and the next two of 100 KB to 1 MB as velmor.exe and velmor.pdf, the files the
               setup makes its Start-menu shortcuts to (made only where they exist).
The same installed files give the same payload. MANIFEST starts with PAYLOAD_MARK (an older
payload is made again), lists every file with its size and SHA-256 (paths relative to OUTPUT)
and ends with the totals.

    make_payload.py OUTPUT MANIFEST
"""

import argparse
import hashlib
import os
import shutil
import sys

sys.dont_write_bytecode = True

import make_corpus  # noqa: E402

DICTIONARY_FILES = 300
DICTIONARY_FILE_BYTES = 200_000
LIBRARY_COUNT = 43
LIBRARY_BYTES = 21_600_000
# A library is taken when its size is within this factor of the average still to be filled.
LIBRARY_SPREAD = 2.0
# The setup's shortcuts lead to these, in this order of the shuffle.
SHORTCUT_TARGETS = ("velmor.exe", "velmor.pdf")
SHORTCUT_TARGET_BYTES = (100_000, 1_000_000)
PAYLOAD_MARK = "# install benchmark payload 2 (with the shortcut targets)"


class PayloadError(Exception):
    pass


def text_files():
    """The text files of the corpus trees, one from each tree in turn, each tree in its shuffle."""
    trees = [make_corpus.candidates(root, "text") for root, _ in make_corpus.SOURCES["text"] if os.path.isdir(root)]
    for i in range(max(map(len, trees), default=0)):
        for tree in trees:
            if i < len(tree):
                yield tree[i]


def text_stream(size):
    """size bytes of whole text files in turn (the last one cut), as one block."""
    parts, taken = [], 0
    for path in text_files():
        if taken >= size:
            break
        with open(path, "rb") as f:
            data = f.read(size - taken)
        parts.append(data)
        taken += len(data)
    if taken < size:
        raise PayloadError(f"only {taken} of {size} bytes of text found")
    return b"".join(parts)


def make_dictionary(folder):
    os.makedirs(folder)
    text = text_stream(DICTIONARY_FILES * DICTIONARY_FILE_BYTES)
    for number in range(DICTIONARY_FILES):
        with open(os.path.join(folder, f"terms{number + 1:03d}.txt"), "wb") as out:
            out.write(text[number * DICTIONARY_FILE_BYTES:(number + 1) * DICTIONARY_FILE_BYTES])


def pick_libraries():
    """Returns [(path, size)] of LIBRARY_COUNT libraries totalling about LIBRARY_BYTES, and
    [(path, size)] of the files that become SHORTCUT_TARGETS."""
    chosen, names, total = [], set(), 0
    targets = []
    for path in make_corpus.candidates("/usr/lib", "binary"):
        left = LIBRARY_COUNT - len(chosen)
        name = os.path.basename(path)
        if name in names:
            continue
        size = os.path.getsize(path)
        if left == 0:
            if SHORTCUT_TARGET_BYTES[0] <= size <= SHORTCUT_TARGET_BYTES[1]:
                targets.append((path, size))
                names.add(name)
                if len(targets) == len(SHORTCUT_TARGETS):
                    break
            continue
        average = (LIBRARY_BYTES - total) / left
        spread = 1.1 if left == 1 else LIBRARY_SPREAD  # the last one settles the total
        if average / spread <= size <= average * spread:
            chosen.append((path, size))
            names.add(name)
            total += size
    if len(chosen) < LIBRARY_COUNT or len(targets) < len(SHORTCUT_TARGETS):
        raise PayloadError(f"only {len(chosen)} of {LIBRARY_COUNT} suitable shared libraries and {len(targets)}"
                           f" of {len(SHORTCUT_TARGETS)} shortcut targets in /usr/lib")
    return chosen, targets


def make_vellumor(folder):
    os.makedirs(folder)
    libraries, targets = pick_libraries()
    for path, _ in libraries:
        shutil.copyfile(path, os.path.join(folder, os.path.basename(path)))
    for (path, _), name in zip(targets, SHORTCUT_TARGETS):
        shutil.copyfile(path, os.path.join(folder, name))


def write_manifest(output, manifest):
    lines, count, total = [], 0, 0
    for directory, subdirs, files in os.walk(output):
        subdirs.sort()
        for name in sorted(files):
            path = os.path.join(directory, name)
            with open(path, "rb") as f:
                data = f.read()
            lines.append(f"{len(data)}\t{hashlib.sha256(data).hexdigest()}\t{os.path.relpath(path, output)}")
            count += 1
            total += len(data)
    with open(manifest, "w") as m:
        m.write(PAYLOAD_MARK + "\n# size<TAB>sha256<TAB>path\n" + "\n".join(lines) + "\n")
        m.write(f"# {count} files, {total} bytes\n")
    return count, total


def build(output, manifest):
    if os.path.exists(output):
        shutil.rmtree(output)
    make_dictionary(os.path.join(output, "dictionary"))
    make_vellumor(os.path.join(output, "vellumor"))
    return write_manifest(output, manifest)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("output")
    parser.add_argument("manifest")
    args = parser.parse_args()
    try:
        count, total = build(args.output, args.manifest)
    except (PayloadError, make_corpus.CorpusError) as e:
        sys.exit(f"make_payload: {e}")
    print(f"payload: {count} files, {total} bytes in {args.output}")


if __name__ == "__main__":
    main()
