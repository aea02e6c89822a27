"""Whole-process timing and output checks for the peer comparison.

A command is timed from its start to the reaping of its process, with standard output and error
on /dev/null, so process start-up (a JVM too) and every byte of output count. The commands of one
comparison run in turns (A B C, A B C, ...) rather than one after the other, so that a burst of
other work on the machine hits them alike; each keeps its best wall time and, separately, its
least CPU time (user + system, all threads, from the kernel's accounting of the reaped child).

Outputs are checked by streaming a command's standard output against the original file; the
first differing offset is reported.
"""

import os
import subprocess
import tempfile
import time


class CommandFailed(Exception):
    pass


def run_once(argv, cwd):
    """Runs argv to /dev/null; returns (wall seconds, CPU seconds)."""
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=null, stderr=null, cwd=cwd)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        raise CommandFailed(f"{' '.join(argv)} exited with {proc.returncode}")
    return wall, usage.ru_utime + usage.ru_stime


def best_of(commands, runs, cwd, before=None):
    """Times each (label, argv) `runs` times in turns; returns {label: (least wall, least CPU)}.

    `before(label)`, when given, runs untimed ahead of every run of that label (e.g. to delete an
    archive that the command would otherwise update)."""
    best = {}
    for _ in range(runs):
        for label, argv in commands:
            if before:
                before(label)
            wall, cpu = run_once(argv, cwd)
            if label in best:
                wall, cpu = min(wall, best[label][0]), min(cpu, best[label][1])
            best[label] = (wall, cpu)
    return best


def output_mismatch(argv, original_path, cwd):
    """Runs argv once and compares its standard output with the original file.

    Returns None when they are equal, else a description of the first difference."""
    # Standard error goes to a file: a pipe that nobody reads could fill and stall the command.
    error_file = tempfile.TemporaryFile()
    proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=error_file, cwd=cwd)
    first_difference = None
    offset = 0
    with open(original_path, "rb") as original:
        while chunk := proc.stdout.read(1 << 20):
            expected = original.read(len(chunk))
            if first_difference is None and chunk != expected:
                common = min(len(chunk), len(expected))
                at = next((i for i in range(common) if chunk[i] != expected[i]), common)
                first_difference = offset + at
            offset += len(chunk)
        original_size = os.fstat(original.fileno()).st_size
    code = proc.wait()
    error_file.seek(0)
    stderr = error_file.read().decode(errors="replace").strip()
    error_file.close()
    if code != 0:
        return f"exited with {code}: {stderr[:300]}"
    if first_difference is not None:
        return f"output differs from the original at byte {first_difference}"
    if offset != original_size:
        return f"output has {offset} bytes, the original {original_size}"
    return None
