#!/usr/bin/env python3
"""Installs the same payload with our setup and with NSIS installers under Wine, side by side.

The payload (make_payload.py: a 60 MB dictionary of 300 text files and a Vellumor folder of 43
shared libraries) is packed once for each installer:
  ours        the template executable renamed to EngGer.exe, with EngGer.vl1 (the sample support
              record) and EngGer.vl2 / EngGer.vl3 made by `qdmx create -m lh5`;
  ours dense  the same with EngGer.vl2 / EngGer.vl3 made by `qdmx create -m zstd` (the dense method);
  made        (--made) one EngGer.exe made from a template by `qdmx make-setup -m lh5`, everything
              embedded, as a publisher ships it (its start includes the check of its digests);
  NSIS        makensis (target amd64-unicode, like ours a 64-bit program) with `File /r` of both
              folders into the same places and the same registry value, once with zlib and once
              with lzma /SOLID.
Every run starts from a fresh copy of one booted Wine prefix whose wineserver is warmed up by a
trivial command first, so that neither side pays for the prefix's start. Ours is driven through
the wizard's keys under a private Xvfb display and timed from pressing Install (Enter on the
Dictionary page) to the completion box (Wine's msgbox trace announces it), and as
`EngGer.exe /S` from start to exit (unless --no-silent). NSIS runs
`/S /D=C:\\Program Files\\Parlavox` from start to exit. After each run every installed file is
compared with the payload (SHA-256); a wrong or missing file fails the run. The installers run in
turns (A B C, A B C, ...), each keeps its best of --runs. The table goes to standard output and to DATA/install-results.txt.

    install_compare.py --qdmx QDMX --data DIR --ours LABEL=EXE [--ours ...]
        [--made LABEL=TEMPLATE ...] [--wizard-only LABEL=EXE ...] [--runs N] [--no-silent]
        [--only LABEL,...] [--keep]
"""

import argparse
import datetime
import hashlib
import os
import platform
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True

import make_payload  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SUPPORT_RECORD = os.path.join(ROOT, "resources", "support.txt")
BASE_NAME = "EngGer"
# Where both sides install: the wizard's defaults for the sample support record.
INSTALL_BASE = "Program Files/Parlavox"
DICTIONARY_DIR = INSTALL_BASE + "/English-German"
VELLUMOR_DIR = INSTALL_BASE + "/VL"
WIZARD_TITLE = "Parlavox Dictionary Setup - "
NSIS_METHODS = {"NSIS zlib": "zlib", "NSIS lzma solid": "/SOLID lzma"}
# qdmx create -m METHOD -> what our installer's label gets (lh5 keeps the plain label).
OUR_METHODS = {"lh5": "", "zstd": " dense"}
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


class Installer:
    def __init__(self, label, kind, files):
        self.label, self.kind, self.files = label, kind, files  # files: [(source, name in C:\Bench)]
        self.times = []

    @property
    def size(self):
        return sum(os.path.getsize(source) for source, _ in self.files)

    def place(self, prefix):
        bench = os.path.join(prefix, "drive_c", "Bench")
        os.makedirs(bench, exist_ok=True)
        for source, name in self.files:
            shutil.copyfile(source, os.path.join(bench, name))
        return "C:\\Bench\\" + self.files[0][1]

    def install(self, prefixes, prefix, log):
        """Installs into the prefix; returns the seconds that count."""
        exe = self.place(prefix)
        if self.kind == "wizard":
            return self.install_by_keys(prefixes, prefix, exe, log)
        argv = ["wine", exe, "/S"]
        if self.kind == "nsis":
            argv.append("/D=C:\\" + INSTALL_BASE.replace("/", "\\"))
        with open(log, "w") as out:
            start = time.perf_counter()
            code = subprocess.run(argv, env=prefixes.env(prefix), stdout=out, stderr=out,
                                  timeout=TIMEOUT).returncode
            seconds = time.perf_counter() - start
        if code != 0:
            raise BenchError(f"{self.label}: {exe} /S exited with {code} (log {log})")
        return seconds

    def install_by_keys(self, prefixes, prefix, exe, log):
        display = prefixes.display.name
        with open(log, "w") as out:
            process = subprocess.Popen(["wine", exe], env=prefixes.env(prefix, "-all,trace+msgbox"),
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


def check_installed(prefix, manifest):
    """A description of the first installed file that differs from the payload, or None."""
    targets = {"dictionary": DICTIONARY_DIR, "vellumor": VELLUMOR_DIR}
    for relative, size, digest in manifest:
        folder, name = relative.split("/", 1)
        path = os.path.join(prefix, "drive_c", targets[folder], name)
        if not os.path.isfile(path):
            return f"{path} is missing"
        if os.path.getsize(path) != size or sha256_of(path) != digest:
            return f"{path} differs from the payload"
    return None


def write_nsis_script(path, payload, method, output):
    install_base = "C:\\" + INSTALL_BASE.replace("/", "\\")
    script = f"""Unicode true
Target amd64-unicode
SetCompressor {method}
Name "Parlavox Dictionary"
OutFile "{output}"
InstallDir "{install_base}"
RequestExecutionLevel admin
Section
  SetOutPath "$INSTDIR\\English-German"
  File /r "{payload}/dictionary/*"
  SetOutPath "$INSTDIR\\VL"
  File /r "{payload}/vellumor/*"
  WriteRegStr HKLM "Software\\Parlavox\\Vellumor\\4.0" "RootDir" "$INSTDIR\\VL"
SectionEnd
"""
    with open(path, "w") as f:
        f.write(script)


def build_installers(args, data, payload):
    installers = []
    # Our archives, once per method: lh5 (the setup's original method) and the dense method.
    archives = {}
    for method, suffix in OUR_METHODS.items():
        for number, folder in ((2, "dictionary"), (3, "vellumor")):
            archive = os.path.join(data, f"{BASE_NAME}{suffix}.vl{number}")
            if not os.path.isfile(archive):
                subprocess.run([args.qdmx, "create", "-m", method, "-q", "-C", os.path.join(payload, folder),
                                archive + ".part", "."], check=True)
                os.replace(archive + ".part", archive)
            archives[(method, number)] = archive
    for (label, exe), silent in [(o, False) for o in args.wizard_only] + [(o, args.silent) for o in args.ours]:
        for method, suffix in OUR_METHODS.items():
            files = [(exe, BASE_NAME + ".exe"), (SUPPORT_RECORD, BASE_NAME + ".vl1"),
                     (archives[(method, 2)], BASE_NAME + ".vl2"), (archives[(method, 3)], BASE_NAME + ".vl3")]
            installers.append(Installer(label + suffix, "wizard", files))
            if silent:
                installers.append(Installer(label + suffix + " /S", "silent", files))
    if args.made:
        # make-setup wants the project file every dictionary has; the payload's files are linked,
        # not copied.
        staged = os.path.join(data, "made-dictionary")
        if not os.path.isdir(staged):
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
        installers.append(Installer(label, "wizard", files))
        if args.silent:
            installers.append(Installer(label + " /S", "silent", files))
    for label, method in NSIS_METHODS.items():
        output = os.path.join(data, label.replace(" ", "-") + ".exe")
        if not os.path.isfile(output):
            script = output[:-4] + ".nsi"
            write_nsis_script(script, payload, method, output + ".part")
            subprocess.run(["makensis", "-V2", script], check=True)
            os.replace(output + ".part", output)
        installers.append(Installer(label, "nsis", [(output, os.path.basename(output))]))
    if args.only:
        wanted = set(args.only.split(","))
        installers = [i for i in installers if i.label in wanted]
    return installers


def table(installers, runs, payload_bytes, header):
    lines = [header, "",
             f"| installer | install s (best of {runs}) | all runs s | download bytes | ours/peer time |",
             "|---|---|---|---|---|"]
    ours = [i for i in installers if i.kind != "nsis" and i.times]
    for i in installers:
        if not i.times:
            lines.append(f"| {i.label} | failed | | {i.size:,} | |")
            continue
        best = min(i.times)
        ratios = ""
        if i.kind == "nsis":
            ratios = ", ".join(f"{o.label} {min(o.times) / best:.2f}" for o in ours)
        runs_text = " ".join(f"{t:.2f}" for t in i.times)
        lines.append(f"| {i.label} | {best:.2f} | {runs_text} | {i.size:,} | {ratios} |")
    lines.append("")
    lines.append(f"payload {payload_bytes:,} bytes; ratio = our best time / the peer's (below 0.5: twice as fast)")
    return "\n".join(lines)


def parse_ours(text):
    label, sep, path = text.partition("=")
    if not sep:
        label, path = "ours", text
    if not os.path.isfile(path):
        raise argparse.ArgumentTypeError(f"{path} does not exist")
    return label, os.path.abspath(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--qdmx", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--ours", type=parse_ours, action="append", default=[],
                        help="LABEL=PATH of a template executable (repeatable)")
    parser.add_argument("--made", type=parse_ours, action="append", default=[], metavar="LABEL=TEMPLATE",
                        help="a single-file setup made from this template by qdmx make-setup (repeatable)")
    parser.add_argument("--wizard-only", type=parse_ours, action="append", default=[], metavar="LABEL=EXE",
                        help="a template executable timed only through the wizard (one without /S)")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--no-silent", dest="silent", action="store_false", help="do not time our /S")
    parser.add_argument("--only", help="comma-separated labels to run")
    parser.add_argument("--keep", action="store_true", help="leave the last run's prefix in DATA/prefix-run")
    args = parser.parse_args()

    data = os.path.abspath(args.data)
    os.makedirs(data, exist_ok=True)
    payload = os.path.join(data, "payload")
    manifest_path = os.path.join(data, "payload.list")
    if not os.path.isfile(manifest_path):
        count, total = make_payload.build(payload, manifest_path)
        print(f"install_compare: payload of {count} files, {total} bytes")
    manifest = read_manifest(manifest_path)
    installers = build_installers(args, data, payload)

    display = Display(data)
    prefixes = None
    failures = []
    load_before = os.getloadavg()[0]
    try:
        prefixes = Prefixes(data, display)
        for run in range(args.runs):
            for installer in installers:
                prefix = prefixes.fresh()
                log = os.path.join(data, installer.label.replace(" ", "-").replace("/", "") + ".log")
                try:
                    seconds = installer.install(prefixes, prefix, log)
                    problem = check_installed(prefix, manifest)
                    if problem:
                        raise BenchError(f"{installer.label}: {problem}")
                    installer.times.append(seconds)
                    print(f"  run {run + 1} {installer.label}: {seconds:.2f} s", file=sys.stderr)
                except (BenchError, subprocess.TimeoutExpired) as e:
                    failures.append(str(e))
                    print(f"*** {e}", file=sys.stderr)
    finally:
        if prefixes and not args.keep:
            prefixes.discard()
        elif prefixes:
            subprocess.run(["wineserver", "-k"], env=prefixes.env(prefixes.run), stderr=subprocess.DEVNULL)
        display.close()

    head = (f"Install benchmark, {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC, "
            f"{platform.node()}, {os.cpu_count()} CPUs, load {load_before:.2f} before / "
            f"{os.getloadavg()[0]:.2f} after, {subprocess.run(['wine', '--version'], capture_output=True, text=True).stdout.strip()}")
    result = table(installers, args.runs, sum(size for _, size, _ in manifest), head)
    if failures:
        result += "\n\nFAILED:\n" + "\n".join(failures)
    print(result)
    with open(os.path.join(data, "install-results.txt"), "w") as f:
        f.write(result + "\n")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
