#!/usr/bin/env bash
# The install benchmark in one command: installs what is missing (NSIS's makensis, Wine, Xvfb,
# xdotool, MinGW), builds the template executable with the windows preset, the Linux qdmx with
# the bench preset and the empty program (bench/empty.c), then runs bench/install_compare.py in
# build/install-bench/ (payload, our archives and NSIS installers, installs under Wine side by
# side, the setup's span breakdown, install-results.txt).
#
#   bench/install-bench.sh [--runs N] [--only LABELS] [--ours LABEL=EXE ...] [--keep]
#     --runs N                 installs per row, in turns; best, median and every run (default 5)
#     --only LABELS            a comma-separated subset of the rows' labels
#     --ours LABEL=EXE         this template executable too (repeatable): lh5, dense and stored /S,
#                              lh5 and dense through the wizard
#     --made LABEL=TEMPLATE    a single-file setup made from this template by make-setup
#     --wizard-only LABEL=EXE  through the wizard only (a build without /S)
#     --no-spans               skip the untimed /S run with PARLAVOX_SPANS=1 of our installers
#     --keep                   leave the last run's Wine prefix in build/install-bench/prefix-run
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
data="$root/build/install-bench"
args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --runs | --only | --ours | --made | --wizard-only) args+=("$1" "$2"); shift 2 ;;
    --keep | --no-spans) args+=("$1"); shift ;;
    -h | --help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "install-bench.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done

# Command -> Debian package.
declare -A needed=([makensis]=nsis [wine]=wine [Xvfb]=xvfb [xdotool]=xdotool
    [python3]=python3 [cmake]=cmake [x86_64-w64-mingw32-g++-posix]=g++-mingw-w64-x86-64-posix
    [x86_64-w64-mingw32-gcc-posix]=gcc-mingw-w64-x86-64-posix)
missing=()
for command in "${!needed[@]}"; do
    command -v "$command" >/dev/null 2>&1 || missing+=("${needed[$command]}")
done
# wine64 installs its loader off the PATH.
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "install-bench.sh: installing ${missing[*]}" >&2
    $sudo apt-get update
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The Windows build of zstd needs Debian's source package (scripts/deps.sh).
source "$root/scripts/deps.sh"
parlavox_fetch_zstd_source
# The payload is packed by the optimised Linux qdmx of the bench build.
(cd "$root" && cmake --preset windows >/dev/null && nice -n 10 cmake --build --preset windows -j 2 --target setup-template)
(cd "$root" && cmake --preset bench >/dev/null && nice -n 10 cmake --build --preset bench -j 2 --target qdmx)
mkdir -p "$data"
# The empty program's row: the cost of a process under Wine.
x86_64-w64-mingw32-gcc-posix -O2 -s -Wall -Wextra -mwindows -o "$data/empty.exe" "$root/bench/empty.c"
exec python3 "$root/bench/install_compare.py" --qdmx "$root/build/bench/tools/qdmx/qdmx" \
    --data "$data" --ours "ours=$root/build/windows/setup/win32/setup-template.exe" --empty "$data/empty.exe" \
    "${args[@]}"
