#!/usr/bin/env python3
"""qdmx's dense method (-m zstd) next to the zstd command on the two codec corpora.

For each corpus (text, binary; made by make_corpus.py when DATA lacks them) it packs the corpus
with `qdmx create -m zstd` and with `zstd --ultra -22` at the same window (2^26 bytes), checks that both
give back the corpus byte for byte, then times in turns, best of --runs, whole process:
  - compression: qdmx create -m zstd  against  zstd --ultra -22 --zstd=wlog=26;
  - expansion into a file: qdmx extract  against  zstd -d -o FILE;
  - expansion without output: qdmx test  against  zstd -t.
With --wine QDMX_EXE the Windows qdmx.exe also packs and extracts each corpus under Wine, and
extracts the archive the Linux qdmx made (checked, not timed). The table goes to standard output
and to DATA/dense-results.txt; exit status 1 when an output was wrong or a command failed.

    dense_compare.py --qdmx PATH --data DIR [--runs N] [--compress-runs N] [--wine QDMX_EXE]
"""

import argparse
import datetime
import filecmp
import os
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True

import timing  # noqa: E402

CORPORA = ("text", "binary")
ZSTD_LEVEL = "-22"
ZSTD_WINDOW = "--zstd=wlog=26"


def run(argv, cwd):
    subprocess.run(argv, cwd=cwd, check=True, stdout=subprocess.DEVNULL)


def same_file(a, b):
    return os.path.exists(a) and os.path.exists(b) and filecmp.cmp(a, b, shallow=False)


def zstd_version():
    result = subprocess.run(["zstd", "-V"], capture_output=True, text=True)
    return result.stdout.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--qdmx", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--compress-runs", type=int, default=1, help="timed compressions (level 22 is slow)")
    parser.add_argument("--wine", help="qdmx.exe to check under Wine")
    args = parser.parse_args()
    qdmx, data = os.path.abspath(args.qdmx), os.path.abspath(args.data)
    os.makedirs(data, exist_ok=True)
    here = os.path.dirname(os.path.abspath(__file__))
    problems, lines = [], []
    for corpus in CORPORA:
        source = f"{corpus}.bin"
        if not os.path.exists(os.path.join(data, source)):
            run([sys.executable, os.path.join(here, "make_corpus.py"), corpus, source, f"{corpus}.manifest"], data)
        size = os.path.getsize(os.path.join(data, source))
        archive, frame = f"{corpus}.dense.qdmx", f"{corpus}.bin.zst"
        out_q, out_z = os.path.join(data, f"{corpus}-out-qdmx"), os.path.join(data, f"{corpus}.unzstd")

        def clean(label):
            if label == "qdmx create" and os.path.exists(os.path.join(data, archive)):
                os.remove(os.path.join(data, archive))
            if label == "qdmx extract":
                shutil.rmtree(out_q, ignore_errors=True)

        compress = [("qdmx create", [qdmx, "create", "-q", "-m", "zstd", archive, source]),
                    ("zstd -22", ["zstd", "-q", "-f", "--ultra", ZSTD_LEVEL, ZSTD_WINDOW, source, "-o", frame])]
        expand = [("qdmx extract", [qdmx, "extract", "-q", "-C", out_q, archive]),
                  ("zstd -d", ["zstd", "-q", "-f", "-d", frame, "-o", out_z])]
        verify = [("qdmx test", [qdmx, "test", "-q", archive]), ("zstd -t", ["zstd", "-q", "-t", frame])]
        print(f"{corpus}: compressing (best of {args.compress_runs}) ...", file=sys.stderr)
        times = timing.best_of(compress, args.compress_runs, data, clean)
        sizes = {"qdmx create": os.path.getsize(os.path.join(data, archive)),
                 "zstd -22": os.path.getsize(os.path.join(data, frame))}
        run(expand[0][1], data)
        run(expand[1][1], data)
        for label, path in (("qdmx", os.path.join(out_q, source)), ("zstd", out_z)):
            if not same_file(path, os.path.join(data, source)):
                problems.append(f"{corpus}: {label} did not give back the corpus")
        print(f"{corpus}: expanding (best of {args.runs}) ...", file=sys.stderr)
        times.update(timing.best_of(expand, args.runs, data, clean))
        times.update(timing.best_of(verify, args.runs, data))
        lines.append(f"{corpus} corpus, {size} bytes")
        for (ours, theirs) in ((compress[0][0], compress[1][0]), (expand[0][0], expand[1][0]),
                               (verify[0][0], verify[1][0])):
            for label in (ours, theirs):
                wall, cpu = times[label]
                extra = f" {sizes[label]:>10} B ({100 * sizes[label] / size:5.2f}%)" if label in sizes else ""
                lines.append(f"  {label:<13} {wall:8.3f} s {cpu:8.3f} cpu s {size / 1e6 / wall:8.1f} MB/s{extra}")
            lines.append(f"  {'':<13} qdmx / zstd time: {times[ours][0] / times[theirs][0]:.3f}")

        if args.wine:
            print(f"{corpus}: round trip under Wine ...", file=sys.stderr)
            exe = os.path.abspath(args.wine)
            wine_archive, wine_out, linux_out = f"{corpus}.wine.qdmx", f"{corpus}-out-wine", f"{corpus}-out-wine-linux"
            for folder in (wine_out, linux_out):
                shutil.rmtree(os.path.join(data, folder), ignore_errors=True)
            run(["wine", exe, "create", "-q", "-m", "zstd", wine_archive, source], data)
            run(["wine", exe, "extract", "-q", "-C", wine_out, wine_archive], data)
            run(["wine", exe, "extract", "-q", "-C", linux_out, archive], data)
            same_archive = same_file(os.path.join(data, wine_archive), os.path.join(data, archive))
            for folder in (wine_out, linux_out):
                if not same_file(os.path.join(data, folder, source), os.path.join(data, source)):
                    problems.append(f"{corpus}: qdmx.exe did not give back the corpus from {folder}")
            lines.append(f"  Wine: qdmx.exe round trip and extraction of the Linux archive byte-exact: "
                         f"{'no' if any(corpus in p and 'exe' in p for p in problems) else 'yes'}; "
                         f"qdmx.exe's archive {'equals' if same_archive else 'differs from'} the Linux qdmx's")

    header = [f"dense method against zstd, {datetime.datetime.now().isoformat(timespec='seconds')}, "
              f"{zstd_version()}, best of {args.runs} in turns (compression: {args.compress_runs}), whole process",
              f"commands (in {data}): qdmx create -q -m zstd A C | zstd -q -f --ultra {ZSTD_LEVEL} {ZSTD_WINDOW} C -o C.zst | "
              f"qdmx extract -q -C DIR A | zstd -q -f -d C.zst -o FILE | qdmx test -q A | zstd -q -t C.zst"]
    text = "\n".join(header + lines + [f"*** {p}" for p in problems]) + "\n"
    print(text)
    with open(os.path.join(data, "dense-results.txt"), "w") as f:
        f.write(text)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
