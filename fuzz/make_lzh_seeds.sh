#!/usr/bin/env bash
# Writes the seed corpora of the LZH fuzz targets: corpus/lzh/ (three bytes of expanded size,
# little-endian, then an LZH stream) and corpus/lzh_roundtrip/ (plain inputs to compress).
# The streams are four short known streams and qdmx's own streams of a few generated inputs.
# Usage: fuzz/make_lzh_seeds.sh PATH/TO/qdmx
set -euo pipefail
qdmx=$1
here=$(cd "$(dirname "$0")" && pwd)
expand=$here/corpus/lzh
roundtrip=$here/corpus/lzh_roundtrip
mkdir -p "$expand" "$roundtrip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# seed NAME SIZE STREAM-FILE: the expand seed for a stream of SIZE expanded bytes.
seed() {
    local size=$2
    printf "\\x$(printf %02x $((size & 255)))\\x$(printf %02x $(((size >> 8) & 255)))\\x$(printf %02x $((size >> 16)))" >"$expand/$1"
    cat "$3" >>"$expand/$1"
}

printf '\xf6\xfb\xbd\xe0' >"$work/abc.lzh" && seed abc 3 "$work/abc.lzh"
printf '\xf6\xfb\xbd\xf1\xe0\x20' >"$work/abc3.lzh" && seed abc3 9 "$work/abc3.lzh"
printf '\xf6\xc9\x00\x00' >"$work/a10.lzh" && seed a10 10 "$work/a10.lzh"
printf '\xf6\x80' >"$work/a.lzh" && seed a 1 "$work/a.lzh"

# Generated inputs: prose-like text past the window end, runs, a short period, and spaces.
for i in $(seq 1 120); do printf 'the dictionary of translation %d opens every project, ' "$i"; done >"$roundtrip/prose"
head -c 3000 /dev/zero | tr '\0' 'a' >"$roundtrip/run"
for i in $(seq 1 700); do printf 'ab'; done >"$roundtrip/period2"
{ head -c 200 /dev/zero | tr '\0' ' '; printf 'indented text\n'; } >"$roundtrip/spaces"
printf 'abcabcabc' >"$roundtrip/abc3"
for name in prose run period2 spaces; do
    "$qdmx" encode -m lzh "$roundtrip/$name" "$work/$name.lzh"
    seed "$name" "$(stat -c %s "$roundtrip/$name")" "$work/$name.lzh"
done
