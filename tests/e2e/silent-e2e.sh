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
source "$here/install-checks.sh"
setup_exe=$build/setup/win32/setup.exe
template_exe=$build/setup/win32/setup-template.exe
payload=$build/setup/win32/payload
qdmx=$build/host-tools/tools/qdmx/qdmx
[ -x "$qdmx" ] || qdmx=$build/tools/qdmx/qdmx


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

# Runs a Windows command line from a batch file, so that it reaches the program exactly as an
# administrator types it (blanks and quotes included); leaves the exit code in rc and Wine's output
# in the named log.
rc=
run() {
    local log=$1
    shift
    printf '@%s\r\n@exit /b %%errorlevel%%\r\n' "$*" >"$drive_c/run.bat"
    local started=$SECONDS
    wine cmd /c 'C:\run.bat' >"$out/$log" 2>&1
    rc=$?
    echo "  ($log: exit $rc after $((SECONDS - started)) s)"
}
no_box() { ! grep -aq "MSGBOX_OnInit" "$out/$1"; }
has_line() { tr -d '\r' <"$1" | grep -qxF -- "$2"; }

project_marked() {
    tr -d '\r' <"$1" | awk '/^\[/{section=$0} section=="[Project]" && $0=="Deployed=1" {found=1} END{exit !found}'
}
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
root_dir_is() { [ "$(reg_value 'HKLM\Software\Parlavox\Vellumor\4.0' RootDir)" = "$1" ]; }

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

echo "silent-e2e: a second dictionary over the same Vellumor (template executable)"
mkdir -p "$out/second" "$drive_c/Second"
printf '[Project]\r\nName=Legal Terms\r\n' >"$out/second/legal.vlp"
printf 'contract\tVertrag\r\n' >"$out/second/legal.vlm"
printf 'court\tGericht\r\n' >"$out/second/courts.vlm"
"$qdmx" create -m zstd -q -C "$out/second" "$drive_c/Second/Legal.vl2" .
cp "$template_exe" "$drive_c/Second/Legal.exe"
printf 'PVD4\tLegal\tEnglish-German legal terms\tParlavox Legal Team\t45000.5' >"$drive_c/Second/Legal.vl1"
cp "$payload/vellumor.qdmx" "$drive_c/Second/Legal.vl3"
run second.log 'C:\Second\Legal.exe /S /D=C:\Some Folder\Apps'
check "second silent install exits 0" test "$rc" -eq 0

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The installation's key below the Uninstall key, found by its InstallLocation.
key_of() {
    local key
    for key in $(wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r' | grep -F 'Uninstall\Parlavox ' | tr ' ' '?'); do
        key=${key//\?/ }
        [ "$(reg_value "$key" InstallLocation)" = "$1" ] && { echo "$key"; return 0; }
    done
    return 1
}
first_key=$(key_of 'C:\Some Folder\Apps\English-German')
second_key=$(key_of 'C:\Some Folder\Apps\Legal')
check "the first dictionary has its Uninstall key" test -n "$first_key"
check "the second dictionary has its own Uninstall key" test -n "$second_key" -a "$first_key" != "$second_key"
values_are() {
    local key=$1 expected=$2 actual
    actual=$(wine reg query "$key" 2>/dev/null | tr -d '\r' | sed -n 's/^    \([A-Za-z]*\) *REG_[A-Z_]* *\(.*\)$/\1=\2/p' | sort)
    [ "$actual" = "$(sort <<<"$expected")" ] || { diff <(echo "$actual") <(sort <<<"$expected") >&2; return 1; }
}
today=$(date +%Y%m%d)
check "the first key has every value" values_are "$first_key" "DisplayName=Parlavox Dictionary: English-German software terminology
DisplayVersion=1999.02.20
Publisher=Parlavox Localisation Team
InstallLocation=C:\Some Folder\Apps\English-German
InstallDate=$today
EstimatedSize=$(reg_value "$first_key" EstimatedSize)
DisplayIcon=C:\Some Folder\Apps\VL\velmor.exe
UninstallString=\"C:\Some Folder\Apps\English-German\uninstall.exe\"
QuietUninstallString=\"C:\Some Folder\Apps\English-German\uninstall.exe\" /S
NoModify=0x1
NoRepair=0x1"
check "EstimatedSize counts the installed KB" test "$(($(reg_value "$first_key" EstimatedSize)))" -gt 100
check "the second key names its own dictionary" test "$(reg_value "$second_key" DisplayName)" = 'Parlavox Dictionary: English-German legal terms'

echo "silent-e2e: uninstalling the first dictionary with its QuietUninstallString"
printf 'hand-made change\r\n' >>"$apps/Legal/courts.vlm"
run uninstall1.log "$(reg_value "$first_key" QuietUninstallString)"
check "the first uninstall exits 0" test "$rc" -eq 0
for _ in $(seq 50); do [ -e "$apps/English-German/uninstall.exe" ] || break; sleep 0.2; done
check "the first dictionary's folder is gone" test ! -e "$apps/English-German"
check "its Uninstall key is gone" test -z "$(reg_value "$first_key" DisplayName)"
check "Vellumor stays" same_files "$resources/vellumor" "$apps/VL"
check "RootDir stays" root_dir_is 'C:\Some Folder\Apps\VL'
check "the group and its shortcut stay" test -f "$group/Vellumor.lnk"
check "the second dictionary stays" test -f "$apps/Legal/legal.vlm" -a -f "$apps/Legal/uninstall.exe"
check "the second Uninstall key stays" test -n "$(reg_value "$second_key" DisplayName)"
printf 'MyOwnWord\r\n' >>"$apps/VL/velmor.pvl"
check "no box during a quiet uninstall" no_box uninstall1.log

echo "silent-e2e: uninstalling the second, last dictionary"
run uninstall2.log "$(reg_value "$second_key" QuietUninstallString) /LOG=C:\uninstall.log"
check "the second uninstall exits 0" test "$rc" -eq 0
# The copy removes the original uninstaller right after the original has ended.
for _ in $(seq 50); do [ -e "$apps/Legal/uninstall.exe" ] || break; sleep 0.2; done
left=$(cd "$drive_c/Some Folder" && find . -type f | sort | tr '\n' ' ')
check "only velmor.pvm, velmor.pvl and the changed file are left" \
    test "$left" = "./Apps/Legal/courts.vlm ./Apps/VL/velmor.pvl ./Apps/VL/velmor.pvm "
check "no empty folder is left" test -z "$(find "$drive_c/Some Folder" -type d -empty)"
check "no uninstaller is left" test -z "$(find "$drive_c/Some Folder" -iname 'uninstall*')"
check "no Uninstall key is left" test -z "$(wine reg query "$uninstall_key" 2>/dev/null | grep -F 'Uninstall\Parlavox ')"
check "RootDir is gone" test -z "$(reg_value 'HKLM\Software\Parlavox\Vellumor\4.0' RootDir)"
check "the emptied Parlavox key is gone" bash -c "! wine reg query 'HKLM\Software\Parlavox' >/dev/null 2>&1"
# Restarting Wine (a new wineserver runs wineboot) carries out the deletions left for a restart.
wineserver -k
wine cmd /c exit >/dev/null 2>&1
check "the uninstallers' temporary copies are gone after a restart" \
    test -z "$(find "$drive_c/users" -iname 'ParlavoxUninstall-*')"
check "the Parlavox group is gone" test ! -e "$group"
check "the log lists what was kept" has_line "$drive_c/uninstall.log" \
    'Kept: C:\Some Folder\Apps\Legal\courts.vlm (changed since it was installed)'

echo "silent-e2e: a setup made on Linux by qdmx make-setup (dense archives) with /S"
"$qdmx" make-setup -q --record "$resources/support.txt" --dictionary "$resources/dictionary" \
    --vellumor "$payload/vellumor" --template "$template_exe" "$drive_c/Made.exe"
check "the made setup holds dense archives" grep -aq $'QDMX\x1aZST' "$drive_c/Made.exe"
run made.log 'C:\Made.exe /S /D=C:\Made'
check "the made setup exits 0" test "$rc" -eq 0
check "its dictionary is installed byte for byte" same_files "$resources/dictionary" "$drive_c/Made/English-German"
check "its Vellumor is installed byte for byte" same_files "$payload/vellumor" "$drive_c/Made/VL"

kill "$watch_pid" 2>/dev/null
watch_pid=
check "no window appeared at any time" test ! -s "$out/windows.txt"
[ -s "$out/windows.txt" ] && sort -u "$out/windows.txt" | sed 's/^/  window: /'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
