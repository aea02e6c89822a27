#!/usr/bin/env bash
# Makes the two small executables that the make-setup tests start from (see README.md).
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'void start(void) {}\n' >"$work/start.c"
printf '1 RCDATA { "kept as it is" }\nHELLO PARLAVOX { "another named resource" }\n' >"$work/plain.rc"
{ cat "$work/plain.rc"; printf 'TEMPLATE PARLAVOX { "Parlavox Dictionary Setup template" }\n'; } >"$work/template.rc"
for name in plain template; do
    x86_64-w64-mingw32-windres -O coff "$work/$name.rc" "$work/$name.o"
    x86_64-w64-mingw32-gcc -nostdlib -Wl,--entry,start -Wl,--no-insert-timestamp -s -Os \
        -o "tiny-$name.exe" "$work/start.c" "$work/$name.o"
done
