#!/usr/bin/env python3
"""Side-by-side comparison of qdmx with peer LHA tools and gzip on two corpora of this machine.

For each corpus (text, binary) it builds the corpus, has jlha write an lh5 archive of it and takes
the raw member stream out of that archive for `qdmx decode`. Then, on the same files:
  - LH5 expansion: qdmx decode -m lh5 against lhasa -pq, 7z x -so and bsdtar -xOf;
  - LH1 expansion: qdmx decode -m lzh against lhasa -pq on our LZH stream in a level-0 archive;
  - LH5 compression: qdmx encode -m lh5 against jlha (lh5) and gzip -6.
Every command's output is first checked against the original (a mismatch is reported and that
command is not timed); then all commands of a comparison are timed in turns, best of --runs.
A qdmx method that this build lacks is shown as n/a. The table goes to standard output and to
DATA/results.txt. Exit status 1 when any output was wrong or a command failed.

    compare.py --qdmx PATH --data DIR [--runs N] [--size BYTES] [--sections lh5-expand,lh1-expand,lh5-compress]
"""

import argparse
import datetime
import os
import platform
import subprocess
import sys

sys.dont_write_bytecode = True  # keep the source tree free of __pycache__

import lha_extract  # noqa: E402
import lha_wrap  # noqa: E402
import make_corpus  # noqa: E402
import timing  # noqa: E402

CORPORA = ("text", "binary")
# Our speed divided by the peer's must reach these.
GOALS = {("lh5-expand", "bsdtar"): 1.25, ("lh5-expand", "7z"): 1.7, ("lh5-expand", "lhasa"): 3.5,
         ("lh5-compress", "jlha"): 2.0}
SECTION_TITLES = {
    "lh5-expand": "LH5 expansion: jlha's -lh5- archive (qdmx: its raw member stream)",
    "lh1-expand": "LH1 expansion: our LZH stream (lhasa: in a level-0 -lh1- archive)",
    "lh5-compress": "LH5 compression (qdmx: raw stream; jlha: .lzh archive; gzip -6: .gz)",
}


class Row:
    def __init__(self, section, corpus, tool, argv, size):
        self.section, self.corpus, self.tool, self.argv, self.size = section, corpus, tool, argv, size
        self.wall = self.cpu = None
        self.output_bytes = None
        self.problem = None  # text shown instead of figures
        self.failed = False  # a wrong output or a failing command

    @property
    def mbps(self):
        return self.size / 1e6 / self.wall if self.wall else None


class Bench:
    def __init__(self, qdmx, data, runs, size):
        self.qdmx, self.data, self.runs, self.size = qdmx, data, runs, size
        self.rows = []
        self.notes = []

    def path(self, name):
        return os.path.join(self.data, name)

    def qdmx_has(self, command, method):
        argv = [self.qdmx, command, "-m", method] + (["-s", "0"] if command == "decode" else []) + [os.devnull]
        result = subprocess.run(argv, capture_output=True)
        return not (result.returncode == 2 and b"not available" in result.stderr)

    def check(self, row, argv=None, original=None):
        """Checks the output of argv (default: the row's command) against the corpus."""
        if row.problem:
            return
        problem = timing.output_mismatch(argv or row.argv, original or self.path(f"{row.corpus}.bin"), self.data)
        if problem:
            row.problem = f"WRONG OUTPUT ({' '.join(argv or row.argv)}): {problem}"
            row.failed = True
            print(f"\n*** {row.section} {row.corpus} {row.tool}: {row.problem} ***\n", file=sys.stderr)

    def time_rows(self, rows, before=None):
        self.rows.extend(rows)
        runnable = [r for r in rows if not r.problem]
        try:
            best = timing.best_of([(r.tool, r.argv) for r in runnable], self.runs, self.data, before)
        except timing.CommandFailed as e:
            for r in runnable:
                r.problem, r.failed = f"FAILED while timing: {e}", True
            return
        for r in runnable:
            r.wall, r.cpu = best[r.tool]

    def prepare_corpus(self, corpus):
        original = self.path(f"{corpus}.bin")
        count, sha = make_corpus.build(corpus, original, self.path(f"{corpus}.list"), self.size)
        self.notes.append(f"{corpus} corpus: {self.size} bytes from {count} files, sha256 {sha} "
                          f"(files listed in {corpus}.list)")
        archive = self.path(f"{corpus}.jlha.lzh")
        if os.path.exists(archive):
            os.remove(archive)
        subprocess.run(["jlha", "a2o5q", os.path.basename(archive), os.path.basename(original)], cwd=self.data,
                       check=True, stdout=subprocess.DEVNULL)
        with open(archive, "rb") as f:
            data = f.read()
        found = list(lha_extract.members(data))
        if len(found) != 1 or found[0]["method"] != "-lh5-" or found[0]["original"] != self.size:
            raise SystemExit(f"compare: jlha's archive of the {corpus} corpus is not one -lh5- member of "
                             f"{self.size} bytes: {found}")
        member = found[0]
        with open(self.path(f"{corpus}.jlha.lh5"), "wb") as out:
            out.write(data[member["start"] : member["start"] + member["packed"]])

    def lh5_expand(self, corpus):
        archive = f"{corpus}.jlha.lzh"
        rows = [Row("lh5-expand", corpus, "qdmx",
                    [self.qdmx, "decode", "-m", "lh5", "-s", str(self.size), f"{corpus}.jlha.lh5"], self.size),
                Row("lh5-expand", corpus, "lhasa", ["lhasa", "-pq", archive], self.size),
                Row("lh5-expand", corpus, "7z", ["7z", "x", "-so", archive], self.size),
                Row("lh5-expand", corpus, "bsdtar", ["bsdtar", "-xOf", archive], self.size)]
        if not self.qdmx_has("decode", "lh5"):
            rows[0].problem = "n/a: this qdmx has no lh5 expander yet"
        for r in rows:
            self.check(r)
        self.time_rows(rows)

    def lh1_expand(self, corpus):
        stream, archive = f"{corpus}.qdmx.lh1", f"{corpus}.qdmx-lh1.lzh"
        ours = Row("lh1-expand", corpus, "qdmx",
                   [self.qdmx, "decode", "-m", "lzh", "-s", str(self.size), stream], self.size)
        peer = Row("lh1-expand", corpus, "lhasa", ["lhasa", "-pq", archive], self.size)
        rows = [ours, peer]
        if not self.qdmx_has("encode", "lzh"):
            ours.problem = peer.problem = "n/a: this qdmx has no LZH compressor yet to make the lh1 stream"
        else:
            made = self.encode("lzh", corpus, stream)
            if made:
                ours.problem = peer.problem = made
                ours.failed = peer.failed = True
            else:
                lha_wrap.wrap("lh1", self.path(stream), self.path(f"{corpus}.bin"), self.path(archive),
                              f"{corpus}.bin")
                if not self.qdmx_has("decode", "lzh"):
                    ours.problem = "n/a: this qdmx has no LZH expander yet"
        for r in rows:
            self.check(r)
        self.time_rows(rows)

    def encode(self, method, corpus, stream):
        """Writes our stream of the corpus; returns a problem text or None."""
        with open(self.path(stream), "wb") as out:
            result = subprocess.run([self.qdmx, "encode", "-m", method, f"{corpus}.bin"], cwd=self.data,
                                    stdout=out, stderr=subprocess.PIPE)
        if result.returncode != 0:
            return f"FAILED: qdmx encode -m {method} exited with {result.returncode}: {result.stderr.decode()[:200]}"
        return None

    def lh5_compress(self, corpus):
        original = f"{corpus}.bin"
        timed_archive = self.path(f"{corpus}.jlha-timed.lzh")
        ours = Row("lh5-compress", corpus, "qdmx", [self.qdmx, "encode", "-m", "lh5", original], self.size)
        jlha = Row("lh5-compress", corpus, "jlha", ["jlha", "a2o5q", os.path.basename(timed_archive), original],
                   self.size)
        gzip = Row("lh5-compress", corpus, "gzip", ["gzip", "-6", "-c", original], self.size)
        rows = [ours, jlha, gzip]

        if not self.qdmx_has("encode", "lh5"):
            ours.problem = "n/a: this qdmx has no lh5 compressor yet"
        else:
            stream = f"{corpus}.qdmx.lh5"
            ours.problem = self.encode("lh5", corpus, stream)
            ours.failed = ours.problem is not None
            if not ours.problem:
                ours.output_bytes = os.path.getsize(self.path(stream))
                wrapped = f"{corpus}.qdmx-lh5.lzh"
                lha_wrap.wrap("lh5", self.path(stream), self.path(original), self.path(wrapped), original)
                if self.qdmx_has("decode", "lh5"):
                    self.check(ours, [self.qdmx, "decode", "-m", "lh5", "-s", str(self.size), stream])
                self.check(ours, ["lhasa", "-pq", wrapped])
                self.check(ours, ["7z", "x", "-so", wrapped])

        jlha.output_bytes = os.path.getsize(self.path(f"{corpus}.jlha.lzh"))
        self.check(jlha, ["lhasa", "-pq", f"{corpus}.jlha.lzh"])

        gz = self.path(f"{corpus}.gz")
        with open(gz, "wb") as out:
            subprocess.run(gzip.argv, cwd=self.data, stdout=out, check=True)
        gzip.output_bytes = os.path.getsize(gz)
        self.check(gzip, ["gzip", "-dc", os.path.basename(gz)])

        def remove_archive(label):
            if label == "jlha" and os.path.exists(timed_archive):
                os.remove(timed_archive)

        self.time_rows(rows, remove_archive)
        if os.path.exists(timed_archive) and os.path.getsize(timed_archive) != jlha.output_bytes:
            self.notes.append(f"note: jlha's timed archive of {corpus} differs in size from the checked one")


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def priority():
    """Our nice value and, where the kernel groups sessions, the nice value of our autogroup."""
    text = f"nice {os.nice(0)}"
    try:
        with open("/proc/self/autogroup") as f:
            text += ", autogroup " + f.read().split("nice", 1)[1].strip()
    except (OSError, IndexError):
        pass
    return text


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def package_versions():
    names = ["lhasa", "p7zip-full", "libarchive-tools", "jlha-utils", "gzip"]
    result = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Version}\\n"] + names, capture_output=True,
                            text=True)
    return ", ".join(result.stdout.split("\n")[:-1]) if result.returncode == 0 else "unknown"


def source_revision(root):
    result = subprocess.run(["git", "-C", root, "describe", "--always", "--dirty"], capture_output=True, text=True)
    return result.stdout.strip() if result.returncode == 0 else "unknown"


def format_row(section, r, ours):
    """One table line: times and speed, for compression also sizes, and our ratios to the peer."""
    compressing = section.endswith("compress")
    line = f"{r.corpus:<7} {r.tool:<7} {r.wall:>7.3f} {r.cpu:>7.3f} {r.mbps:>8.1f}"
    if compressing:
        line += f" {r.output_bytes:>10} {100 * r.output_bytes / r.size:>6.2f}%"
    speed = cpu = size = goal = met = ""
    if r is not ours and ours and not ours.problem:
        speed = f"{ours.mbps / r.mbps:.2f}x"
        cpu = f"{r.cpu / ours.cpu:.2f}x" if ours.cpu > 0 else ""
        if compressing:
            size = f"{ours.output_bytes / r.output_bytes:.3f}x"
        if (section, r.tool) in GOALS:
            target = GOALS[(section, r.tool)]
            goal, met = f"{target:.2f}x", "yes" if ours.mbps / r.mbps >= target else "NO"
    if compressing:
        line += f" {size:>9}"
    return line + f" {cpu:>8} {speed:>10} {goal:>6} {met:>4}"


def format_table(bench):
    lines = []
    for section, title in SECTION_TITLES.items():
        rows = [r for r in bench.rows if r.section == section]
        if not rows:
            continue
        header = f"{'corpus':<7} {'tool':<7} {'best s':>7} {'cpu s':>7} {'MB/s':>8}"
        if section.endswith("compress"):
            header += f" {'output B':>10} {'out/in':>7} {'size o/p':>9}"
        header += f" {'cpu p/o':>8} {'speed o/p':>10} {'goal':>6} {'met':>4}"
        lines += ["", title, header, "-" * len(header)]
        for corpus in CORPORA:
            ours = next((r for r in rows if r.corpus == corpus and r.tool == "qdmx"), None)
            for r in (r for r in rows if r.corpus == corpus):
                lines.append(f"{r.corpus:<7} {r.tool:<7} {r.problem}" if r.problem else format_row(section, r, ours))
        lines.append(f"commands ({CORPORA[0]} corpus; in {bench.data}):")
        lines += [f"  {r.tool:<7} {' '.join('qdmx' if a == bench.qdmx else a for a in r.argv)}"
                  for r in rows if r.corpus == CORPORA[0]]
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--qdmx", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--size", type=int, default=40 << 20, help="bytes per corpus")
    parser.add_argument("--sections", default=",".join(SECTION_TITLES),
                        help="comma-separated subset of " + ", ".join(SECTION_TITLES))
    args = parser.parse_args()
    sections = args.sections.split(",")
    if not sections or any(s not in SECTION_TITLES for s in sections):
        parser.error(f"--sections takes a comma-separated subset of {', '.join(SECTION_TITLES)}")
    os.makedirs(args.data, exist_ok=True)
    bench = Bench(os.path.abspath(args.qdmx), os.path.abspath(args.data), args.runs, args.size)
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

    load_before = loadavg()
    for corpus in CORPORA:
        print(f"preparing the {corpus} corpus and jlha's archive of it ...", file=sys.stderr)
        bench.prepare_corpus(corpus)
    for corpus in CORPORA:
        steps = {"lh5-expand": bench.lh5_expand, "lh1-expand": bench.lh1_expand, "lh5-compress": bench.lh5_compress}
        for section in sections:
            print(f"{section}, {corpus} corpus, best of {args.runs} ...", file=sys.stderr)
            steps[section](corpus)

    lines = [f"qdmx peer benchmark, {datetime.datetime.now().isoformat(timespec='seconds')}, "
             f"source {source_revision(root)}",
             f"machine: {cpu_model()}, {os.cpu_count()} cores; load average before {load_before}, "
             f"after {loadavg()}; priority: {priority()}",
             f"peers: {package_versions()}",
             f"whole process, output to /dev/null, best of {args.runs} runs in turns; "
             f"MB/s = 10^6 bytes of uncompressed data per second; o/p = ours / peer's (speed: MB/s; size: bytes); "
             f"cpu p/o = peer's CPU seconds / ours (less sensitive to other load; goals are judged on speed)",
             *bench.notes]
    lines += format_table(bench)
    text = "\n".join(lines) + "\n"
    print(text)
    with open(os.path.join(args.data, "results.txt"), "w") as f:
        f.write(text)
    failed = [r for r in bench.rows if r.failed]
    if failed:
        print(f"*** {len(failed)} command(s) gave wrong output or failed: see above ***", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
