#!/usr/bin/env bash
# qdmx extract over an earlier extraction when it does not finish: killed in the middle of a
# member (several times, at different moments), stopped by a write that fails, and (where a small
# tmpfs can be mounted in a user namespace) on a volume that is full or fills up meanwhile. After
# each, every file must be either its old or its new version, byte for byte; a final complete run
# must leave the new version everywhere, with the temporary files of the killed runs untouched.
#
# Usage: qdmx-crash.sh QDMX [KILLS]    (KILLS default 4; more for a longer run by hand)
set -uo pipefail

qdmx=$(realpath "$1")
kills=${2:-4}
names="alpha.vlm beta.vlm gamma.vlm"
if [ -n "${QDMX_CRASH_WORK:-}" ]; then
    work=$QDMX_CRASH_WORK # the full-volume part, run again inside its namespace
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/qdmx-crash.XXXXXX")
    trap 'rm -rf "$work"' EXIT
fi

source "$(dirname "$0")/../../support/checks.sh"

# Prints, for each member, 1 or 2 (the version it holds), - (no file) or "torn".
versions() {
    local dir=$1 name
    for name in $names; do
        if [ ! -e "$dir/$name" ]; then
            printf -- '- '
        elif cmp -s "$dir/$name" "$work/v1/$name"; then
            printf '1 '
        elif cmp -s "$dir/$name" "$work/v2/$name"; then
            printf '2 '
        else
            printf 'torn '
        fi
    done
}
every_file_whole() { [[ $(versions "$1") != *torn* ]]; }
all_new() { [ "$(versions "$1")" = "2 2 2 " ]; }
leftovers() { find "$1" -maxdepth 1 -name '~qdmx*.tmp' | wc -l; }

# --- A full volume: a 10 MB tmpfs in a user and mount namespace of our own --------------------
full_disk() {
    local mnt=$1 status
    mount -t tmpfs -o size=10m tmpfs "$mnt" || return 3
    "$qdmx" extract -q -C "$mnt/d" "$work/v1.qdmx" || return 2
    # 3 MB of version 1 and 6.5 MB of other data on the volume: each 1 MB member of version 2
    # needs its whole size beside the file it replaces, which is not there.
    head -c 6500000 /dev/zero >"$mnt/other"
    status=$("$qdmx" extract -q -C "$mnt/d" "$work/v2.qdmx" 2>"$work/full.err"; echo $?)
    echo "# full volume: exit $status, $(head -1 "$work/full.err"); versions $(versions "$mnt/d")"
    check "full volume: extract fails with status 1" test "$status" -eq 1
    check "full volume: the space check says so before writing" grep -q "Not enough disk space" "$work/full.err"
    check "full volume: every file is its old version" test "$(versions "$mnt/d")" = "1 1 1 "
    check "full volume: no temporary file is left" test "$(leftovers "$mnt/d")" -eq 0
    # Room for one member at a time: the check passes, and another process fills the volume
    # while extract writes.
    rm "$mnt/other"
    (sleep 0.01; cat /dev/zero >"$mnt/filler" 2>/dev/null) &
    status=$("$qdmx" extract -q -C "$mnt/d" "$work/v2.qdmx" 2>"$work/filling.err"; echo $?)
    wait
    echo "# filling volume: exit $status, $(head -1 "$work/filling.err"); versions $(versions "$mnt/d")"
    check "filling volume: every file that exists is whole" bash -c '! grep -q torn <<<"$1"' _ "$(versions "$mnt/d")"
    check "filling volume: no temporary file is left" test "$(leftovers "$mnt/d")" -eq 0
    umount "$mnt"
}
if [ -n "${QDMX_CRASH_WORK:-}" ]; then
    full_disk "$work/mnt"
    exit $((failed > 0))
fi

# Two versions of three members of 1 MB each (text-like). Version 2, the one that is killed, is
# packed with LZH, the slowest method to expand, so that the kills land inside members easily.
for version in 1 2; do
    mkdir -p "$work/v$version"
    for name in $names; do
        { echo "version $version of $name"; base64 -w 100 /dev/urandom | head -c 1000000; } >"$work/v$version/$name"
    done
    method=none
    [ "$version" = 2 ] && method=lzh
    "$qdmx" create -q -m $method -C "$work/v$version" "$work/v$version.qdmx" . || exit 2
done

# --- Killed in the middle of a member -------------------------------------------------------
target=$work/killed
"$qdmx" extract -q -C "$target" "$work/v1.qdmx" || exit 2
for ((k = 1; k <= kills; k++)); do
    before=$(printf '%s ' "$target"/~qdmx*.tmp)
    "$qdmx" extract -q -C "$target" "$work/v2.qdmx" &
    pid=$!
    # Wait until the run has begun its k-th member (counting 1, 2, 3, 1, ...) and written to it,
    # then kill: so the kills fall into different members, each while its temporary file grows.
    seen=""
    want=$(((k - 1) % 3 + 1))
    found=0
    while [ "$found" -lt "$want" ] && kill -0 "$pid" 2>/dev/null; do
        for file in "$target"/~qdmx*.tmp; do
            [[ -s $file && $before != *"$file "* && $seen != *"$file "* ]] || continue
            seen="$seen$file "
            found=$((found + 1))
        done
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    echo "# kill $k (during member $want): versions $(versions "$target")- temporary files left: $(leftovers "$target")"
    check "kill $k: every file is its old or its new version" every_file_whole "$target"
    # Back to the old version, so that the next kill again finds files to replace.
    "$qdmx" extract -q -C "$target" "$work/v1.qdmx" || not_ok "restoring version 1"
done
left=$(leftovers "$target")
check "the killed runs left at most one temporary file each" test "$left" -le "$kills"
find "$target" -maxdepth 1 -name '~qdmx*.tmp' -exec md5sum {} + | sort >"$work/leftovers.before"
check "a complete run after the kills succeeds" "$qdmx" extract -q -C "$target" "$work/v2.qdmx"
check "and leaves the new version everywhere" all_new "$target"
find "$target" -maxdepth 1 -name '~qdmx*.tmp' -exec md5sum {} + | sort >"$work/leftovers.after"
check "the temporary files of the killed runs are left alone" cmp -s "$work/leftovers.before" "$work/leftovers.after"

# --- A write that fails in the middle of a member (file size limit: EFBIG) --------------------
target=$work/limited
"$qdmx" extract -q -C "$target" "$work/v1.qdmx" || exit 2
status=$( (trap '' XFSZ; ulimit -f 500; "$qdmx" extract -q -C "$target" "$work/v2.qdmx" 2>"$work/limited.err"); echo $?)
echo "# write failure: exit $status, $(head -1 "$work/limited.err"); versions $(versions "$target")"
check "a failing write ends extract with status 1" test "$status" -eq 1
check "the failing write is reported" grep -q "Stream write error" "$work/limited.err"
check "after the failing write every file is its old version" test "$(versions "$target")" = "1 1 1 "
check "and no temporary file is left" test "$(leftovers "$target")" -eq 0

mkdir -p "$work/mnt"
if unshare -rm true 2>/dev/null; then
    QDMX_CRASH_WORK=$work unshare -rm bash "$0" "$qdmx" | tee "$work/ns.out"
    passed=$((passed + $(grep -c '^ok' "$work/ns.out")))
    failed=$((failed + $(grep -c '^not ok' "$work/ns.out")))
else
    echo "# full volume: skipped (no user namespaces to mount a tmpfs in)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
