#!/usr/bin/env python3
"""Random scripts against the headless program, as a clumsy or hostile user
would write them: action words, menu labels and codes, odd files, answers to
alerts that are or are not up, junk. Each script runs in a directory of its
own with a time limit; the runs that hang, crash, end with a status other
than 0 or leave a sanitizer report are counted and kept.

    fuzz/random_scripts.py BINARY [--count 2000] [--seed 1] [--jobs 4]
        [--timeout 10] [--keep DIR]
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

LABELS = [
    "New", "Open", "Close", "Save", "Save as", "Page Setup", "Print", "Quit",
    "All Raw Data", "Pure ASCII", "Generic ASCII", "HP Deskjet Series", "Epson Stylus",
    "Epson Dot Matrix", "IBM Proprinter", "Parallel Port 1", "Parallel Port 2",
    "Serial Port 1", "Serial Port 2", "Printer File", "Text mode", "Graphic mode",
    "Normal Text (10 CPI)", "Compressed Text (12 CPI)", "Draft Mode", "Letter Quality",
    "Proportional Spacing", "Fixed Spacing", "1 Page per Sheet", "2 Pages per Sheet",
    "4 Columns per Page", "Long Lines Word Wrapped", "Reset Printer", "Print Test Page",
    "Eject a sheet", "Select A4 paper", "Select Landscape", "Printer's Linewrap on",
    "Bidirectional Printing", "Nope", "File",
]
CODES = ["MFpr", "MFqu", "MFnw", "MPpf", "MPp1", "MPp2", "MPs1", "MPhp", "MMgr", "MMtx",
         "MM2p", "MCrs", "MCts", "MFxx", "mfqu"]
KEYS = list("NOWSQP1248") + list("qpxZ,") + ["QQ", ""]
FILES = ["a.txt", "b.txt", "empty.txt", "long.txt", "nonexist", "dir", "PrintFile",
         "\"with space.txt\"", "binary.bin", "parallel1.out", "\"\""]
ANSWERS = ["0", "1", "2", "OK", "Quit", "ok", "99", "-1", "\"\""]
WORDS = ["menu", "key", "select", "cancel", "drop", "answer", "close", "draw", "help",
         "frob", "#", "", "  "]


def quote(word):
    return '"' + word.replace("\\", "\\\\").replace('"', '\\"') + '"'


def junk(rng):
    choices = [
        lambda: "menu \"Printer File",
        lambda: "drop \"a.txt",
        lambda: "\"",
        lambda: "\\",
        lambda: "menu Printer\x00 File",
        lambda: "drop a.txt\x00b.txt",
        lambda: "draw\r",
        lambda: "".join(chr(rng.randrange(1, 256)) for _ in range(rng.randrange(1, 20))),
        lambda: "menu " + "x" * rng.randrange(1, 3000),
        lambda: "\t\t",
    ]
    return rng.choice(choices)()


def action(rng):
    kind = rng.choices(
        ["menu", "key", "select", "cancel", "drop", "answer", "close", "draw", "help", "junk",
         "word"],
        weights=[30, 10, 6, 3, 12, 14, 4, 6, 1, 6, 3])[0]
    if kind == "menu":
        what = rng.choice(LABELS + CODES)
        return "menu " + (quote(what) if " " in what or rng.random() < 0.2 else what)
    if kind == "key":
        return "key " + rng.choice(KEYS)
    if kind in ("select", "drop"):
        return kind + "".join(" " + rng.choice(FILES) for _ in range(rng.randrange(0, 4)))
    if kind == "answer":
        return "answer " + rng.choice(ANSWERS)
    if kind == "junk":
        return junk(rng)
    if kind == "word":
        return rng.choice(WORDS) + " " + rng.choice(WORDS)
    return kind


def script(rng):
    return "".join(action(rng) + "\n" for _ in range(rng.randrange(1, 13)))


def prepare(directory, rng):
    with open(os.path.join(directory, "a.txt"), "w") as f:
        f.write("first line\nsecond line\n")
    with open(os.path.join(directory, "b.txt"), "w") as f:
        f.write("b\f" * 3)
    open(os.path.join(directory, "empty.txt"), "w").close()
    with open(os.path.join(directory, "long.txt"), "w") as f:
        f.write(("x" * 300 + "\n") * 200)
    with open(os.path.join(directory, "with space.txt"), "w") as f:
        f.write("spaced\n")
    with open(os.path.join(directory, "binary.bin"), "wb") as f:
        f.write(bytes(range(256)) * 4)
    os.mkdir(os.path.join(directory, "dir"))
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env["QUILLON_PLATFORM"] = "headless"
    for name, file in (("PARALLEL1", "parallel1.out"), ("PARALLEL2", "parallel2.out"),
                       ("SERIAL1", "serial1.out"), ("SERIAL2", "serial2.out")):
        # Now and then a port that does not open, for the port alert.
        bad = rng.random() < 0.25
        env["QUILLON_" + name] = os.path.join(directory, "missing/port") if bad else file
    return env


def run_one(binary, seed, index, timeout, keep):
    rng = random.Random(seed * 1000003 + index)
    text = script(rng)
    directory = tempfile.mkdtemp(prefix="quillon-random-")
    try:
        env = prepare(directory, rng)
        env["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=0"
        start = time.monotonic()
        try:
            done = subprocess.run([binary], input=text.encode("latin-1"), cwd=directory,
                                  env=env, capture_output=True, timeout=timeout)
            outcome = "ok"
            err = done.stderr.decode("latin-1")
            if done.returncode < 0:
                outcome = "crash"
            elif "Sanitizer" in err or "runtime error" in err or done.returncode != 0:
                outcome = "crash"
        except subprocess.TimeoutExpired as expired:
            outcome = "hang"
            err = (expired.stderr or b"").decode("latin-1")
        seconds = time.monotonic() - start
        if outcome != "ok" and keep:
            os.makedirs(keep, exist_ok=True)
            with open(os.path.join(keep, "%s-%04d.script" % (outcome, index)), "wb") as f:
                f.write(text.encode("latin-1"))
            with open(os.path.join(keep, "%s-%04d.stderr" % (outcome, index)), "w") as f:
                f.write(err)
        return outcome, seconds, err
    finally:
        shutil.rmtree(directory, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--count", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--jobs", type=int, default=4)
    parser.add_argument("--timeout", type=float, default=10.0)
    parser.add_argument("--keep")
    args = parser.parse_args()
    args.binary = os.path.abspath(args.binary)

    start = time.monotonic()
    with ThreadPoolExecutor(args.jobs) as pool:
        results = list(pool.map(
            lambda i: run_one(args.binary, args.seed, i, args.timeout, args.keep),
            range(args.count)))
    counts = {"ok": 0, "hang": 0, "crash": 0}
    kinds = {}
    for outcome, _, err in results:
        counts[outcome] += 1
        if outcome != "crash":
            continue
        # A sanitizer's summary names the fault and where it was found.
        lines = err.splitlines()
        found = [l for l in lines if l.startswith("SUMMARY:")] or \
            [l for l in lines if "runtime error" in l or "terminate" in l or "Assertion" in l] or \
            ["exit status other than 0"]
        kind = re.sub(r"\S*/", "", re.sub(r"\(.*", "", found[0])).strip()[:100]
        kinds[kind] = kinds.get(kind, 0) + 1
    ok_times = sorted(s for o, s, _ in results if o == "ok")
    print("scripts %d in %.0f s (%d at once): ok %d, hangs %d, crashes %d" % (
        args.count, time.monotonic() - start, args.jobs, counts["ok"], counts["hang"],
        counts["crash"]))
    if ok_times:
        print("one run: median %.2f s, slowest %.2f s" % (
            ok_times[len(ok_times) // 2], ok_times[-1]))
    for kind, count in sorted(kinds.items(), key=lambda item: -item[1]):
        print("  %4d  %s" % (count, kind))
    return 0 if counts["hang"] == 0 and counts["crash"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
