#!/usr/bin/env bash
# The peer benchmark in one command, from a fresh machine: installs the peer tools that are
# missing, builds qdmx with the bench preset, then runs bench/compare.py in build/bench-data/
# (corpora, jlha's archives, expansion and compression side by side, results.txt).
#
#   bench/run.sh [--runs N] [--size BYTES] [--sections LIST] [--boost] [--qdmx PATH] [--codec-bench]
#     --runs N       timed runs per command, the best counts (default 5)
#     --size BYTES   bytes per corpus (default 41943040, 40 MiB)
#     --sections L   a comma-separated subset of lh5-expand,lh1-expand,lh5-compress (default all)
#     --boost        as root: run the timed commands at a higher priority (a session of their own,
#                    autogroup nice -15) so that other work on a shared machine disturbs less
#     --qdmx PATH    use this qdmx instead of building one
#     --codec-bench  also run the in-process codec benchmark (build/bench/bench/codec_bench)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
data="$root/build/bench-data"
runs=5
size=$((40 << 20))
qdmx=""
codec_bench=0
boost=0
sections=lh5-expand,lh1-expand,lh5-compress
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --sections) sections=$2; shift 2 ;;
    --qdmx) qdmx=$2; shift 2 ;;
    --codec-bench) codec_bench=1; shift ;;
    --boost) boost=1; shift ;;
    -h | --help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done

# Command -> Debian package; libraries are checked by package name.
declare -A needed=([lhasa]=lhasa [7z]=p7zip-full [bsdtar]=libarchive-tools [jlha]=jlha-utils [gzip]=gzip
    [python3]=python3 [cmake]=cmake [g++]=g++ [git]=git)
missing=()
for command in "${!needed[@]}"; do
    command -v "$command" >/dev/null 2>&1 || missing+=("${needed[$command]}")
done
for package in libbenchmark-dev libcli11-dev; do
    dpkg-query -W -f '${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "run.sh: installing ${missing[*]}" >&2
    $sudo apt-get update
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ -z "$qdmx" ] || [ "$codec_bench" -eq 1 ]; then
    (cd "$root" && cmake --preset bench >/dev/null && cmake --build --preset bench -j 2 --target qdmx codec_bench)
fi
[ -n "$qdmx" ] || qdmx="$root/build/bench/tools/qdmx/qdmx"

mkdir -p "$data"
compare=(python3 "$root/bench/compare.py" --qdmx "$qdmx" --data "$data" --runs "$runs" --size "$size"
    --sections "$sections")
if [ "$boost" -eq 1 ]; then
    # Nice values act only within a scheduler autogroup (one per session): start a session of our
    # own and raise that group, so the caller's other processes keep their priority.
    # shellcheck disable=SC2016
    compare=(setsid --wait bash -c '{ echo -15 >/proc/self/autogroup; } 2>/dev/null ||
        echo "run.sh: --boost: cannot raise the autogroup (needs root and autogroups)" >&2
        exec nice -n -15 "$@"' boost "${compare[@]}")
fi
status=0
"${compare[@]}" || status=$?

if [ "$codec_bench" -eq 1 ]; then
    "$root/build/bench/bench/codec_bench" --benchmark_min_time=0.5 | tee "$data/codec_bench.txt"
fi
exit $status
