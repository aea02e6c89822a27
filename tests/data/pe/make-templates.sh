#!/usr/bin/env bash
# Makes the two small executables that the make-setup tests start from (see README.md).
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The pointer in data needs a base relocation.
printf 'int value;\nint *pointer = &value;\nvoid start(void) {}\n' >"$work/start.c"
printf '1 RCDATA { "kept as it is" }\nHELLO PARLAVOX { "another named resource" }\n' >"$work/plain.rc"
{ cat "$work/plain.rc"; printf 'TEMPLATE PARLAVOX { "Parlavox Dictionary Setup template" }\n'; } >"$work/template.rc"
for name in plain template; do
    x86_64-w64-mingw32-windres -O coff "$work/$name.rc" "$work/$name.o"
done
# Stripped, with base relocations after the resources (as the release build lays them out).
link() { x86_64-w64-mingw32-gcc -nostdlib -Wl,--entry,start -Wl,--no-insert-timestamp -Os "$@"; }
link -s -Wl,--dynamicbase -o tiny-plain.exe "$work/start.c" "$work/plain.o"
link -s -Wl,--dynamicbase -o tiny-template.exe "$work/start.c" "$work/template.o"
# With debugging sections and a symbol table after them.
link -g -o tiny-template-debug.exe "$work/start.c" "$work/template.o"
