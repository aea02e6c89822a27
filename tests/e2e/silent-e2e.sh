#!/usr/bin/env bash
# End-to-end run of the unattended setup and of the uninstaller under Wine: setup.exe /S with a
# Vellumor directory that has blanks, a damaged archive, usage errors, two dictionaries over one
# Vellumor and their uninstallers. A private Xvfb display lets the run prove that no window
# appears at any time: a watcher lists every visible window, and Wine's msgbox trace every box.
#
# Usage: silent-e2e.sh WINDOWS_BUILD_DIR [OUT_DIR]
#   OUT_DIR (default WINDOWS_BUILD_DIR/silent-e2e) receives the prefix and the logs.
set -uo pipefail

build=$(cd "$1" && pwd)
out=${2:-$build/silent-e2e}
here=$(cd "$(dirname "$0")" && pwd)
resources=$here/../../resources
setup_exe=$build/setup/win32/setup.exe
template_exe=$build/setup/win32/setup-template.exe
payload=$build/setup/win32/payload
qdmx=$build/host-tools/tools/qdmx/qdmx
[ -x "$qdmx" ] || qdmx=$build/tools/qdmx/qdmx

passed=0
failed=0
ok() { echo "ok - $*"; passed=$((passed + 1)); }
not_ok() { echo "not ok - $*"; failed=$((failed + 1)); }
check() {
    local what=$1
    shift
    if "$@"; then ok "$what"; else not_ok "$what"; fi
}

for f in "$setup_exe" "$template_exe" "$payload/dictionary.qdmx" "$payload/vellumor.qdmx" "$qdmx"; do
    [ -e "$f" ] || { echo "silent-e2e: missing $f (build the Windows preset first)" >&2; exit 2; }
done

rm -rf "$out"
mkdir -p "$out"

export WINEPREFIX=$out/wineprefix
export WINEARCH=win64
export WINEDEBUG=-all,trace+msgbox
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
drive_c=$WINEPREFIX/drive_c

xvfb_pid=
watch_pid=
cleanup() {
    [ -n "$watch_pid" ] && kill "$watch_pid" 2>/dev/null
    wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" 2>"$out/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.1; done
[ -s "$out/display" ] || { echo "silent-e2e: Xvfb did not start" >&2; exit 2; }
export DISPLAY=:$(head -1 "$out/display")

echo "silent-e2e: creating a fresh Wine prefix on display $DISPLAY"
wineboot -i >"$out/wineboot.log" 2>&1
wineserver -w

# Every visible window's title, from now until the end of the run.
(
    while :; do
        for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
            xdotool getwindowname "$id" 2>/dev/null
        done
        sleep 0.1
    done
) >"$out/windows.txt" &
watch_pid=$!

# Runs a Windows command line as cmd.exe passes it on, so that unquoted blanks reach the program
# as an administrator types them; leaves the exit code in rc and Wine's output in the named log.
rc=
run() {
    local log=$1
    shift
    wine cmd /c "$*" >"$out/$log" 2>&1
    rc=$?
}
no_box() { ! grep -aq "MSGBOX_OnInit" "$out/$1"; }
has_line() { tr -d '\r' <"$1" | grep -qxF -- "$2"; }

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
    done < <("$qdmx" list -v "$archive" | awk 'NR > 1 && $4 == "lh5"')
}
project_marked() {
    tr -d '\r' <"$1" | awk '/^\[/{section=$0} section=="[Project]" && $0=="Deployed=1" {found=1} END{exit !found}'
}
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
root_dir_is() { [ "$(reg_value 'HKLM\Software\Parlavox\Vellumor\4.0' RootDir)" = "$1" ]; }
programs_group() { find "$drive_c/users" -type d -path '*Start Menu/Programs/Parlavox' | head -1; }

apps="$drive_c/Some Folder/Apps"
mkdir -p "$drive_c/Setup"
cp "$setup_exe" "$drive_c/Setup/setup.exe"

echo "silent-e2e: setup.exe /S /LOG=... /D=C:\\Some Folder\\Apps"
run install.log 'C:\Setup\setup.exe /S /LOG=C:\silent.log /D=C:\Some Folder\Apps'
check "silent install exits 0" test "$rc" -eq 0
check "dictionary files have the archive's bytes" same_files "$resources/dictionary" "$apps/English-German"
check "Vellumor files have the archive's bytes" same_files "$resources/vellumor" "$apps/VL"
check "dictionary files carry the stored dates" stored_dates "$payload/dictionary.qdmx" "$apps/English-German"
check "Vellumor files carry the stored dates" stored_dates "$payload/vellumor.qdmx" "$apps/VL"
check "project file has Deployed=1" project_marked "$apps/English-German/engger.vlp"
check "RootDir holds the Vellumor directory" root_dir_is 'C:\Some Folder\Apps\VL'
group=$(programs_group)
check "Vellumor.lnk is in the Parlavox group" test -f "$group/Vellumor.lnk"
check "the log lists a written file" has_line "$drive_c/silent.log" 'Written: C:\Some Folder\Apps\VL\velmor.exe'
check "the log has the outcome" has_line "$drive_c/silent.log" 'Information: Parlavox Dictionary setup complete.'
check "no message box during the silent install" no_box install.log
check "Vellumor was not started" test -z "$(pgrep -f velmor.exe)"

echo "silent-e2e: a damaged NAME.vl2 with /S"
mkdir -p "$drive_c/Damaged"
cp "$template_exe" "$drive_c/Damaged/Broken.exe"
cp "$resources/support.txt" "$drive_c/Damaged/Broken.vl1"
cp "$payload/dictionary.qdmx" "$drive_c/Damaged/Broken.vl2"
cp "$payload/vellumor.qdmx" "$drive_c/Damaged/Broken.vl3"
size=$(stat -c %s "$drive_c/Damaged/Broken.vl2")
printf '\xff\x00\xff\x00\xff\x00\xff\x00' | dd of="$drive_c/Damaged/Broken.vl2" bs=1 seek=$((size - 200)) conv=notrunc 2>/dev/null
run damaged.log 'C:\Damaged\Broken.exe /S /LOG=C:\damaged.log /D=C:\Damaged Target'
check "damaged archive exits 1" test "$rc" -eq 1
check "the log says why" grep -aq '^Error: .*\(checksum\|invalid\|Invalid\|table\)' "$drive_c/damaged.log"
check "the log has the failure" has_line "$drive_c/damaged.log" 'Error: Parlavox Dictionary setup failed!'
check "no message box for the failure" no_box damaged.log

echo "silent-e2e: usage errors"
run usage.log 'C:\Setup\setup.exe /S /BOGUS /LOG=C:\usage.log'
check "unknown option exits 2" test "$rc" -eq 2
run help.log 'C:\Setup\setup.exe -s -?'
check "/? with /S exits 2 without a box" test "$rc" -eq 2
check "no box for usage errors with /S" no_box usage.log
check "nothing installed by a usage error" test ! -e "$drive_c/Program Files/Parlavox"

kill "$watch_pid" 2>/dev/null
watch_pid=
check "no window appeared at any time" test ! -s "$out/windows.txt"
[ -s "$out/windows.txt" ] && sort -u "$out/windows.txt" | sed 's/^/  window: /'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
