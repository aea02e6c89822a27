#!/usr/bin/env bash
# Builds setup.exe (Windows preset: MinGW-w64, static) and starts the wizard under Wine on the
# user's display, in a Wine prefix of its own inside the build folder. Without a display it runs
# the scripted walk-through of tests/e2e under Xvfb instead and leaves its screenshots in
# build/windows/walkthrough/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
parlavox_install_packages
parlavox_fetch_zstd_source

cmake --preset windows >/dev/null
# What the wizard and its walk-through use: both setup programs, the Vellumor stand-in, and
# qdmx.exe, with which the walk-through makes a setup under Wine.
cmake --build --preset windows -j "$(nproc)" --target setup setup-template velmor qdmx
build=$PWD/build/windows

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    export WINEPREFIX="$build/wizard-prefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    if [ ! -f "$WINEPREFIX/.parlavox-ready" ]; then
        echo "Making the Wine prefix $WINEPREFIX (once)"
        tests/support/fresh-wine-prefix.sh "$build/wine-template" "$WINEPREFIX"
        touch "$WINEPREFIX/.parlavox-ready"
    fi
    echo "Starting the wizard on display $DISPLAY; it installs below $WINEPREFIX/drive_c"
    wine "$build/setup/win32/setup.exe"
    wineserver -w
else
    echo "No display: running the scripted walk-through under Xvfb"
    status=0
    PARLAVOX_WALKTHROUGH=1 bash tests/e2e/wizard-e2e.sh "$build" "$build/walkthrough" || status=$?
    echo "Screenshots of every page and box: $build/walkthrough/screenshots/"
    exit "$status"
fi
