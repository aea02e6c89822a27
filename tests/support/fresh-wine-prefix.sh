#!/bin/sh
# Usage: fresh-wine-prefix.sh TEMPLATE PREFIX
# Makes PREFIX a fresh Wine prefix: a copy of TEMPLATE, a prefix that was booted (wineboot -i) and
# has run nothing since. Booting takes 20 to 40 s, a copy about a second, so the prefixes of one
# build folder (the test programs', each end-to-end run's, the walk-through's) all come from one
# boot. The template is booted without a display, so that it is the same whoever needs it first,
# and under a lock: callers that start together wait for one boot. No Wine process runs in the
# template after its boot, so a copy holds everything the boot wrote.
#
# Wine's own programs and libraries, windows/system32 (about 630 of the prefix's 700 MB), are
# hard links to the template's: Wine only reads them, and rewrites them only when its version
# changes, which boots a new template here instead. Everything else is copied.
set -eu
template=$1
prefix=$2
mkdir -p "$(dirname "$template")" "$(dirname "$prefix")"
(
    flock 8
    wine_version=$(wine --version 2>/dev/null)
    if [ "$(cat "$template/.parlavox-booted" 2>/dev/null)" != "$wine_version" ]; then
        rm -rf "$template"
        echo "fresh-wine-prefix: booting $template (once per build folder)" >&2
        # The caller's lock descriptors stay closed in the server that wineboot leaves behind.
        if ! env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$template" WINEARCH=win64 WINEDEBUG=-all \
            WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
            sh -c 'wineboot -i && wineserver -w' >"$template.log" 2>&1 8>&- 9>&-; then
            cat "$template.log" >&2
            exit 1
        fi
        echo "$wine_version" >"$template/.parlavox-booted"
    fi
    # Debian's Wine 8.0 looks for the fonts of fonts-wine under "/usr/share/wine/../fonts", a name
    # its NT path lookup refuses; without Marlett its captions draw the letter "r" where the close
    # box belongs. A copy in the prefix's Fonts folder is found.
    marlett=/usr/share/wine/fonts/marlett.ttf
    fonts="$template/drive_c/windows/Fonts"
    if [ -f "$marlett" ] && [ ! -f "$fonts/marlett.ttf" ]; then cp "$marlett" "$fonts/"; fi
    rm -rf "$prefix"
    mkdir "$prefix"
    system32=drive_c/windows/system32
    tar -C "$template" --exclude="./$system32" -cf - . | tar -C "$prefix" -xpf -
    cp -al "$template/$system32" "$prefix/$system32"
) 8>"$template.lock"
