# Sourced by the end-to-end scripts: what an installation under Wine must have left behind, and
# where the build machine's qdmx is. Uses the caller's $qdmx and $drive_c (the prefix's drive C).
source "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"

# Every file of a payload folder is installed with the same bytes; the project file is compared
# apart from the project mark that the setup adds to it.
same_files() {
    local source=$1 target=$2 file relative
    while IFS= read -r file; do
        relative=${file#"$source"/}
        [[ $relative == *.vlp ]] && continue
        cmp -s "$file" "$target/$relative" || { echo "  differs: $target/$relative" >&2; return 1; }
    done < <(find "$source" -type f)
}
# Every installed member carries the date stored in the archive (qdmx lists it in local time).
stored_dates() {
    local archive=$1 target=$2 line name stamp actual
    while IFS= read -r line; do
        name=$(awk '{print $NF}' <<<"$line")
        stamp=$(awk '{print $5" "$6}' <<<"$line")
        [[ $name == *.vlp ]] && continue
        actual=$(date -r "$target/${name//\\//}" '+%Y-%m-%d %H:%M:%S' 2>/dev/null)
        [ "$actual" = "$stamp" ] || { echo "  $name: installed $actual, stored $stamp" >&2; return 1; }
    done < <("$qdmx" list -v "$archive" | awk 'NR > 1 && ($4 == "lh5" || $4 == "zstd")')
}
# The processes of this run's Wine prefix whose command line matches a pattern: those of other
# prefixes (another end-to-end run beside this one) are not this run's. A program a Wine program
# starts inherits the environment that names the prefix.
prefix_pids() {
    local pid
    for pid in $(pgrep -f "$1"); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done
}
# The build machine's qdmx, the one the build folder packed with (cmake/HostQdmx.cmake): the
# program it was configured with, or the one it built itself.
build_machine_qdmx() {
    local build=$1 named
    named=$(sed -n 's/^PARLAVOX_BUILD_MACHINE_QDMX:FILEPATH=//p' "$build/CMakeCache.txt" 2>/dev/null)
    if [ -n "$named" ]; then
        echo "$named"
    elif [ -x "$build/host-tools/tools/qdmx/qdmx" ]; then
        echo "$build/host-tools/tools/qdmx/qdmx"
    else
        echo "$build/tools/qdmx/qdmx"
    fi
}
programs_group() { find "$drive_c/users" -type d -path '*Start Menu/Programs/Parlavox' | head -1; }

# A setup made on Linux with a UTF-8 support record (the dictionary "Wörterbuch" by "Jürgen Groß")
# and member names in three scripts, one in a subfolder, beside its project file; the payload is
# left in OUT/names-payload.
# Uses the caller's $qdmx, $payload (for Vellumor) and the template named.
make_names_setup() {
    local out=$1 template=$2 exe=$3
    names_payload=$out/names-payload
    mkdir -p "$names_payload/Ñandú"
    printf 'Wörterbuch\r\n' >"$names_payload/Wörterbuch.txt"
    printf 'словарь\r\n' >"$names_payload/Словарь.txt"
    printf '日本語\r\n' >"$names_payload/日本語.txt"
    printf 'über\r\n' >"$names_payload/Ñandú/über.dat"
    printf '[Project]\r\nName=Wörterbuch\r\n' >"$names_payload/Wörterbuch.vlp"
    printf 'PVD4\tWörterbuch\tDeutsch–Русский–日本語\tJürgen Groß\t45000.5' >"$out/utf8-record.txt"
    "$qdmx" make-setup -q --record "$out/utf8-record.txt" --dictionary "$names_payload" \
        --vellumor "$payload/vellumor" --template "$template" "$exe"
}
# A Windows path of drive C as the Unix path in the prefix.
unix_path() {
    local p=${1#C:\\}
    echo "$drive_c/${p//\\//}"
}
# What an uninstall leaves of a base folder: Vellumor's two user files, which it always keeps.
only_user_files_left() {
    [ "$(find "$1" -type f -printf '%f\n' 2>/dev/null | sort | tr '\n' ' ')" = "velmor.pvl velmor.pvm " ]
}
