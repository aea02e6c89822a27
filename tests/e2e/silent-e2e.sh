#!/usr/bin/env bash
# End-to-end run of the unattended setup and of the uninstaller under Wine: setup.exe /S with a
# Vellumor directory that has blanks, again while Vellumor runs and a held file (replaced at a
# restart), a damaged archive, usage errors, folders that cannot be used,
# two dictionaries over one Vellumor (whose Vellumor archives differ) and their uninstallers, one
# of them with a tampered uninstall record and one with a record planted in its folder before the
# installation, a made setup and its uninstaller, all with DLLs planted beside them and in the
# temporary folder, crafted and damaged setups, and a made setup beside an attacker's and then its
# publisher's own Vellumor archive. A private Xvfb display lets the run prove that no window
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
qdmx=$(build_machine_qdmx "$build")


planted_dll=$build/tests/e2e/planted.dll
hold_exe=$build/tests/e2e/holdfile.exe

for f in "$setup_exe" "$template_exe" "$payload/dictionary.qdmx" "$payload/vellumor.qdmx" "$qdmx" "$planted_dll" "$hold_exe"; do
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

echo "silent-e2e: a fresh Wine prefix on display $DISPLAY"
"$here/../support/fresh-wine-prefix.sh" "$build/wine-template" "$WINEPREFIX" || exit 2

# DLL planting: a DLL that records its own loading in C:\planted.txt lies, under names of system DLLs
# that installers have been bitten by, beside every program this run starts elevated and in the
# temporary folder; "n,b" makes Wine look for each along the program's search path before its
# own, as Windows does for a DLL that is not a KnownDLL. None may ever be loaded.
planted_names="version userenv propsys apphelp dwmapi cryptbase oleacc ntmarta profapi shfolder riched20
    textshaping uxtheme comctl32 shell32 shlwapi ole32 oleaut32 user32 gdi32 advapi32 imm32"
plant() {
    local name
    mkdir -p "$1"
    for name in $planted_names; do cp "$planted_dll" "$1/$name.dll"; done
}
temp_dir=$(winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null)
[ -d "$temp_dir" ] || { echo "silent-e2e: no temporary folder in the prefix" >&2; exit 2; }
plant "$drive_c/Setup"
plant "$temp_dir"
export WINEDLLOVERRIDES="$(printf '%s=n,b;' $planted_names)$WINEDLLOVERRIDES"
export PARLAVOX_PLANTED_MARKER='C:\planted.txt'
no_planted_dll_loaded() {
    [ ! -e "$drive_c/planted.txt" ] || { sed 's/^/  loaded: /' "$drive_c/planted.txt" >&2; return 1; }
}

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
    printf '@%s\r\n@set rc=%%errorlevel%%\r\n@>C:\\run.rc echo %%rc%%\r\n@exit /b %%rc%%\r\n' "$*" >"$drive_c/run.bat"
    rm -f "$drive_c/run.rc"
    local started=$SECONDS
    wine cmd /c 'C:\run.bat' >"$out/$log" 2>&1
    rc=$?
    # Unix keeps the low 8 bits of an exit code (3010 arrives as 194); the batch file saw it whole.
    [ "$rc" -ne 0 ] && [ -s "$drive_c/run.rc" ] && rc=$(tr -d '\r\n ' <"$drive_c/run.rc")
    echo "  ($log: exit $rc after $((SECONDS - started)) s)"
}
no_box() { ! grep -aq "MSGBOX_OnInit" "$out/$1"; }
# Files in use: Vellumor started from its folder (its window is the one the watcher may see), and
# a file held without sharing for some milliseconds (counted from when the file named third
# appears, if one is) by the tests' holdfile.exe. Both wait until the file is held.
velmor_pid=
start_vellumor() {
    wine "$1" >/dev/null 2>&1 &
    velmor_pid=$!
    for _ in $(seq 100); do grep -qx Vellumor "$out/windows.txt" 2>/dev/null && break; sleep 0.1; done
}
stop_vellumor() { kill "$velmor_pid" 2>/dev/null; wait "$velmor_pid" 2>/dev/null; velmor_pid=; }
hold() {
    rm -f "$drive_c/held.ready"
    wine "$hold_exe" "$1" "$2" 'C:\held.ready' "${@:3}" >/dev/null 2>&1 &
    for _ in $(seq 100); do [ -e "$drive_c/held.ready" ] && break; sleep 0.05; done
}
pending_renames() {
    wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null |
        tr -d '\r'
}
pending_has() { pending_renames | grep -qF -- "$1"; }
nothing_pending() { ! pending_renames | grep -qF 'Some Folder'; }
not_logged() { ! tr -d '\r' <"$1" | grep -qxF -- "$2"; }
# The record's line for a file: its path with the size and CRC-32 of the given bytes.
recorded_as() {
    grep -aqF "$(python3 -c 'import sys, zlib; d = open(sys.argv[1], "rb").read(); print("%d\t%08X\t%s" % (len(d), zlib.crc32(d), sys.argv[2]))' "$2" "$3")" "$1"
}
# A Windows restart as far as files go: a new wineserver runs wineboot, which carries out
# PendingFileRenameOperations.
restart_wine() {
    wineserver -k
    wine cmd /c exit >/dev/null 2>&1
}
# A whole line of a log, which begins with UTF-8's byte-order mark.
has_line() { tr -d '\r' <"$1" | sed '1s/^\xEF\xBB\xBF//' | grep -qxF -- "$2"; }
# The log is UTF-8 with one byte-order mark, at its start.
utf8_log() { [ "$(head -c 3 "$1" | od -An -tx1 | tr -d ' \n')" = efbbbf ] && [ "$(grep -c $'\xEF\xBB\xBF' "$1")" -eq 1 ]; }

project_marked() {
    tr -d '\r' <"$1" | awk '/^\[/{section=$0} section=="[Project]" && $0=="Deployed=1" {found=1} END{exit !found}'
}
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
root_dir_is() { [ "$(reg_value 'HKLM\Software\Parlavox\Vellumor\4.0' RootDir)" = "$1" ]; }

echo "silent-e2e: a made setup beside planted DLLs, installed and uninstalled quietly"
plant "$drive_c/Made"
"$qdmx" make-setup --record "$resources/support.txt" --dictionary "$resources/dictionary" \
    --vellumor "$payload/vellumor" --template "$template_exe" -q "$drive_c/Made/Glossary.exe"
run made.log 'C:\Made\Glossary.exe /S /D=C:\Made Target'
check "the made setup installs beside planted DLLs" test "$rc" -eq 0
# The copy's former name was the process id in the temporary folder: folders squatting on every
# such name that Wine hands out must not matter now.
(cd "$temp_dir" && seq -f 'ParlavoxUninstall-%g.exe' 4 4 16384 | xargs mkdir)
made_uninstall=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *QuietUninstallString *REG_SZ *//p' | grep -F 'C:\Made Target\')
run made-uninstall.log "$made_uninstall"
check "its quiet uninstall succeeds with the temporary folder planted and squatted" test "$rc" -eq 0
# The copy removes the original uninstaller and its folder right after the original has ended.
for _ in $(seq 50); do [ -e "$drive_c/Made Target/English-German" ] || break; sleep 0.2; done
check "the made setup's files are gone" test ! -e "$drive_c/Made Target/English-German"
private_folders=$(cd "$temp_dir" && find . -maxdepth 1 -type d -regextype posix-extended -regex './ParlavoxUninstall-[0-9a-f]{16}')
check "the copy ran in one new folder of a random name" test "$(wc -w <<<"$private_folders")" -eq 1
check "that folder holds the copy alone" test "$(cd "$temp_dir/$private_folders" 2>/dev/null && ls)" = uninstall.exe
# Wine keeps the folder's DACL as its Unix mode: only the owner may write, others have no access.
check "the folder's DACL lets no one else in" test "$(stat -c %A "$temp_dir/$private_folders" | cut -c6,8-)" = "----"
rm -rf "$temp_dir"/ParlavoxUninstall-*.exe
check "no planted DLL was loaded by the made setup or its uninstaller" no_planted_dll_loaded

apps="$drive_c/Some Folder/Apps"
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
check "the log is UTF-8 with a byte-order mark" utf8_log "$drive_c/silent.log"
check "no message box during the silent install" no_box install.log
check "Vellumor was not started" test -z "$(prefix_pids velmor.exe)"

echo "silent-e2e: links below an installation folder and in the log's path"
# Wine shows a Unix symbolic link in the prefix as a reparse point. A folder of a pre-existing
# installation folder linked elsewhere: nothing may be written there. A log whose folder is a link:
# neither the file behind it is emptied nor a new one left there.
mkdir -p "$drive_c/Pre/VL" "$drive_c/Elsewhere" "$drive_c/LogVictims"
ln -s "$drive_c/Elsewhere" "$drive_c/Pre/VL/lang"
printf 'keep me\r\n' >"$drive_c/LogVictims/important.txt"
ln -s "$drive_c/LogVictims" "$drive_c/LinkedTemp"
run linked.log 'C:\Setup\setup.exe /S /LOG=C:\linked.log /D=C:\Pre'
check "an installation through a linked folder below it exits 1" test "$rc" -eq 1
check "nothing is written through the link" test -z "$(ls -A "$drive_c/Elsewhere")"
check "the log names the link and the member not written" grep -aqF \
    'Error: The folder C:\Pre\VL\lang is a link (a junction or symbolic link) to another place: C:\Pre\VL\lang\' "$drive_c/linked.log"
run linked-log.log 'C:\Setup\setup.exe /S /LOG=C:\LinkedTemp\important.txt /D=C:\LinkLog'
check "a log through a linked folder exits 1" test "$rc" -eq 1
check "the file behind the linked folder keeps its bytes" test "$(cat "$drive_c/LogVictims/important.txt")" = $'keep me\r'
run linked-new-log.log 'C:\Setup\setup.exe /S /LOG=C:\LinkedTemp\new.txt /D=C:\LinkLog'
check "a new log through a linked folder exits 1" test "$rc" -eq 1
check "no file is left behind the linked folder" test ! -e "$drive_c/LogVictims/new.txt"
check "nothing is installed without its log" test ! -e "$drive_c/LinkLog"
rm "$drive_c/LinkedTemp"

echo "silent-e2e: /S again while Vellumor runs and two files are held (2 s, and past the retries)"
dict="$apps/English-German"
# An older, different installed engger.vlm, so that its replacement shows.
printf 'old words\r\n' >"$dict/engger.vlm"
touch -d 1990-01-01 "$dict/engger.vlm"
start_vellumor 'C:\Some Folder\Apps\VL\velmor.exe'
# Wine's Restart Manager names no program: the setup meets velmor.exe as a file in use. The holds
# count from the setup's start (its log), however long Wine takes to get there; the long one
# stands for a minute's: it outlasts the 2 s hold before it and the 5 s of retries, and ends
# with the restart.
rm -f "$drive_c/inuse.log"
hold 'C:\Some Folder\Apps\English-German\engger.vlm' 20000 'C:\inuse.log'
hold 'C:\Some Folder\Apps\English-German\engger.pvd' 2000 'C:\inuse.log'
run inuse.log 'C:\Setup\setup.exe /S /LOG=C:\inuse.log /D=C:\Some Folder\Apps'
check "exits 3010 (a restart finishes it)" test "$rc" -eq 3010
check "the 2 s hold is waited out" grep -aqE '^Waited [0-9]+ ms for C:\\Some Folder\\Apps\\English-German\\engger\.pvd \(held' "$drive_c/inuse.log"
check "and the file written" has_line "$drive_c/inuse.log" 'Written: C:\Some Folder\Apps\English-German\engger.pvd'
for f in 'English-German\engger.vlm' 'VL\velmor.exe'; do
    check "the log says $f is replaced at restart" has_line "$drive_c/inuse.log" "Replaced at restart: C:\\Some Folder\\Apps\\$f"
    check "and never that it was written" not_logged "$drive_c/inuse.log" "Written: C:\\Some Folder\\Apps\\$f"
    check "PendingFileRenameOperations lists it" pending_has "Apps\\$f"
done
check "the log has the restart message" has_line "$drive_c/inuse.log" \
    'Information: Parlavox Dictionary setup complete. Restart Windows to finish it: files that were in use are replaced then.'
check "the held file is still the old one" test "$(cat "$dict/engger.vlm")" = $'old words\r'
check "the uninstall record lists engger.vlm with the new bytes" recorded_as "$dict/uninstall.dat" \
    "$resources/dictionary/engger.vlm" 'C:\Some Folder\Apps\English-German\engger.vlm'
check "and velmor.exe" recorded_as "$dict/uninstall.dat" "$payload/vellumor/velmor.exe" 'C:\Some Folder\Apps\VL\velmor.exe'
stop_vellumor
restart_wine
check "after the restart engger.vlm has the new bytes" cmp -s "$resources/dictionary/engger.vlm" "$dict/engger.vlm"
check "and velmor.exe" cmp -s "$payload/vellumor/velmor.exe" "$apps/VL/velmor.exe"
check "no temporary file is left" test -z "$(find "$apps" -name '~qdmx*')"
check "nothing is pending" nothing_pending

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

# An archive of stored members with names that leave their folder (and a harmless first one),
# written byte by byte as a crafted download would be.
crafted_archive() {
    python3 - "$1" "$here/../data/hostile" <<'PY'
import sys
sys.path.insert(0, sys.argv[2])
from make_hostile import Member, build
names = [b"velmor.exe", b"..\\..\\planted-dotdot.txt", b"\\planted-root.txt", b"C:\\planted-drive.txt",
         b"sub\\..\\..\\..\\planted-inner.txt"]
with open(sys.argv[1], "wb") as f:
    f.write(build([Member(name, b"planted by a crafted archive\r\n") for name in names]))
PY
}
nothing_planted() { test -z "$(find "$drive_c" -name 'planted-*' -print -quit)"; }

echo "silent-e2e: a crafted NAME.vl3 beside the template"
mkdir -p "$drive_c/Crafted"
cp "$template_exe" "$drive_c/Crafted/Crafted.exe"
cp "$resources/support.txt" "$drive_c/Crafted/Crafted.vl1"
cp "$payload/dictionary.qdmx" "$drive_c/Crafted/Crafted.vl2"
crafted_archive "$drive_c/Crafted/Crafted.vl3"
run crafted.log 'C:\Crafted\Crafted.exe /S /LOG=C:\crafted.log /D=C:\Crafted Target'
check "crafted archive beside the template exits 1" test "$rc" -eq 1
check "the log names the member" grep -aqF 'Error: Damaged archive: unsafe member name "..\..\planted-dotdot.txt" in C:\Crafted\Crafted.vl3' "$drive_c/crafted.log"
check "nothing written outside" nothing_planted
check "nothing written at all" test ! -e "$drive_c/Crafted Target"

echo "silent-e2e: a made setup in a Downloads folder beside an attacker's NAME.vl3"
made=$out/made-unsigned
mkdir -p "$made" "$drive_c/Downloads"
# lh5, so that the dictionary archive can be found in it as qdmx create packs it.
"$qdmx" make-setup -q -m lh5 --record "$resources/support.txt" --dictionary "$resources/dictionary" \
    --vellumor-archive "$payload/vellumor.qdmx" --template "$template_exe" "$made/Made.exe" 2>/dev/null
cp "$made/Made.exe" "$drive_c/Downloads/Made.exe"
crafted_archive "$drive_c/Downloads/Made.vl3"
run made-crafted.log 'C:\Downloads\Made.exe /S /LOG=C:\made-crafted.log /D=C:\Downloaded'
check "an attacker's archive beside a made setup exits 1" test "$rc" -eq 1
check "the log says why" grep -aqF 'Setup damaged: C:\Downloads\Made.vl3 is not the file this setup'"'"'s publisher shipped' "$drive_c/made-crafted.log"
check "nothing written outside" nothing_planted
check "nothing installed at all" test ! -e "$drive_c/Downloaded"

echo "silent-e2e: a made setup with one byte changed inside its embedded dictionary"
mkdir -p "$drive_c/Unsigned"
"$qdmx" create -q -C "$resources/dictionary" "$made/dictionary.qdmx" .
offset=$(python3 - "$made/Made.exe" "$made/dictionary.qdmx" "$drive_c/Unsigned/Damaged.exe" <<'PY'
import sys
exe = bytearray(open(sys.argv[1], "rb").read())
at = exe.find(open(sys.argv[2], "rb").read())
if at > 0:
    exe[at + 200] ^= 0xFF
    open(sys.argv[3], "wb").write(exe)
print(at)
PY
)
check "the dictionary archive lies in the made setup as packed" test "$offset" -gt 0
run made-damaged.log 'C:\Unsigned\Damaged.exe /S /LOG=C:\made-damaged.log /D=C:\Damaged Made'
check "damaged setup exits 1" test "$rc" -eq 1
check "the log says the setup is damaged" has_line "$drive_c/made-damaged.log" 'Setup damaged: resource ARCHIVE/DICTIONARY is damaged'
check "the log has the damaged-setup message" grep -aq '^Error: The setup file is damaged' "$drive_c/made-damaged.log"
check "nothing written" test ! -e "$drive_c/Damaged Made"
check "no box for a damaged setup with /S" no_box made-damaged.log

echo "silent-e2e: usage errors"
run usage.log 'C:\Setup\setup.exe /S /BOGUS /LOG=C:\usage.log'
check "unknown option exits 2" test "$rc" -eq 2
run help.log 'C:\Setup\setup.exe -s -?'
check "/? with /S exits 2 without a box" test "$rc" -eq 2
check "no box for usage errors with /S" no_box usage.log
check "nothing installed by a usage error" test ! -e "$drive_c/Program Files/Parlavox"

echo "silent-e2e: folders that the uninstaller would refuse are refused before anything is written"
run dot.log 'C:\Setup\setup.exe /S /LOG=C:\dot.log /D=C:\Apps5.'
check "a Vellumor folder ending in a point exits 2" test "$rc" -eq 2
check "the log names it and what is wrong" has_line "$drive_c/dot.log" \
    'Error: The Vellumor folder "C:\Apps5." cannot be used: its part "Apps5." ends in a point, which Windows drops. Choose another folder.'
run blank.log 'C:\Setup\setup.exe /S /LOG=C:\blank.log "/DICT=C:\Dict5 " /D=C:\Apps6'
check "a dictionary folder ending in a blank exits 2" test "$rc" -eq 2
check "the log names it and what is wrong" has_line "$drive_c/blank.log" \
    'Error: The dictionary folder "C:\Dict5 " cannot be used: its part "Dict5 " ends in a blank, which Windows drops. Choose another folder.'
check "nothing written for either" test -z "$(find "$drive_c" -maxdepth 1 \( -iname 'Apps[56]*' -o -iname 'Dict5*' \))"
check "RootDir still names the installation before" root_dir_is 'C:\Some Folder\Apps\VL'
check "no box for a refused folder" no_box blank.log

# Files that an uninstall record may name but no uninstall may touch, and their lines: "file" with
# their true size and CRC-32 (anyone can compute them).
victims="$drive_c/Victims"
mkdir -p "$victims/Empty"
printf 'not yours\r\n' >"$victims/victim.txt"
printf 'not yours either\r\n' >"$victims/planted.txt"
printf 'a link\r\n' >"$victims/victim.lnk"
wine reg add 'HKLM\Software\Victim' /v Setting /d on /f >/dev/null 2>&1
file_line() { python3 -c 'import sys, zlib; d = open(sys.argv[1], "rb").read(); print("file\tdictionary\t%d\t%08X\t%s\r" % (len(d), zlib.crc32(d), sys.argv[2]))' "$1" "$2"; }
victims_stay() {
    test -f "$victims/victim.txt" -a -f "$victims/planted.txt" -a -f "$victims/victim.lnk" -a -d "$victims/Empty" &&
        [ "$(reg_value 'HKLM\Software\Victim' Setting)" = on ]
}

echo "silent-e2e: a second dictionary over the same Vellumor (template executable), a record planted"
mkdir -p "$out/second" "$drive_c/Second" "$out/second-vellumor"
printf '[Project]\r\nName=Legal Terms\r\n' >"$out/second/legal.vlp"
printf 'contract\tVertrag\r\n' >"$out/second/legal.vlm"
printf 'court\tGericht\r\n' >"$out/second/courts.vlm"
"$qdmx" create -m zstd -q -C "$out/second" "$drive_c/Second/Legal.vl2" .
cp "$template_exe" "$drive_c/Second/Legal.exe"
printf 'PVD4\tLegal\tEnglish-German legal terms\tParlavox Legal Team\t45000.5' >"$drive_c/Second/Legal.vl1"
# Its Vellumor archive lacks readme.txt, which the first one's has: the last uninstall must remove
# it all the same.
cp -rp "$resources/vellumor/." "$out/second-vellumor"
rm "$out/second-vellumor/readme.txt"
"$qdmx" create -m lh5 -q -C "$out/second-vellumor" "$drive_c/Second/Legal.vl3" .
check "the second Vellumor archive has no readme.txt" bash -c "! '$qdmx' list '$drive_c/Second/Legal.vl3' | grep -qi readme"
# A record that a user put into the (writable) folder before the administrator installed there,
# under the installation's own key, naming a victim and the user's own file inside the folder.
legal_dir='C:\Some Folder\Apps\Legal'
legal_key="Parlavox Legal $(python3 -c 'import sys, zlib; print("%08X" % zlib.crc32(sys.argv[1].upper().encode()))' "$legal_dir")"
mkdir -p "$apps/Legal"
printf 'my notes\r\n' >"$apps/Legal/notes.txt"
{
    printf 'Parlavox uninstall record 1\r\nkey\t%s\r\nname\tParlavox Dictionary: planted\r\n' "$legal_key"
    printf 'dictionary\t%s\r\nvellumor\tC:\\Some Folder\\Apps\\VL\r\n' "$legal_dir"
    file_line "$victims/planted.txt" 'C:\Victims\planted.txt'
    file_line "$apps/Legal/notes.txt" "$legal_dir\notes.txt"
} >"$apps/Legal/uninstall.dat"
run second.log 'C:\Second\Legal.exe /S /LOG=C:\second.log /D=C:\Some Folder\Apps'
check "second silent install exits 0" test "$rc" -eq 0
check "the planted record is not merged" has_line "$drive_c/second.log" \
    'Earlier uninstall record not used: the registry shows no earlier installation here'
check "the new record names neither victim nor the user's file" \
    bash -c "! grep -aqi 'planted.txt\|notes.txt' '$apps/Legal/uninstall.dat'"

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
NoRepair=0x1
CreatedAboveDictionary=C:\Some Folder
CreatedAboveVellumor=C:\Some Folder"
check "EstimatedSize counts the installed KB" test "$(($(reg_value "$first_key" EstimatedSize)))" -gt 100
check "the second key names its own dictionary" test "$(reg_value "$second_key" DisplayName)" = 'Parlavox Dictionary: English-German legal terms'

echo "silent-e2e: uninstalling the first dictionary, its record tampered with"
printf 'hand-made change\r\n' >>"$apps/Legal/courts.vlm"
record="$apps/English-German/uninstall.dat"
sed -i 's/^\(dictionary\|vellumor\)\t.*$/\1\tC:\\\r/' "$record"
{
    file_line "$victims/victim.txt" 'C:\Victims\victim.txt'
    file_line "$victims/victim.txt" 'C:\Some Folder\Apps\English-German\..\..\..\Victims\victim.txt'
    printf 'shortcut\tC:\\Victims\\victim.lnk\r\n'
    printf 'folder\tdictionary\tC:\\Victims\\Empty\r\nfolder\tdictionary\tC:\\\r\n'
    printf 'folder\tvellumor\tC:\\Some Folder\\Apps\\VL\\inner\\Empty\r\n'
    printf 'value\tSoftware\\Victim\tSetting\ton\r\n'
} >>"$record"
# A folder of the installation that a user turned into a link to the victims' folder.
ln -s "$victims" "$apps/VL/inner"
run uninstall1.log "$(reg_value "$first_key" QuietUninstallString) /LOG=C:\uninstall1.log"
check "the first uninstall exits 0" test "$rc" -eq 0
check "every victim is still there" victims_stay
for line in 'Skipped dictionary line: C:\ (the registry records C:\Some Folder\Apps\English-German)' \
    'Skipped vellumor line: C:\ (the registry records C:\Some Folder\Apps\VL)' \
    'Skipped file line: C:\Victims\victim.txt (outside the installation'"'"'s folders)' \
    'Skipped file line: C:\Some Folder\Apps\English-German\..\..\..\Victims\victim.txt (outside the installation'"'"'s folders)' \
    'Skipped shortcut line: C:\Victims\victim.lnk (not in the Start-menu group)' \
    'Skipped folder line: C:\Victims\Empty (not one of the installation'"'"'s folders)' \
    'Skipped folder line: C:\ (not one of the installation'"'"'s folders)' \
    'Skipped value line: HKLM\Software\Victim Setting (not a value this setup writes)' \
    'Skipped folder behind a link: C:\Some Folder\Apps\VL\inner\Empty'; do
    check "the log names: $line" has_line "$drive_c/uninstall1.log" "$line"
done
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
rm "$apps/VL/inner"

echo "silent-e2e: uninstalling the second, last dictionary while Vellumor runs"
start_vellumor 'C:\Some Folder\Apps\VL\velmor.exe'
run uninstall2.log "$(reg_value "$second_key" QuietUninstallString) /LOG=C:\uninstall.log"
check "the second uninstall exits 3010 (a restart finishes it)" test "$rc" -eq 3010
# The copy removes the original uninstaller right after the original has ended.
for _ in $(seq 50); do [ -e "$apps/Legal/uninstall.exe" ] || break; sleep 0.2; done
check "the log says velmor.exe goes at the restart" has_line "$drive_c/uninstall.log" \
    'Removed at restart: C:\Some Folder\Apps\VL\velmor.exe'
check "PendingFileRenameOperations lists it" pending_has 'Apps\VL\velmor.exe'
check "velmor.exe is there until then" test -f "$apps/VL/velmor.exe"
check "every victim is still there at the end" victims_stay
check "no uninstaller is left" test -z "$(find "$drive_c/Some Folder" -iname 'uninstall*')"
# Everything is removed or left for the restart: the entry and RootDir may go.
check "no Uninstall key is left" test -z "$(wine reg query "$uninstall_key" 2>/dev/null | grep -F 'Uninstall\Parlavox ')"
check "RootDir is gone" test -z "$(reg_value 'HKLM\Software\Parlavox\Vellumor\4.0' RootDir)"
check "the emptied Parlavox key is gone" bash -c "! wine reg query 'HKLM\Software\Parlavox' >/dev/null 2>&1"
stop_vellumor
# An elevated copy schedules nothing for a restart (its folder lies in the user's own temporary
# folder, where the path could be redirected before it): each elevated run removes the copies that
# the runs before it left, so only the last one's is there.
copies() { find "$drive_c/users" -maxdepth 6 -iname 'ParlavoxUninstall-*' | wc -l; }
check "each uninstall removed the copies the earlier ones left" test "$(copies)" -eq 1
# Restarting Wine (a new wineserver runs wineboot) carries out the deletions left for a restart.
restart_wine
left=$(cd "$drive_c/Some Folder" && find . -type f | sort | tr '\n' ' ')
check "after the restart only velmor.pvm, velmor.pvl, the changed file and the user's own are left" \
    test "$left" = "./Apps/Legal/courts.vlm ./Apps/Legal/notes.txt ./Apps/VL/velmor.pvl ./Apps/VL/velmor.pvm "
check "no empty folder is left" test -z "$(find "$drive_c/Some Folder" -type d -empty)"
check "nothing is pending" nothing_pending
check "nothing of the copies was left for a restart" test "$(copies)" -eq 1
check "the Parlavox group is gone" test ! -e "$group"
check "the uninstaller's log is UTF-8 with a byte-order mark" utf8_log "$drive_c/uninstall.log"
check "the log lists what was kept" has_line "$drive_c/uninstall.log" \
    'Kept: C:\Some Folder\Apps\Legal\courts.vlm (changed since it was installed)'

echo "silent-e2e: a setup made on Linux by qdmx make-setup (dense archives) with /S"
"$qdmx" make-setup -q --record "$resources/support.txt" --dictionary "$resources/dictionary" \
    --vellumor "$payload/vellumor" --template "$template_exe" "$drive_c/Dense.exe"
check "the made setup holds dense archives" grep -aq $'QDMX\x1aZSX' "$drive_c/Dense.exe"
run dense.log 'C:\Dense.exe /S /D=C:\Dense'
check "the made setup exits 0" test "$rc" -eq 0
check "its dictionary is installed byte for byte" same_files "$resources/dictionary" "$drive_c/Dense/English-German"
check "its Vellumor is installed byte for byte" same_files "$payload/vellumor" "$drive_c/Dense/VL"

# Every Windows user: Wine takes its ANSI code page from LANG (en_US 1252, ja_JP 932, ru_RU 1251).
# The folders are given to wine as arguments, which it hands to the program as UTF-16 whatever
# the code page; 表 and ソ have 0x5C ("\") as their second byte in code page 932.
locales="en_US.UTF-8 ja_JP.UTF-8 ru_RU.UTF-8"
unicode_folders=('C:\Каталог' 'C:\Łódź' 'C:\表示\ソフト')
# A value of the machine's registry, exported by reg in UTF-16, which no console code page can
# garble: the value NAME of the first key below HKLM\ROOT whose path contains KEY.
machine_value() {
    rm -f "$drive_c/export.reg"
    wine reg export "HKLM\\$1" 'C:\export.reg' /y >/dev/null 2>&1 || return 0
    python3 - "$drive_c/export.reg" "$2" "$3" <<'PY'
import sys
text = open(sys.argv[1], "rb").read().decode("utf-16")
key = None
for line in text.splitlines():
    if line.startswith("["):
        key = line[1:line.rindex("]")]
    elif key is not None and sys.argv[2].lower() in key.lower() and line.startswith('"%s"="' % sys.argv[3]):
        print(line.split("=", 1)[1][1:-1].replace('\\"', '"').replace("\\\\", "\\"))
        break
PY
}
make_names_setup "$out" "$template_exe" "$drive_c/Names.exe"
check "a setup with a UTF-8 record and names in three scripts is made on Linux" test -f "$drive_c/Names.exe"
for locale in $locales; do
    for folder in "${unicode_folders[@]}"; do
        echo "silent-e2e: LANG=$locale /S /D=$folder"
        wineserver -k
        LANG=$locale LC_ALL=$locale wine 'C:\Names.exe' /S "/LOG=C:\names.log" "/D=$folder" >"$out/names.out" 2>&1
        rc=$?
        target=$(unix_path "$folder")
        check "$locale: /S into $folder exits 0" test "$rc" -eq 0
        check "$locale: the exact names and bytes below $folder" same_files "$names_payload" "$target/Wörterbuch"
        check "$locale: Vellumor below $folder" same_files "$payload/vellumor" "$target/VL"
        check "$locale: RootDir is $folder\\VL" test "$(machine_value 'Software\Parlavox\Vellumor\4.0' '4.0' RootDir)" = "$folder\\VL"
        check "$locale: Apps & Features shows the record's author" \
            test "$(machine_value 'Software\Microsoft\Windows\CurrentVersion\Uninstall' 'Uninstall\Parlavox Wörterbuch' Publisher)" = 'Jürgen Groß'
        check "$locale: the log is UTF-8 with its mark and names the folder" \
            bash -c "head -c3 '$drive_c/names.log' | cmp -s - <(printf '\xef\xbb\xbf') && grep -aqF 'Written: $folder\\Wörterbuch\\日本語.txt' '$drive_c/names.log'"
        LANG=$locale LC_ALL=$locale wine "$folder\\Wörterbuch\\uninstall.exe" /S >"$out/names-uninstall.out" 2>&1
        rc=$?
        for _ in $(seq 50); do [ -e "$target/Wörterbuch" ] || break; sleep 0.2; done
        check "$locale: the uninstaller exits 0" test "$rc" -eq 0
        check "$locale: and removes $folder again but for Vellumor's user files" only_user_files_left "$target"
        check "$locale: and its Apps & Features entry" test -z "$(machine_value 'Software\Microsoft\Windows\CurrentVersion\Uninstall' 'Uninstall\Parlavox Wörterbuch' Publisher)"
    done
done

echo "silent-e2e: a Start-menu folder in a Cyrillic user profile on a 1252 machine"
wineserver -k
# The profile's Programs folder, which Windows makes with the profile, moved to a Cyrillic path.
mkdir -p "$drive_c/users/Пользователь/Start Menu/Programs"
LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' /v Programs \
    /t REG_EXPAND_SZ /d 'C:\users\Пользователь\Start Menu\Programs' /f >/dev/null 2>&1
LANG=en_US.UTF-8 wine 'C:\Names.exe' /S '/D=C:\Profile Test' >"$out/profile.out" 2>&1
rc=$?
check "the install for a Cyrillic profile exits 0" test "$rc" -eq 0
check "Vellumor.lnk is in the profile's Parlavox group" test -f "$drive_c/users/Пользователь/Start Menu/Programs/Parlavox/Vellumor.lnk"
LANG=en_US.UTF-8 wine 'C:\Profile Test\Wörterbuch\uninstall.exe' /S >"$out/profile-uninstall.out" 2>&1
rc=$?
for _ in $(seq 50); do [ -e "$drive_c/Profile Test/Wörterbuch" ] || break; sleep 0.2; done
# The group stays: the dense setup's dictionary, installed above, still uses it.
check "its uninstall exits 0" test "$rc" -eq 0
check "and removes the dictionary" test ! -e "$drive_c/Profile Test/Wörterbuch"
LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 wine reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' /v Programs /f >/dev/null 2>&1

echo "silent-e2e: a 240-character folder"
long='C:\Long'
while [ ${#long} -lt 230 ]; do long+='\Folder-of-thirty-characters--'; done
long=${long:0:240}
long=${long%\\}
LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 wine 'C:\Names.exe' /S "/D=$long" >"$out/long.out" 2>&1
rc=$?
check "a ${#long}-character folder installs" test "$rc" -eq 0
check "with every file" same_files "$names_payload" "$(unix_path "$long")/Wörterbuch"
LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 wine "$long\\Wörterbuch\\uninstall.exe" /S >"$out/long-uninstall.out" 2>&1
for _ in $(seq 50); do [ -e "$(unix_path "$long")/Wörterbuch" ] || break; sleep 0.2; done
check "and uninstalls, but for Vellumor's user files" only_user_files_left "$drive_c/Long"

echo "silent-e2e: qdmx.exe packs names in three scripts that the Linux qdmx expands byte for byte, and back"
mkdir -p "$drive_c/NamesSource"
cp -r "$names_payload/." "$drive_c/NamesSource"
LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 wine "$build/tools/qdmx/qdmx.exe" create -q -C 'C:\NamesSource' 'C:\names-win.qdmx' . \
    >"$out/qdmx-create.out" 2>&1
check "qdmx.exe create of the names exits 0 on a 932 machine" test $? -eq 0
rm -rf "$out/from-windows"
"$qdmx" extract -q -C "$out/from-windows" "$drive_c/names-win.qdmx" >/dev/null 2>&1
check "the Linux qdmx expands them byte for byte" diff -r "$names_payload" "$out/from-windows"
"$qdmx" create -q -C "$names_payload" "$drive_c/names-linux.qdmx" .
LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 wine "$build/tools/qdmx/qdmx.exe" extract -q -C 'C:\FromLinux' 'C:\names-linux.qdmx' \
    >"$out/qdmx-extract.out" 2>&1
check "qdmx.exe on a 1251 machine expands the Linux archive byte for byte" diff -r "$names_payload" "$drive_c/FromLinux"

# Last, as it changes RootDir that the runs before check.
echo "silent-e2e: the same made setup beside its publisher's own NAME.vl3, recorded at make-setup"
cp "$payload/vellumor.qdmx" "$drive_c/Downloads/Made.vl3"
run made-loose.log 'C:\Downloads\Made.exe /S /LOG=C:\made-loose.log /D=C:\Downloaded'
check "the publisher's own archive, recorded at make-setup, installs" test "$rc" -eq 0
check "its Vellumor is installed byte for byte" same_files "$payload/vellumor" "$drive_c/Downloaded/VL"
check "the log names the file" grep -aqF 'Archive VELLUMOR: C:\Downloads\Made.vl3 into C:\Downloaded\VL' "$drive_c/made-loose.log"

check "no planted DLL was loaded at any time" no_planted_dll_loaded

kill "$watch_pid" 2>/dev/null
watch_pid=
# Vellumor's own window, which the test started, is the only one allowed.
check "no window appeared at any time" test -z "$(grep -vx Vellumor "$out/windows.txt")"
grep -vx Vellumor "$out/windows.txt" | sort -u | sed 's/^/  window: /'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
