#!/usr/bin/env python3
"""Long fuzzing campaigns that add up across sessions.

Runs one libFuzzer target from build/fuzz/fuzzers/ in rounds of a few minutes until the target's
CPU time over all logged rounds reaches --cpu-seconds, and appends one line per round to fuzz/campaign-log.tsv
(date, target, CPU seconds, executions, corpus files, result). The working corpus lives in
build/fuzz/campaign/TARGET and starts from the committed seeds; --merge folds what the campaign
found back into fuzz/corpus/TARGET in minimised form, so the next campaign and CI's short run
start from there. A round that finds a crash, leak or timeout stops the campaign and leaves the
input in build/fuzz/campaign/.

  fuzz/campaign.py TARGET [--cpu-seconds N] [--round-seconds N] [--merge]
  fuzz/campaign.py --summary        CPU hours and executions per target so far
"""
import argparse
import datetime
import os
import pathlib
import re
import resource
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
LOG = ROOT / "fuzz" / "campaign-log.tsv"
FUZZERS = ROOT / "build" / "fuzz" / "fuzzers"
WORK = ROOT / "build" / "fuzz" / "campaign"


def children_cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def append_log(target, cpu, executions, corpus_files, result):
    new = not LOG.exists()
    with LOG.open("a") as log:
        if new:
            log.write("date\ttarget\tcpu_seconds\texecutions\tcorpus_files\tresult\n")
        stamp = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
        log.write(f"{stamp}\t{target}\t{cpu:.0f}\t{executions}\t{corpus_files}\t{result}\n")


def run_round(target, corpus, seconds):
    """One libFuzzer run; returns (executions, result)."""
    fuzzer = FUZZERS / target
    seeds = ROOT / "fuzz" / "corpus" / target
    prefix = WORK / f"{target}-"
    command = [str(fuzzer), f"-max_total_time={seconds}", "-print_final_stats=1", "-rss_limit_mb=4096",
               f"-artifact_prefix={prefix}", "-timeout=300", str(corpus)]
    if seeds.is_dir():
        command.append(str(seeds))
    run = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                         errors="replace")
    match = re.search(r"stat::number_of_executed_units:\s*(\d+)", run.stderr)
    executions = int(match.group(1)) if match else 0
    # Slow-unit reports are not failures (and come from any pause of the process); crashes,
    # leaks, timeouts and memory exhaustion are.
    for slow in WORK.glob(f"{target}-slow-unit-*"):
        slow.unlink()
    found = sorted(p.name for p in WORK.glob(f"{target}-*") if p.is_file())
    if run.returncode != 0 or found:
        tail = "\n".join(run.stderr.splitlines()[-40:])
        print(tail, file=sys.stderr)
        return executions, "finding: " + (", ".join(found) or f"exit {run.returncode}")
    return executions, "clean"


def merge(target, corpus):
    seeds = ROOT / "fuzz" / "corpus" / target
    seeds.mkdir(parents=True, exist_ok=True)
    subprocess.run([str(FUZZERS / target), "-merge=1", "-rss_limit_mb=4096", str(seeds), str(corpus)],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)


def logged_totals():
    """target -> [CPU seconds, executions, findings] over the whole log."""
    totals = {}
    if LOG.exists():
        for line in LOG.read_text().splitlines()[1:]:
            _, target, cpu, executions, _, result = line.split("\t")
            t = totals.setdefault(target, [0.0, 0, 0])
            t[0] += float(cpu)
            t[1] += int(executions)
            t[2] += result.startswith("finding")
    return totals


def summary():
    totals = logged_totals()
    print(f"{'target':<20}{'CPU hours':>10}{'executions':>16}{'findings':>10}")
    for target, (cpu, executions, findings) in sorted(totals.items()):
        print(f"{target:<20}{cpu / 3600:>10.2f}{executions:>16,}{findings:>10}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("target", nargs="?")
    parser.add_argument("--cpu-seconds", type=float, default=3600)
    parser.add_argument("--round-seconds", type=int, default=300)
    parser.add_argument("--merge", action="store_true")
    parser.add_argument("--summary", action="store_true")
    args = parser.parse_args()
    if args.summary or not args.target:
        summary()
        return 0
    if not (FUZZERS / args.target).exists():
        print(f"no fuzzer {args.target} in {FUZZERS}: build the fuzz preset first", file=sys.stderr)
        return 2
    corpus = WORK / args.target
    corpus.mkdir(parents=True, exist_ok=True)
    # The goal counts every round in the log, so an interrupted campaign continues where it was.
    spent = logged_totals().get(args.target, [0.0])[0]
    while spent < args.cpu_seconds:
        before = children_cpu_seconds()
        # The last round asks for what is missing (and a little more: a round's wall time buys
        # slightly less CPU time), so that the goal is not missed by seconds.
        seconds = min(args.round_seconds, max(60, int(args.cpu_seconds - spent) + 30))
        executions, result = run_round(args.target, corpus, seconds)
        cpu = children_cpu_seconds() - before
        spent += cpu
        append_log(args.target, cpu, executions, sum(1 for _ in corpus.iterdir()), result)
        print(f"{args.target}: {spent:.0f}/{args.cpu_seconds:.0f} CPU s, {executions} executions, {result}",
              flush=True)
        if result != "clean":
            return 1
    if args.merge:
        merge(args.target, corpus)
    return 0


if __name__ == "__main__":
    sys.exit(main())
