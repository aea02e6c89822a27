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
