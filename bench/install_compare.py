#!/usr/bin/env python3
"""Installs the same payload with our setup, NSIS installers and a plain copy under Wine, side by side.

The payload (make_payload.py: a 60 MB dictionary of 300 text files and a Vellumor folder of 45
files) is packed once for each installer:
  ours         the template executable renamed to EngGer.exe, with EngGer.vl1 (the sample support
               record) and EngGer.vl2 / EngGer.vl3 made by `qdmx create -m lh5`; "dense" the same
               with archives made by `-m zstd`, "stored" with archives made by `-m none`;
  made         (--made) one EngGer.exe made from a template by `qdmx make-setup -m lh5`, everything
               embedded, as a publisher ships it (its start includes the check of its digests);
  NSIS         makensis (target amd64-unicode, like ours a 64-bit program), once with zlib and once
               with lzma /SOLID, doing what ours does: `File /r` of both folders into the same
               places, the same registry values, an uninstaller in the dictionary folder, the two
               shortcuts in the same Programs folder and the same Apps & Features entry;
  copy floor   the unpacked payload, placed in C:\\BenchPayload before the clock starts, copied
               into the same two folders by two `xcopy /E /I /Q /Y` processes back to back;
  empty        a Windows program that returns at once (bench/empty.c): the cost of a process.
Every run starts from a fresh copy of one booted Wine prefix whose wineserver is warmed up by a
trivial command first, so that no row pays for the prefix's start. /S rows (ours with `/S`, NSIS
with `/S /D=C:\\Program Files\\Parlavox`, the copy floor, the empty program) are timed from the
start of the `wine` process to its exit. Ours is also driven through the wizard's keys under a
private Xvfb display and timed from pressing Install (Enter on the Dictionary page) to the
completion box (Wine's msgbox trace announces it): those rows are a measurement of their own and
get no ratio against /S rows. After each run every installed file is compared with the payload
(SHA-256); a wrong or missing file fails the run. The installers run in turns (A B C, A B C, ...);
the tables show the best, the median and every run of each, and each /S row's best over the best
of NSIS zlib, NSIS lzma solid and the copy floor.

Then each of our /S installers runs once more, untimed, with PARLAVOX_SPANS=1 and
/LOG=C:\\Bench\\spans.log, and the "Span:" lines of its log are shown as a table (where the
time went). Everything goes to standard output and to DATA/install-results.txt.

    install_compare.py --qdmx QDMX --data DIR --ours LABEL=EXE [--ours ...] [--empty EXE]
        [--made LABEL=TEMPLATE ...] [--wizard-only LABEL=EXE ...] [--runs N] [--no-silent]
        [--no-spans] [--only LABEL,...] [--keep]
"""

import argparse
import datetime
import hashlib
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import threading
import time
import zlib

sys.dont_write_bytecode = True

import make_payload  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SUPPORT_RECORD = os.path.join(ROOT, "resources", "support.txt")
BASE_NAME = "EngGer"
# Where every row installs: the wizard's defaults for the sample support record.
INSTALL_BASE = "Program Files/Parlavox"
DICTIONARY_DIR = INSTALL_BASE + "/English-German"
VELLUMOR_DIR = INSTALL_BASE + "/VL"
TARGETS = {"dictionary": DICTIONARY_DIR, "vellumor": VELLUMOR_DIR}
PAYLOAD_IN_PREFIX = "BenchPayload"  # the copy floor's source, C:\BenchPayload
WIZARD_TITLE = "Parlavox Dictionary Setup - "
NSIS_METHODS = {"NSIS zlib /S": "zlib", "NSIS lzma solid /S": "/SOLID lzma"}
COPY_FLOOR = "copy floor"
EMPTY_PROGRAM = "empty program"
# The /S rows every /S row is divided by.
PEERS = ("NSIS zlib /S", "NSIS lzma solid /S", COPY_FLOOR)
# qdmx create -m METHOD -> our label's suffix, and whether the wizard is timed with it too.
OUR_METHODS = {"lh5": (" (lh5)", True), "zstd": (" dense", True), "none": (" stored", False)}
SPANS_LOG = "spans.log"  # in C:\Bench
SPAN_PREFIX = "Span: "
SPAN_NUMBER = re.compile(r"\d+(?:\.\d+)?")
WINE_ENV = {"WINEARCH": "win64", "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d"}
TIMEOUT = 300  # seconds for one installation


class BenchError(Exception):
    pass


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        while chunk := f.read(1 << 20):
            digest.update(chunk)
    return digest.hexdigest()


def read_manifest(path):
    """[(relative path, size, sha256)] of make_payload's manifest."""
    entries = []
    with open(path) as f:
        for line in f:
            if not line.startswith("#"):
                size, digest, relative = line.rstrip("\n").split("\t")
                entries.append((relative, int(size), digest))
    return entries


def manifest_is_current(path):
    if not os.path.isfile(path):
        return False
    with open(path) as f:
        return f.readline().rstrip("\n") == make_payload.PAYLOAD_MARK


def folder_digest(manifest, folder):
    """Names a folder's content, so that what was packed from an older payload is packed again."""
    lines = "".join(f"{r}\t{s}\t{d}\n" for r, s, d in manifest if r.startswith(folder + "/"))
    return hashlib.sha256(lines.encode()).hexdigest()


def parse_spans(text):
    """[(name, count, total ms, first start ms, last end ms)] of the log's "Span:" lines, in their
    order; lines of another shape are left out."""
    rows = []
    for line in text.splitlines():
        if not line.startswith(SPAN_PREFIX):
            continue
        fields = line[len(SPAN_PREFIX):].split("\t")
        if len(fields) != 5 or not fields[0] or not fields[1].isdigit():
            continue
        if not all(SPAN_NUMBER.fullmatch(f) for f in fields[2:]):
            continue
        rows.append((fields[0], int(fields[1]), *(float(f) for f in fields[2:])))
    return rows


def spans_table(label, rows):
    if not rows:
        return f"{label}: no spans in the log"
    lines = [f"{label}: spans of one untimed run (PARLAVOX_SPANS=1), ms since the process started", "",
             "| span | count | total ms | first start ms | last end ms |", "|---|---|---|---|---|"]
    lines += [f"| {n} | {c:,} | {t:.1f} | {s:.1f} | {e:.1f} |" for n, c, t, s, e in rows]
    return "\n".join(lines)


class Display:
    """A private Xvfb display for the wizard's window and the keys sent to it."""

    def __init__(self, folder):
        self.folder = folder
        display_file = os.path.join(folder, "display")
        with open(display_file, "w") as out, open(os.path.join(folder, "xvfb.log"), "w") as log:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(out.fileno()), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                pass_fds=(out.fileno(),), stderr=log)
        for _ in range(100):
            with open(display_file) as f:
                number = f.read().strip()
            if number:
                self.name = ":" + number.splitlines()[0]
                return
            time.sleep(0.1)
        raise BenchError("Xvfb did not start")

    def close(self):
        self.process.terminate()
        self.process.wait()


class Prefixes:
    """One booted Wine prefix, copied afresh for every installation."""

    def __init__(self, data, display):
        self.base = os.path.join(data, "prefix-base")
        self.run = os.path.join(data, "prefix-run")
        self.display = display
        if not os.path.isfile(os.path.join(self.base, "system.reg")):
            shutil.rmtree(self.base, ignore_errors=True)
            env = self.env(self.base)
            subprocess.run(["wineboot", "-i"], env=env, check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=env, check=True)
            # Without a window manager Wine draws the window frames itself.
            subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N",
                            "/f"], env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=env, check=True)

    def env(self, prefix, debug="-all"):
        env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG=debug, DISPLAY=self.display.name, **WINE_ENV)
        return env

    def fresh(self):
        """A new copy of the base prefix with its wineserver started; returns its path."""
        self.discard()
        subprocess.run(["cp", "-a", self.base, self.run], check=True)
        # The copy's writeback would otherwise land inside the timed run.
        subprocess.run(["sync"], check=True)
        # A wineserver left without clients exits after three seconds, and the next process then
        # pays its start and that of Wine's services (over a second): kept alive until discard(),
        # however long the preparation of a run takes.
        subprocess.run(["wineserver", "-p"], env=self.env(self.run), check=True)
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.env(self.run), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self.run

    def discard(self):
        if os.path.isdir(self.run):
            subprocess.run(["wineserver", "-k"], env=self.env(self.run), stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=self.env(self.run), stderr=subprocess.DEVNULL)
            shutil.rmtree(self.run)


def xdotool(*args, display):
    return subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=display), capture_output=True,
                          text=True)


def wait_window(pattern, display, seconds=60):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = xdotool("search", "--onlyvisible", "--name", pattern, display=display).stdout.split()
        if found:
            return found[0]
        time.sleep(0.1)
    raise BenchError(f"no window {pattern!r} within {seconds} s")


def press(window, key, display):
    xdotool("windowfocus", window, display=display)
    time.sleep(0.2)
    xdotool("key", key, display=display)


def windows_path(path):
    return "C:\\" + path.replace("/", "\\")


def timed(argv, env, log, what):
    """Runs argv from start to exit; returns its seconds, or raises on a failure."""
    # A blocking wait, with the time limit kept by a timer: subprocess.run(timeout=...) polls the
    # child with sleeps of up to 50 ms, which rounded every time up to its next poll.
    with open(log, "a") as out:
        start = time.perf_counter()
        process = subprocess.Popen(argv, env=env, stdout=out, stderr=out)
        watchdog = threading.Timer(TIMEOUT, process.kill)
        watchdog.start()
        try:
            code = process.wait()
        finally:
            watchdog.cancel()
        seconds = time.perf_counter() - start
    if seconds >= TIMEOUT:
        raise BenchError(f"{what}: {' '.join(argv[1:])} killed after {TIMEOUT} s (log {log})")
    if code != 0:
        raise BenchError(f"{what}: {' '.join(argv[1:])} exited with {code} (log {log})")
    return seconds


class Installer:
    """kind: "wizard" (ours through its pages), "silent" (ours /S), "nsis", "copy" or "empty"."""

    def __init__(self, label, kind, files, arguments=()):
        self.label, self.kind, self.files = label, kind, files  # files: [(source, name in C:\Bench)]
        self.arguments = list(arguments)
        self.times = []

    @property
    def size(self):
        return sum(os.path.getsize(source) for source, _ in self.files)

    @property
    def checked(self):
        return self.kind != "empty"

    def place(self, prefix):
        bench = os.path.join(prefix, "drive_c", "Bench")
        os.makedirs(bench, exist_ok=True)
        for source, name in self.files:
            destination = os.path.join(prefix, "drive_c", name) if self.kind == "copy" else os.path.join(bench, name)
            os.makedirs(os.path.dirname(destination), exist_ok=True)
            # The copy floor's source is the payload itself: linked, as only its reading counts.
            if self.kind == "copy":
                os.link(source, destination)
            else:
                shutil.copyfile(source, destination)
        return "C:\\Bench\\" + self.files[0][1]

    def install(self, prefixes, prefix, log):
        """Installs into the prefix; returns the seconds that count."""
        exe = self.place(prefix)
        if os.path.exists(log):
            os.remove(log)
        env = prefixes.env(prefix)
        if self.kind == "wizard":
            return self.install_by_keys(prefixes, prefix, exe, log)
        if self.kind == "copy":
            # Two processes back to back, one per folder, timed together.
            return sum(timed(["wine", "xcopy", windows_path(PAYLOAD_IN_PREFIX + "/" + folder),
                              windows_path(target), "/E", "/I", "/Q", "/Y"], env, log, self.label)
                       for folder, target in TARGETS.items())
        argv = ["wine", exe, *self.arguments]
        if self.kind == "nsis":
            argv.append("/D=" + windows_path(INSTALL_BASE))
        return timed(argv, env, log, self.label)

    def install_by_keys(self, prefixes, prefix, exe, log):
        display = prefixes.display.name
        with open(log, "w") as out:
            process = subprocess.Popen(["wine", exe, *self.arguments], env=prefixes.env(prefix, "-all,trace+msgbox"),
                                       stdout=out, stderr=out)
        try:
            window = wait_window("^" + WIZARD_TITLE + "Welcome$", display)
            press(window, "Return", display)
            window = wait_window("^" + WIZARD_TITLE + "Vellumor$", display)
            press(window, "Return", display)
            window = wait_window("^" + WIZARD_TITLE + "Dictionary$", display)
            xdotool("windowfocus", window, display=display)
            time.sleep(0.5)
            start = time.perf_counter()
            xdotool("key", "Return", display=display)
            deadline = start + TIMEOUT
            while True:
                with open(log, "rb") as f:
                    text = f.read()
                if b"MSGBOX_OnInit" in text:
                    seconds = time.perf_counter() - start
                    break
                if time.perf_counter() > deadline or process.poll() is not None:
                    raise BenchError(f"{self.label}: no completion box (log {log})")
                time.sleep(0.002)
            if b"Parlavox Dictionary setup complete." not in text:
                raise BenchError(f"{self.label}: the installation did not complete (log {log})")
            box = wait_window("^Information$", display)
            press(box, "Return", display)
            process.wait(timeout=60)
        finally:
            if process.poll() is None:
                process.kill()
        return seconds

    def spans(self, prefixes, prefix, log):
        """One /S run with the setup's span timing on; returns the log's span rows."""
        self.place(prefix)
        if os.path.exists(log):
            os.remove(log)
        env = dict(prefixes.env(prefix), PARLAVOX_SPANS="1")
        timed(["wine", "C:\\Bench\\" + self.files[0][1], *self.arguments, "/LOG=C:\\Bench\\" + SPANS_LOG], env, log,
              self.label + " (spans)")
        with open(os.path.join(prefix, "drive_c", "Bench", SPANS_LOG), "rb") as f:
            return parse_spans(f.read().decode("utf-8-sig", errors="replace"))


def check_installed(prefix, manifest):
    """A description of the first installed file that differs from the payload, or None."""
    for relative, size, digest in manifest:
        folder, name = relative.split("/", 1)
        path = os.path.join(prefix, "drive_c", TARGETS[folder], name)
        if not os.path.isfile(path):
            return f"{path} is missing"
        if os.path.getsize(path) != size or sha256_of(path) != digest:
            return f"{path} differs from the payload"
    return None


def registration_values(manifest):
    """What ours writes below its Apps & Features key for the sample support record, for NSIS to
    write the same (setup/install/Registration.cpp): (key name, [(kind, name, data)])."""
    with open(SUPPORT_RECORD, encoding="utf-8") as f:
        _, name, description, author, created = f.readline().rstrip("\r\n").split("\t")[:5]
    day = datetime.date(1899, 12, 30) + datetime.timedelta(days=int(float(created)))
    dictionary, vellumor = windows_path(DICTIONARY_DIR), windows_path(VELLUMOR_DIR)
    key = f"Parlavox {name} {zlib.crc32(dictionary.upper().encode()):08X}"
    uninstaller = f'"{dictionary}\\uninstall.exe"'
    kilobytes = (sum(size for _, size, _ in manifest) + 1023) // 1024
    return key, [("Str", "DisplayName", "Parlavox Dictionary: " + description),
                 ("Str", "DisplayVersion", f"{day:%Y.%m.%d}"), ("Str", "Publisher", author),
                 ("Str", "InstallLocation", dictionary), ("Str", "InstallDate", "$2$1$0"),
                 ("Str", "DisplayIcon", vellumor + "\\velmor.exe"), ("Str", "UninstallString", uninstaller),
                 ("Str", "QuietUninstallString", uninstaller + " /S"), ("DWORD", "NoModify", 1),
                 ("DWORD", "NoRepair", 1), ("Str", "CreatedAboveDictionary", windows_path(INSTALL_BASE)),
                 ("Str", "CreatedAboveVellumor", windows_path(INSTALL_BASE)), ("DWORD", "EstimatedSize", kilobytes)]


def nsis_string(text):
    return '"' + str(text).replace('"', '$\\"') + '"'


def nsis_script(payload, manifest, method, output):
    """The peer does what ours does: both folders, the Vellumor value, an uninstaller, the two
    shortcuts (where their targets exist) in the Programs folder ours uses (FOLDERID_Programs,
    the current user's), the Apps & Features entry and the Vellumor users' value."""
    key, values = registration_values(manifest)
    uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + key
    writes = "\n".join(f"  WriteReg{kind} HKLM {nsis_string(uninstall)} {nsis_string(name)} {nsis_string(data)}"
                       for kind, name, data in values)
    content = folder_digest(manifest, "dictionary") + folder_digest(manifest, "vellumor")
    return f"""; payload {content}
Unicode true
Target amd64-unicode
SetCompressor {method}
!include FileFunc.nsh
Name "Parlavox Dictionary"
OutFile "{output}"
InstallDir "{windows_path(INSTALL_BASE)}"
RequestExecutionLevel admin
Section
  SetOutPath "$INSTDIR\\English-German"
  File /r "{payload}/dictionary/*"
  SetOutPath "$INSTDIR\\VL"
  File /r "{payload}/vellumor/*"
  WriteRegStr HKLM "Software\\Parlavox\\Vellumor\\4.0" "RootDir" "$INSTDIR\\VL"
  WriteUninstaller "$INSTDIR\\English-German\\uninstall.exe"
  SetShellVarContext current
  CreateDirectory "$SMPROGRAMS\\Parlavox"
  IfFileExists "$INSTDIR\\VL\\velmor.exe" 0 +2
    CreateShortCut "$SMPROGRAMS\\Parlavox\\Vellumor.lnk" "$INSTDIR\\VL\\velmor.exe"
  IfFileExists "$INSTDIR\\VL\\velmor.pdf" 0 +2
    CreateShortCut "$SMPROGRAMS\\Parlavox\\Vellumor Manual.lnk" "$INSTDIR\\VL\\velmor.pdf"
  ${{GetTime}} "" "L" $0 $1 $2 $3 $4 $5 $6
{writes}
  WriteRegStr HKLM "Software\\Parlavox\\Vellumor\\4.0\\Dictionaries" "{key}" "$INSTDIR\\VL"
SectionEnd
Section "Uninstall"
  Delete "$INSTDIR\\uninstall.exe"
SectionEnd
"""


def packed(args, data, payload, manifest, method, suffix, number, folder):
    """Our archive of one folder by one method, packed again when the payload changed."""
    archive = os.path.join(data, f"{BASE_NAME}{suffix}.vl{number}")
    key = f"{method} {folder_digest(manifest, folder)}\n"
    try:
        with open(archive + ".key") as f:
            current = f.read() == key and os.path.isfile(archive)
    except FileNotFoundError:
        current = False
    if not current:
        subprocess.run([args.qdmx, "create", "-m", method, "-q", "-C", os.path.join(payload, folder),
                        archive + ".part", "."], check=True)
        os.replace(archive + ".part", archive)
        with open(archive + ".key", "w") as f:
            f.write(key)
    return archive


def build_installers(args, data, payload, manifest):
    installers = []
    # Our archives, once per method.
    archives = {}
    for method, (suffix, _) in OUR_METHODS.items():
        tag = suffix.replace(" (lh5)", "")  # lh5's files keep their old names
        for number, folder in ((2, "dictionary"), (3, "vellumor")):
            archives[(method, number)] = packed(args, data, payload, manifest, method, tag, number, folder)
    for (label, exe), silent in [(o, False) for o in args.wizard_only] + [(o, args.silent) for o in args.ours]:
        for method, (suffix, with_wizard) in OUR_METHODS.items():
            files = [(exe, BASE_NAME + ".exe"), (SUPPORT_RECORD, BASE_NAME + ".vl1"),
                     (archives[(method, 2)], BASE_NAME + ".vl2"), (archives[(method, 3)], BASE_NAME + ".vl3")]
            if with_wizard:
                installers.append(Installer(label + suffix + ", wizard", "wizard", files))
            if silent:
                installers.append(Installer(label + suffix + " /S", "silent", files, ["/S"]))
    if args.made:
        # make-setup wants the project file every dictionary has; the payload's files are linked,
        # not copied.
        staged = os.path.join(data, "made-dictionary")
        key = folder_digest(manifest, "dictionary")
        if not os.path.isfile(os.path.join(staged, key)):
            shutil.rmtree(staged, ignore_errors=True)
            shutil.rmtree(staged + ".part", ignore_errors=True)
            shutil.copytree(os.path.join(payload, "dictionary"), staged + ".part", copy_function=os.link)
            with open(os.path.join(staged + ".part", "bench.vlp"), "w") as f:
                f.write("[Project]\r\nName=Install benchmark\r\n")
            os.replace(staged + ".part", staged)
    for label, template in args.made:
        made = os.path.join(data, "made-" + label.replace(" ", "-").replace("/", "") + ".exe")
        # lh5, which templates from before the dense method can install too.
        subprocess.run([args.qdmx, "make-setup", "-q", "-m", "lh5", "--record", SUPPORT_RECORD, "--dictionary",
                        staged, "--vellumor", os.path.join(payload, "vellumor"), "--template", template, made],
                       check=True)
        files = [(made, BASE_NAME + ".exe")]
        # Its dictionary has a project file, with which the wizard would start velmor.exe at the end.
        installers.append(Installer(label + ", wizard", "wizard", files, ["/NOLAUNCH"]))
        if args.silent:
            installers.append(Installer(label + " /S", "silent", files, ["/S"]))
    for label, method in NSIS_METHODS.items():
        output = os.path.join(data, label.replace(" /S", "").replace(" ", "-") + ".exe")
        script_path = output[:-4] + ".nsi"
        script = nsis_script(payload, manifest, method, output + ".part")
        try:
            with open(script_path) as f:
                current = f.read() == script and os.path.isfile(output)
        except FileNotFoundError:
            current = False
        if not current:
            with open(script_path, "w") as f:
                f.write(script)
            subprocess.run(["makensis", "-V2", script_path], check=True)
            os.replace(output + ".part", output)
        installers.append(Installer(label, "nsis", [(output, os.path.basename(output))], ["/S"]))
    payload_files = [(os.path.join(payload, relative), PAYLOAD_IN_PREFIX + "/" + relative)
                     for relative, _, _ in manifest]
    installers.append(Installer(COPY_FLOOR, "copy", payload_files))
    if args.empty:
        installers.append(Installer(EMPTY_PROGRAM, "empty", [(args.empty, "empty.exe")]))
    if args.only:
        wanted = set(args.only.split(","))
        unknown = wanted - {i.label for i in installers}
        if unknown:
            raise BenchError("--only: no row " + ", ".join(sorted(unknown)) + " (rows: "
                             + ", ".join(i.label for i in installers) + ")")
        installers = [i for i in installers if i.label in wanted]
    return installers


def times_cells(installer):
    best, median = min(installer.times), statistics.median(installer.times)
    return f"{best:.2f} | {median:.2f} | " + " ".join(f"{t:.2f}" for t in installer.times)


def tables(installers, runs, header):
    silent = [i for i in installers if i.kind != "wizard"]
    wizard = [i for i in installers if i.kind == "wizard"]
    peers = {i.label: min(i.times) for i in silent if i.label in PEERS and i.times}
    lines = [header, ""]
    if silent:
        lines += [f"Whole processes from start to exit, best and median of {runs}, seconds:", "",
                  "| installer | best s | median s | all runs s | download bytes | "
                  + " | ".join("/ " + p.replace(" /S", "") for p in PEERS) + " |",
                  "|---|---|---|---|---|" + "---|" * len(PEERS)]
        for i in silent:
            if not i.times:
                lines.append(f"| {i.label} | failed | | | {i.size:,} |" + " |" * len(PEERS))
                continue
            ratios = [f"{min(i.times) / peers[p]:.2f}" if p in peers and p != i.label else "" for p in PEERS]
            lines.append(f"| {i.label} | {times_cells(i)} | {i.size:,} | " + " | ".join(ratios) + " |")
        lines += ["", "ratio = the row's best over the peer's best in this run (below 0.5: twice as fast); the copy"
                  " floor's download is the unpacked payload", ""]
    if wizard:
        lines += [f"The wizard, from pressing Install to the completion box (not comparable with the rows above),"
                  f" best and median of {runs}, seconds:", "",
                  "| installer | best s | median s | all runs s | download bytes |", "|---|---|---|---|---|"]
        for i in wizard:
            cells = times_cells(i) if i.times else "failed | |"
            lines.append(f"| {i.label} | {cells} | {i.size:,} |")
        lines.append("")
    return "\n".join(lines)


def parse_ours(text):
    label, sep, path = text.partition("=")
    if not sep:
        label, path = "ours", text
    if not os.path.isfile(path):
        raise argparse.ArgumentTypeError(f"{path} does not exist")
    return label, os.path.abspath(path)


def existing_file(path):
    if not os.path.isfile(path):
        raise argparse.ArgumentTypeError(f"{path} does not exist")
    return os.path.abspath(path)


def log_path(data, label):
    return os.path.join(data, label.replace(" ", "-").replace("/", "").replace(",", "").replace("(", "")
                        .replace(")", "") + ".log")


def run_once(installer, prefixes, manifest, log, action):
    """A fresh prefix, the action on it, then the check of what it installed."""
    prefix = prefixes.fresh()
    result = action(prefixes, prefix, log)
    if installer.checked:
        problem = check_installed(prefix, manifest)
        if problem:
            raise BenchError(f"{installer.label}: {problem}")
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--qdmx", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--ours", type=parse_ours, action="append", default=[],
                        help="LABEL=PATH of a template executable (repeatable): lh5, dense and stored rows")
    parser.add_argument("--made", type=parse_ours, action="append", default=[], metavar="LABEL=TEMPLATE",
                        help="a single-file setup made from this template by qdmx make-setup (repeatable)")
    parser.add_argument("--wizard-only", type=parse_ours, action="append", default=[], metavar="LABEL=EXE",
                        help="a template executable timed only through the wizard (one without /S)")
    parser.add_argument("--empty", type=existing_file, metavar="EXE",
                        help="the program that returns at once (bench/empty.c), for the empty program's row")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--no-silent", dest="silent", action="store_false", help="do not time our /S")
    parser.add_argument("--no-spans", dest="spans", action="store_false",
                        help="no untimed run of our /S installers with PARLAVOX_SPANS=1")
    parser.add_argument("--only", help="comma-separated labels to run")
    parser.add_argument("--keep", action="store_true", help="leave the last run's prefix in DATA/prefix-run")
    args = parser.parse_args()
    if args.runs < 1:
        parser.error("--runs must be at least 1")

    data = os.path.abspath(args.data)
    os.makedirs(data, exist_ok=True)
    payload = os.path.join(data, "payload")
    manifest_path = os.path.join(data, "payload.list")
    if not manifest_is_current(manifest_path):
        count, total = make_payload.build(payload, manifest_path)
        print(f"install_compare: payload of {count} files, {total} bytes", file=sys.stderr)
    manifest = read_manifest(manifest_path)
    try:
        installers = build_installers(args, data, payload, manifest)
    except BenchError as e:
        sys.exit(f"install_compare: {e}")

    display = Display(data)
    prefixes = None
    failures = []
    span_tables = []
    load_before = os.getloadavg()[0]
    try:
        prefixes = Prefixes(data, display)
        for run in range(args.runs):
            for installer in installers:
                try:
                    seconds = run_once(installer, prefixes, manifest, log_path(data, installer.label),
                                       installer.install)
                    installer.times.append(seconds)
                    print(f"  run {run + 1} {installer.label}: {seconds:.2f} s", file=sys.stderr)
                except (BenchError, subprocess.TimeoutExpired, OSError) as e:
                    failures.append(str(e))
                    print(f"*** {e}", file=sys.stderr)
        # Untimed: the setup's own account of where its time went.
        for installer in installers if args.spans else []:
            if installer.kind != "silent":
                continue
            try:
                rows = run_once(installer, prefixes, manifest, log_path(data, installer.label + " spans"),
                                installer.spans)
                span_tables.append(spans_table(installer.label, rows))
            except (BenchError, subprocess.TimeoutExpired, OSError) as e:
                failures.append(str(e))
                print(f"*** {e}", file=sys.stderr)
    finally:
        if prefixes and not args.keep:
            prefixes.discard()
        elif prefixes:
            subprocess.run(["wineserver", "-k"], env=prefixes.env(prefixes.run), stderr=subprocess.DEVNULL)
        display.close()

    wine_version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    head = (f"Install benchmark, {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC, "
            f"{platform.node()}, {os.cpu_count()} CPUs, load {load_before:.2f} before / "
            f"{os.getloadavg()[0]:.2f} after, {wine_version}, payload "
            f"{sum(size for _, size, _ in manifest):,} bytes in {len(manifest)} files")
    result = tables(installers, args.runs, head)
    if span_tables:
        result += "\n" + "\n\n".join(span_tables) + "\n"
    if failures:
        result += "\nFAILED:\n" + "\n".join(failures)
    print(result)
    with open(os.path.join(data, "install-results.txt"), "w") as f:
        f.write(result + "\n")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
