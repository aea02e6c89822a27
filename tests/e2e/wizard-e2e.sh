#!/usr/bin/env bash
# End-to-end run of the setup wizard: a fresh Wine prefix under a private Xvfb display, the wizard
# driven by keys through xdotool, a screenshot of every page and box, and checks of what the
# installation left behind (files with the archives' bytes and dates, registry value, shortcut,
# project mark, Vellumor started). Message box texts are read from Wine's msgbox trace.
#
# Usage: wizard-e2e.sh WINDOWS_BUILD_DIR [OUT_DIR]
#   OUT_DIR (default WINDOWS_BUILD_DIR/e2e) receives the prefix, the logs and screenshots/*.png.
#   PARLAVOX_WALKTHROUGH=1 (scripts/run without a display) stops after the pages and boxes a
#   newcomer looks at; the rounds after them (a killed reinstall, code pages) are for the tests.
set -uo pipefail

build=$(cd "$1" && pwd)
# Absolute, since Wine needs an absolute WINEPREFIX and the script changes no folder.
out=$(realpath -m "${2:-$build/e2e}")
here=$(cd "$(dirname "$0")" && pwd)
resources=$here/../../resources
source "$here/install-checks.sh"
setup_exe=$build/setup/win32/setup.exe
template_exe=$build/setup/win32/setup-template.exe
payload=$build/setup/win32/payload
velmor_exe=$build/tools/velmor/velmor.exe
qdmx=$(build_machine_qdmx "$build")
qdmx_exe=$build/tools/qdmx/qdmx.exe


for f in "$setup_exe" "$template_exe" "$payload/dictionary.qdmx" "$payload/vellumor.qdmx" "$velmor_exe" "$qdmx" \
    "$qdmx_exe"; do
    [ -e "$f" ] || { echo "e2e: missing $f (build the Windows preset first)" >&2; exit 2; }
done

rm -rf "$out"
shots=$out/screenshots
mkdir -p "$shots"

export WINEPREFIX=$out/wineprefix
export WINEARCH=win64
export WINEDEBUG=-all,trace+msgbox
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
drive_c=$WINEPREFIX/drive_c

xvfb_pid=
cleanup() {
    wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and writes it to the file.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" 2>"$out/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.1; done
[ -s "$out/display" ] || { echo "e2e: Xvfb did not start" >&2; exit 2; }
export DISPLAY=:$(head -1 "$out/display")

echo "e2e: a fresh Wine prefix on display $DISPLAY"
"$here/../support/fresh-wine-prefix.sh" "$build/wine-template" "$WINEPREFIX" || exit 2
# Without a window manager Wine draws the window frames itself, so the captions show.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# Waits for a window whose title matches the pattern; prints its id.
wait_window() {
    local pattern=$1 seconds=${2:-30} id
    for _ in $(seq $((seconds * 5))); do
        id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.2
    done
    return 1
}
# Waits until no visible window matches the pattern.
wait_no_window() {
    local pattern=$1 seconds=${2:-30}
    for _ in $(seq $((seconds * 5))); do
        xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    return 1
}
# Waits for a background process to end.
wait_process() {
    local pid=$1 seconds=${2:-30}
    for _ in $(seq $((seconds * 5))); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.2
    done
    return 1
}
shot() { sleep 0.5; import -window root "$shots/$1.png"; }
window_width() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p'; }
keys() {
    local window=$1
    shift
    xdotool windowfocus "$window" 2>/dev/null
    sleep 0.2
    xdotool key --delay 80 "$@"
}
# Waits for a window as a check of its own; its id is left in win.
win=
expect_window() {
    local what=$1 pattern=$2
    if win=$(wait_window "$pattern"); then
        ok "$what"
    else
        not_ok "$what (no window \"$pattern\")"
        win=none
    fi
}
saw_message() { grep -aqF "MSGBOX_OnInit L\"$2\"" "$1"; }
no_message_like() { ! grep -aq "MSGBOX_OnInit.*$2" "$1"; }
# A whole line of a log, which begins with UTF-8's byte-order mark.
has_line() { tr -d '\r' <"$1" | sed '1s/^\xEF\xBB\xBF//' | grep -qxF -- "$2"; }

project_marked() {
    tr -d '\r' <"$1" | awk '/^\[/{section=$0} section=="[Project]" && $0=="Deployed=1" {found=1} END{exit !found}' &&
        grep -q '^Name=English-German Software Terminology' "$1"
}
root_dir_is() {
    wine reg query 'HKLM\Software\Parlavox\Vellumor\4.0' /v RootDir 2>/dev/null | tr -d '\r' |
        grep -qE "RootDir +REG_SZ +$(sed 's/\\/\\\\/g' <<<"$1")\$"
}
close_vellumor() { wine taskkill /im velmor.exe >/dev/null 2>&1; wait_no_window '^Vellumor$' 10; }
# A scenario that went wrong must not leave a wizard behind that takes the next one's keys.
end_scenario() {
    wine taskkill /f /im setup.exe /im EngGer.exe /im Lonely.exe /im velmor.exe >/dev/null 2>&1
    wait_no_window '.' 10
}

default_base="$drive_c/Program Files/Parlavox"

echo "e2e: happy path with the defaults (setup.exe: Enter, Enter, Enter, OK)"
mkdir -p "$drive_c/Setup"
cp "$setup_exe" "$drive_c/Setup/setup.exe"
wine 'C:\Setup\setup.exe' >"$out/happy.log" 2>&1 &
setup_pid=$!
expect_window "wizard opens on the Welcome page" '^Parlavox Dictionary Setup - Welcome$'
w=$win
shot 01-welcome
width_at_100=$(window_width "$w")
keys "$w" Return
expect_window "Enter leads to the Vellumor page" '^Parlavox Dictionary Setup - Vellumor$'
w=$win
shot 02-vellumor-page
keys "$w" Return
expect_window "Enter leads to the Dictionary page" '^Parlavox Dictionary Setup - Dictionary$'
w=$win
shot 03-dictionary-page
keys "$w" Return
expect_window "Install ends with an information box" '^Information$'
w=$win
shot 04-setup-complete
keys "$w" Return
expect_window "Vellumor starts after the wizard closed" '^Vellumor$'
w=$win
shot 05-vellumor-opened
check "setup.exe ended" wait_process "$setup_pid"
check "message: Parlavox Dictionary setup complete." saw_message "$out/happy.log" "Parlavox Dictionary setup complete."
check "dictionary files have the archive's bytes" same_files "$resources/dictionary" "$default_base/English-German"
check "Vellumor files have the archive's bytes" same_files "$resources/vellumor" "$default_base/VL"
check "velmor.exe is the built stand-in" cmp -s "$velmor_exe" "$default_base/VL/velmor.exe"
check "dictionary files carry the stored dates" stored_dates "$payload/dictionary.qdmx" "$default_base/English-German"
check "Vellumor files carry the stored dates" stored_dates "$payload/vellumor.qdmx" "$default_base/VL"
check "project file has Deployed=1 in [Project]" project_marked "$default_base/English-German/engger.vlp"
check "registry RootDir holds the Vellumor directory" root_dir_is 'C:\Program Files\Parlavox\VL'
group=$(programs_group)
check "Vellumor.lnk is in the Programs folder's Parlavox group" test -f "$group/Vellumor.lnk"
check "no Vellumor Manual.lnk (no velmor.pdf shipped)" test ! -e "$group/Vellumor Manual.lnk"
close_vellumor
end_scenario

echo "e2e: installing again, while Vellumor runs, asks about the marked project file and about velmor.exe"
printf 'MyOwnWord\r\n' >>"$default_base/VL/velmor.pvl"
cp "$default_base/VL/velmor.pvl" "$out/velmor.pvl.before"
cp "$default_base/English-German/engger.vlp" "$out/engger.vlp.before"
wine 'C:\Program Files\Parlavox\VL\velmor.exe' >/dev/null 2>&1 &
wait_window '^Vellumor$' 15 >/dev/null
wine 'C:\Setup\setup.exe' '/LOG=C:\again-run.log' >"$out/again.log" 2>&1 &
setup_pid=$!
expect_window "second run opens" '^Parlavox Dictionary Setup - Welcome$'
keys "$win" Return Return Return
expect_window "the marked project file is newer than its member: a question" '^Confirm$'
shot 06-again-newer-project-file
keys "$win" alt+n
# Wine's Restart Manager names no program, so no question before the files: velmor.exe, still
# running, is tried for 5 s and then named in a box.
expect_window "velmor.exe in use: a box" '^Error$'
shot 06b-again-file-in-use
check "the box names velmor.exe" grep -aqF 'VL\\velmor.exe is in use by another program.' "$out/again.log"
close_vellumor
keys "$win" alt+t
expect_window "after Try Again the second install completes" '^Information$'
keys "$win" Return
check "second setup.exe ended" wait_process "$setup_pid"
check "message: the newer-file question about the project file" saw_message "$out/again.log" \
    'The current C:\\Program Files\\Parlavox\\English-German\\engger.vlp is newer than the file to be installed!\nOverwrite the current file?'
check "no other newer-file question on the second run" test "$(grep -ac 'newer than the file' "$out/again.log")" -eq 1
check "message: complete on the second run" saw_message "$out/again.log" "Parlavox Dictionary setup complete."
check "No kept the marked project file" cmp -s "$out/engger.vlp.before" "$default_base/English-German/engger.vlp"
check "velmor.pvl stays as the user left it" cmp -s "$out/velmor.pvl.before" "$default_base/VL/velmor.pvl"
check "the other files were replaced without a question" same_files "$resources/dictionary" "$default_base/English-German"
check "Try Again replaced velmor.exe" has_line "$drive_c/again-run.log" 'Written: C:\Program Files\Parlavox\VL\velmor.exe'
check "after the answer Retry" has_line "$drive_c/again-run.log" 'Answer: Retry'
check "so no restart is needed" has_line "$drive_c/again-run.log" 'Information: Parlavox Dictionary setup complete.'

wait_window '^Vellumor$' 15 >/dev/null && close_vellumor
end_scenario

echo "e2e: template executable with NAME.vl1 to NAME.vl3, Vellumor directory typed into the chooser"
mkdir -p "$drive_c/Publisher"
cp "$template_exe" "$drive_c/Publisher/EngGer.exe"
cp "$resources/support.txt" "$drive_c/Publisher/EngGer.vl1"
# Archives of the dense method, made on Linux.
"$qdmx" create -m zstd -q -C "$resources/dictionary" "$drive_c/Publisher/EngGer.vl2" .
"$qdmx" create -m zstd -q -C "$payload/vellumor" "$drive_c/Publisher/EngGer.vl3" .
wine 'C:\Publisher\EngGer.exe' '/LOG=C:\template-run.log' >"$out/template.log" 2>&1 &
setup_pid=$!
expect_window "template opens on the Welcome page" '^Parlavox Dictionary Setup - Welcome$'
w=$win
shot 07-template-welcome
keys "$w" alt+n
expect_window "Next leads to the Vellumor page" '^Parlavox Dictionary Setup - Vellumor$'
w=$win
keys "$w" alt+b
expect_window "Browse opens the directory chooser" '^Browse for Folder$'
b=$win
shot 08-chooser
keys "$b" Tab Home shift+End
xdotool type --delay 30 'C:\Tools\Parlavox'
shot 09-chooser-typed
keys "$b" Return
check "chooser closed" wait_no_window '^Browse for Folder$'
shot 10-template-vellumor-page
keys "$w" alt+n
expect_window "Next leads to the Dictionary page" '^Parlavox Dictionary Setup - Dictionary$'
w=$win
shot 11-template-dictionary-page
keys "$w" alt+i
expect_window "template install ends with an information box" '^Information$'
w=$win
shot 12-template-complete
keys "$w" Return
# The elevated setup starts Vellumor only through the desktop's shell. Under Wine that route fails
# once the folder chooser has run in the process; the setup then starts nothing and logs it.
check "template ended" wait_process "$setup_pid"
if grep -aq "^Not started: the desktop's shell could not start" "$drive_c/template-run.log"; then
    echo "# Wine's desktop shell did not start Vellumor after the folder chooser; nothing was started"
    check "nothing started when the desktop's shell cannot (template)" wait_no_window '^Vellumor$' 2
else
    expect_window "Vellumor starts on the template's project" '^Vellumor$'
    w=$win
    shot 13-template-vellumor-opened
fi
tools_base="$drive_c/Tools/Parlavox"
check "message: complete (template)" saw_message "$out/template.log" "Parlavox Dictionary setup complete."
check "typed directory: dictionary files below it" same_files "$resources/dictionary" "$tools_base/English-German"
check "typed directory: Vellumor files in its VL folder" same_files "$resources/vellumor" "$tools_base/VL"
check "typed directory: stored dates" stored_dates "$payload/vellumor.qdmx" "$tools_base/VL"
check "template: project file marked" project_marked "$tools_base/English-German/engger.vlp"
check "template: registry RootDir follows the typed directory" root_dir_is 'C:\Tools\Parlavox\VL'
close_vellumor
end_scenario

echo "e2e: a setup made by qdmx make-setup for another dictionary, signed, verified and installed"
made=$out/made
mkdir -p "$made/dict/Grammar/Tables" "$made/dict/Sounds"
printf 'x\tFrench Cuisine\tKitchen words, French-English\tTest Kitchen\t45300.75' >"$made/record.txt"
printf '[Project]\r\nName=French Cuisine\r\n' >"$made/dict/cuisine.vlp"
printf 'sauce\tSoße\r\n' >"$made/dict/Grammar/Tables/nouns.txt"
printf 'mijoter\tköcheln\r\n' >"$made/dict/Grammar/verbs.txt"
head -c 3000000 /dev/urandom >"$made/dict/Sounds/words.snd"
"$qdmx" create -m zstd -q -C "$made/dict" "$made/dict.qdmx" . # make-setup's default method
check "make-setup on Linux" "$qdmx" make-setup -q --record "$made/record.txt" --dictionary "$made/dict" \
    --vellumor "$payload/vellumor" --template "$template_exe" "$made/Cuisine.exe"
# Compared with lh5, whose compressor is the same code in both: the Windows programs' zstd may be a
# newer release than the Linux qdmx's, and compress executables to other (equally valid) bytes.
"$qdmx" make-setup -q -m lh5 --record "$made/record.txt" --dictionary "$made/dict" \
    --vellumor "$payload/vellumor" --template "$template_exe" "$made/CuisineLh5.exe"
check "make-setup with qdmx.exe under Wine" wine "$qdmx_exe" make-setup -q -m lh5 \
    --record "$(winepath -w "$made/record.txt")" --dictionary "$(winepath -w "$made/dict")" \
    --vellumor "$(winepath -w "$payload/vellumor")" --template "$(winepath -w "$template_exe")" \
    "$(winepath -w "$made/CuisineWine.exe")"
check "qdmx.exe makes the same setup as qdmx" cmp "$made/CuisineLh5.exe" "$made/CuisineWine.exe"
# A throw-away certificate signs the uninstaller and the made setup as a publisher's would.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Test Kitchen" -keyout "$made/key.pem" \
    -out "$made/cert.pem" >"$made/openssl.log" 2>&1
check "make-setup signs the uninstaller with the publisher's command" "$qdmx" make-setup -q \
    --record "$made/record.txt" --dictionary "$made/dict" --vellumor "$payload/vellumor" \
    --template "$template_exe" "$made/Cuisine.exe" --signing-ca "$made/cert.pem" \
    --sign-uninstaller "osslsigncode sign -certs $made/cert.pem -key $made/key.pem -n Uninstall -in {in} -out {out}"
wrestool -x --raw --type=ARCHIVE --name=DICTIONARY "$made/Cuisine.exe" >"$made/wrestool-dictionary.qdmx"
check "wrestool finds the dictionary archive that qdmx create packs" cmp "$made/dict.qdmx" "$made/wrestool-dictionary.qdmx"
check "wrestool lists the main icon" grep -q "^--type=14 " <(wrestool -l "$made/Cuisine.exe")
check "osslsigncode signs the made setup" osslsigncode sign -certs "$made/cert.pem" -key "$made/key.pem" \
    -n "French Cuisine" -in "$made/Cuisine.exe" -out "$made/Cuisine-signed.exe" >"$made/sign.log" 2>&1
check "the signature verifies" osslsigncode verify -CAfile "$made/cert.pem" "$made/Cuisine-signed.exe" >"$made/verify.log" 2>&1
mkdir -p "$drive_c/Kitchen"
cp "$made/Cuisine-signed.exe" "$drive_c/Kitchen/Cuisine.exe"
wine 'C:\Kitchen\Cuisine.exe' >"$out/made.log" 2>&1 &
setup_pid=$!
expect_window "the signed setup opens on the Welcome page" '^Parlavox Dictionary Setup - Welcome$'
shot 16-made-welcome
keys "$win" Return Return Return
expect_window "the signed setup completes" '^Information$'
keys "$win" Return
wait_window '^Vellumor$' 15 >/dev/null && close_vellumor
check "signed setup ended" wait_process "$setup_pid"
cuisine="$default_base/French Cuisine"
check "message: complete (made setup)" saw_message "$out/made.log" "Parlavox Dictionary setup complete."
check "made setup: the dictionary's files, folders included" same_files "$made/dict" "$cuisine"
check "made setup: stored dates" stored_dates "$made/dict.qdmx" "$cuisine"
check "made setup: its project file marked" grep -q '^Deployed=1' "$cuisine/cuisine.vlp"
check "made setup: the installed uninstaller's signature verifies" \
    osslsigncode verify -CAfile "$made/cert.pem" "$cuisine/uninstall.exe" >"$made/verify-uninstall.log" 2>&1
end_scenario

echo "e2e: a made setup with one byte changed inside its embedded dictionary"
python3 - "$made/Cuisine.exe" "$made/dict.qdmx" "$drive_c/Kitchen/Damaged.exe" <<'PY'
import sys
exe = bytearray(open(sys.argv[1], "rb").read())
at = exe.find(open(sys.argv[2], "rb").read())
assert at > 0
exe[at + 1000] ^= 0xFF
open(sys.argv[3], "wb").write(exe)
PY
wine 'C:\Kitchen\Damaged.exe' >"$out/damaged-setup.log" 2>&1 &
setup_pid=$!
expect_window "the damaged setup shows an error box" '^Error$'
w=$win
shot 17-damaged-setup
check "message: the setup file is damaged" grep -aqF 'MSGBOX_OnInit L"The setup file is damaged' "$out/damaged-setup.log"
check "no wizard page was shown" wait_no_window '^Parlavox Dictionary Setup' 1
keys "$w" Return
check "the damaged setup ends after OK" wait_process "$setup_pid" 20
end_scenario

echo "e2e: template without NAME.vl1"
mkdir -p "$drive_c/Lonely"
cp "$template_exe" "$drive_c/Lonely/Lonely.exe"
wine 'C:\Lonely\Lonely.exe' >"$out/lonely.log" 2>&1 &
setup_pid=$!
expect_window "missing record shows an error box" '^Error$'
w=$win
shot 14-template-missing-vl1
check 'message: C:\Lonely\Lonely.vl1 file is missing!' saw_message "$out/lonely.log" 'C:\\Lonely\\Lonely.vl1 file is missing!'
check "no wizard page was shown" wait_no_window '^Parlavox Dictionary Setup' 1
keys "$w" Return
check "the program ends after OK" wait_process "$setup_pid" 20
end_scenario

echo "e2e: at 150 % scaling the wizard grows with its text; Escape ends it without a question"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wine 'C:\Setup\setup.exe' >"$out/escape.log" 2>&1 &
setup_pid=$!
expect_window "wizard opens again" '^Parlavox Dictionary Setup - Welcome$'
w=$win
shot 15-welcome-150-percent
check "the window is half as wide again as at 100 %" test "$(window_width "$w")" -ge $((${width_at_100:-99999} * 14 / 10))
keys "$w" Escape
check "Escape ends the program" wait_process "$setup_pid" 20
check "no message box on Escape" no_message_like "$out/escape.log" "."
wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1

echo "e2e: the project file's path taken by a folder: the install fails on it, the project mark's error stays until OK"
project_dir="$default_base/English-German/engger.vlp"
rm -f "$project_dir"
mkdir -p "$project_dir"
wine 'C:\Setup\setup.exe' >"$out/unwritable.log" 2>&1 &
setup_pid=$!
expect_window "wizard opens once more" '^Parlavox Dictionary Setup - Welcome$'
keys "$win" Return Return Return
# A member that cannot be written is never taken for written: the installation fails.
expect_window "the install fails on the project file" '^Error$'
keys "$win" Return
check "message: setup failed" saw_message "$out/unwritable.log" 'Parlavox Dictionary setup failed!'
expect_window "the project mark's error is shown" '^Parlavox Dictionary Setup$'
w=$win
sleep 1
shot 15-unable-to-write-project
check "the error box is still open a second later" eval "wait_window '^Parlavox Dictionary Setup\$' 1 >/dev/null"
check "message: Unable to write to the project file" saw_message "$out/unwritable.log" \
    'Unable to write to C:\\Program Files\\Parlavox\\English-German\\engger.vlp'
keys "$w" Return
check "setup.exe ends after OK" wait_process "$setup_pid" 20
check "Vellumor is not started after the failed mark" wait_no_window '^Vellumor$' 2
end_scenario

finish() {
    echo "e2e: screenshots in $shots"
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}
[ "${PARLAVOX_WALKTHROUGH:-0}" = 1 ] && finish

# Installing over an earlier installation when the install does not finish: version 1 of a
# payload of three members of 4 MB each (NAME.vl1 and NAME.vl2 beside the template executable),
# then version 2 killed in the middle of a member, CRASH_KILLS times (default 3) at different
# members; every installed file must then be its version 1 or its version 2, and a complete run
# must leave version 2 everywhere.
echo "e2e: reinstalling a template's payload, killed in the middle of a member"
crash_dir="$drive_c/Crash"
crash_target="$default_base/Crash-Test"
crash_names="first.vlm second.vlm third.vlm"
mkdir -p "$crash_dir"
cp "$template_exe" "$crash_dir/Crash.exe"
sed 's/English-German\t/Crash-Test\t/' "$resources/support.txt" >"$crash_dir/Crash.vl1"
for version in 1 2; do
    mkdir -p "$out/crash-v$version"
    for name in $crash_names; do
        { echo "version $version of $name"; base64 -w 100 /dev/urandom | head -c 4000000; } >"$out/crash-v$version/$name"
        touch -d "202$version-01-01 12:00:00" "$out/crash-v$version/$name"
    done
    # LZH expands more slowly than lh5: a member stays in flight long enough to be killed in.
    "$qdmx" create -q -m lzh -C "$out/crash-v$version" "$out/crash-v$version.qdmx" .
done
# 1 or 2 for each member, the version it holds ("torn" for anything else).
crash_versions() {
    local name
    for name in $crash_names; do
        if cmp -s "$crash_target/$name" "$out/crash-v1/$name"; then printf '1 '
        elif cmp -s "$crash_target/$name" "$out/crash-v2/$name"; then printf '2 '
        else printf 'torn '; fi
    done
}
# Runs Crash.exe through its pages and Install; with a member number k it kills the process once
# k temporary files have appeared in turn, else it answers the closing box.
crash_install() {
    local kill_in=${1:-0} before found=0 seen="" file
    before=$(printf '%s ' "$crash_target"/~qdmx*.tmp)
    wine 'C:\Crash\Crash.exe' >>"$out/crash.log" 2>&1 &
    setup_pid=$!
    win=$(wait_window '^Parlavox Dictionary Setup - Welcome$') || return 1
    keys "$win" Return Return Return
    if [ "$kill_in" -eq 0 ]; then
        win=$(wait_window '^Information$') || return 1
        keys "$win" Return
        wait_process "$setup_pid"
        return
    fi
    local deadline=$((SECONDS + 30))
    while [ "$found" -lt "$kill_in" ] && [ "$SECONDS" -lt "$deadline" ] && kill -0 "$setup_pid" 2>/dev/null; do
        for file in "$crash_target"/~qdmx*.tmp; do
            [[ -s $file && $before != *"$file "* && $seen != *"$file "* ]] || continue
            seen="$seen$file "
            found=$((found + 1))
        done
    done
    prefix_pids 'Crash\.exe' | xargs -r kill -KILL
    wait "$setup_pid" 2>/dev/null
    wait_no_window '^Parlavox Dictionary Setup' 10
}
cp "$out/crash-v1.qdmx" "$crash_dir/Crash.vl2"
check "version 1 installs" crash_install
check "version 1 is installed" test "$(crash_versions)" = "1 1 1 "
cp "$out/crash-v2.qdmx" "$crash_dir/Crash.vl2"
for ((k = 1; k <= ${CRASH_KILLS:-3}; k++)); do
    crash_install $(((k - 1) % 3 + 1))
    echo "# kill $k (in member $(((k - 1) % 3 + 1))): versions $(crash_versions)- temporary files: $(find "$crash_target" -name '~qdmx*.tmp' | wc -l)"
    check "kill $k: every installed file is its version 1 or its version 2" test "$(crash_versions | grep -c torn)" -eq 0
done
check "a complete run after the kills succeeds" crash_install
check "and leaves version 2 everywhere" test "$(crash_versions)" = "2 2 2 "
end_scenario

echo "e2e: the wizard in three code pages, into folders in three scripts, a UTF-8 support record"
make_names_setup "$out" "$template_exe" "$drive_c/Setup/Names.exe"
wizard_folders=('C:\Łódź' 'C:\表示\ソフト' 'C:\Каталог')
round=0
for locale in en_US.UTF-8 ja_JP.UTF-8 ru_RU.UTF-8; do
    folder=${wizard_folders[$round]}
    round=$((round + 1))
    target=$(unix_path "$folder")
    wineserver -k
    LANG=$locale LC_ALL=$locale wine 'C:\Setup\Names.exe' "/D=$folder" >"$out/names-$round.log" 2>&1 &
    setup_pid=$!
    expect_window "$locale: the wizard opens" '^Parlavox Dictionary Setup - Welcome$'
    shot "2$round-welcome-utf8-record-$locale"
    keys "$win" Return Return Return
    expect_window "$locale: Install into $folder ends with the information box" '^Information$'
    keys "$win" Return
    check "$locale: the wizard ended" wait_process "$setup_pid"
    check "$locale: message: complete" saw_message "$out/names-$round.log" "Parlavox Dictionary setup complete."
    check "$locale: the exact names and bytes below $folder" same_files "$names_payload" "$target/Wörterbuch"
    wait_window '^Vellumor$' 15 >/dev/null && close_vellumor
    LANG=$locale LC_ALL=$locale wine "$folder\\Wörterbuch\\uninstall.exe" /S >"$out/names-uninstall-$round.log" 2>&1
    for _ in $(seq 50); do [ -e "$target/Wörterbuch" ] || break; sleep 0.2; done
    check "$locale: the uninstaller removes $folder again but for Vellumor's user files" only_user_files_left "$target"
    end_scenario
done

finish
