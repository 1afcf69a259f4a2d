#!/usr/bin/env python3
# Reruns one reference result of ../shared/golden and compares it field by field: the interactive J30
# run (answers 1, 0, 0) or one batch run of a data set and groups, all distributions.
#
# What is compared: every line of the menu reports except the CPU column and the computation-time
# line; every column of the batch .csv except cpu_seconds, version and host; every line of the .jsonl.
# The first difference of each file is printed as one line naming the file, the row and the field.
import argparse
import csv
import glob
import json
import os
import re
import subprocess
import sys
import tempfile

IGNORED_COLUMNS = {"cpu_seconds", "version", "host"}
DISTRIBUTIONS = ["U1", "B1", "U2", "B2", "EXP"]


def fail(message):
    print("golden: " + message)
    return False


def menuLines(path, cpuColumn):
    """The report without the CPU column of the instance lines (when it has one) and without the
    computation-time line."""
    lines = []
    with open(path, encoding="ascii", newline="\n") as f:
        for line in f.read().split("\n"):
            if line.startswith("computation time"):
                continue
            if cpuColumn and re.match(r"^\d+\t", line):
                line = line.rsplit("\t\t", 1)[0]
            lines.append(line)
    return lines


def compareLines(name, expected, got):
    for k, (e, g) in enumerate(zip(expected, got), start=1):
        if e != g:
            return fail(f"{name} line {k}: expected {e!r}, got {g!r}")
    if len(expected) != len(got):
        return fail(f"{name}: expected {len(expected)} lines, got {len(got)}")
    return True


def csvRows(path, keep=None):
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    if not rows:
        return [], []
    header = rows[0]
    columns = [i for i, c in enumerate(header) if c not in IGNORED_COLUMNS]
    return [header[i] for i in columns], [[r[i] if i < len(r) else "<missing>" for i in columns] for r in rows[1:]]


def compareCsv(name, goldenPath, path):
    eHeader, eRows = csvRows(goldenPath)
    gHeader, gRows = csvRows(path)
    if eHeader != gHeader:
        return fail(f"{name} header: expected {eHeader}, got {gHeader}")
    for k, (e, g) in enumerate(zip(eRows, gRows), start=2):
        for column, ev, gv in zip(eHeader, e, g):
            if ev != gv:
                return fail(f"{name} row {k} column {column}: expected {ev}, got {gv}")
    if len(eRows) != len(gRows):
        return fail(f"{name}: expected {len(eRows)} rows, got {len(gRows)}")
    return True


def compareJsonl(name, goldenPath, path):
    with open(goldenPath) as f:
        expected = f.read().splitlines()
    with open(path) as f:
        got = f.read().splitlines()
    for k, (e, g) in enumerate(zip(expected, got), start=1):
        if e == g:
            continue
        # Name the first field that differs when both lines are JSON objects.
        try:
            eo, go = json.loads(e), json.loads(g)
            for key in list(eo) + [k2 for k2 in go if k2 not in eo]:
                if eo.get(key) != go.get(key):
                    return fail(f"{name} line {k} field {key}: expected {json.dumps(eo.get(key))}, "
                                f"got {json.dumps(go.get(key))}")
        except ValueError:
            pass
        return fail(f"{name} line {k}: expected {e!r}, got {g!r}")
    if len(expected) != len(got):
        return fail(f"{name}: expected {len(expected)} lines, got {len(got)}")
    return True


def runMenu(args, work):
    os.symlink(os.path.abspath(args.psplib), os.path.join(work, "Instances"))
    done = subprocess.run([args.program], input=b"1\n0\n0\n", cwd=work, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, timeout=args.timeout)
    if done.returncode != 0:
        return fail(f"the menu run exited with {done.returncode}: {done.stderr.decode(errors='replace')}")
    ok = True
    goldenFiles = sorted(glob.glob(os.path.join(args.golden, "menu-J30-*.txt")))
    if len(goldenFiles) != 5:
        return fail(f"expected five menu reports in {args.golden}, found {len(goldenFiles)}")
    for goldenPath in goldenFiles:
        suffix = os.path.basename(goldenPath)[len("menu"):]
        found = glob.glob(os.path.join(work, "Reports", "*" + glob.escape(suffix)))
        if len(found) != 1:
            ok = fail(f"no single report *{suffix} written (found {len(found)})")
            continue
        ok = compareLines(os.path.basename(goldenPath), menuLines(goldenPath, False), menuLines(found[0], True)) and ok
    return ok


def runBatch(args, work):
    reports = os.path.join(work, "Reports")
    command = [args.program, "--dataset", args.dataset, "--groups", args.groups, "--dist", args.dist,
               "--instances", os.path.abspath(args.psplib), "--reports", reports, "--quiet"]
    done = subprocess.run(command, cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=args.timeout)
    if done.returncode != 0:
        return fail(f"{' '.join(command)} exited with {done.returncode}: "
                    f"{(done.stdout + done.stderr).decode(errors='replace')}")
    wanted = DISTRIBUTIONS if args.dist == "all" else args.dist.split(",")
    ok = True
    found = 0
    for goldenPath in sorted(glob.glob(os.path.join(args.golden, f"batch-{args.dataset}-*-g{args.groups}.csv"))):
        stem = os.path.basename(goldenPath)[len("batch-"):-len(f"-g{args.groups}.csv")]
        dist = stem.split("-")[1]
        if dist not in wanted or f"#{args.label}sch" not in stem:
            continue
        found += 1
        for ext, compare in ((".csv", compareCsv), (".jsonl", compareJsonl)):
            # The run's files name its groups, as the reference files do.
            mine = os.path.join(reports, f"{stem}-g{args.groups}{ext}")
            if not os.path.exists(mine):
                ok = fail(f"{os.path.basename(mine)} was not written")
                continue
            ok = compare(os.path.basename(goldenPath)[:-4] + ext, goldenPath[:-4] + ext, mine) and ok
    if found != len(wanted):
        return fail(f"{len(wanted)} reference files for {args.dataset} -g{args.groups} "
                    f"label {args.label} expected in {args.golden}, found {found}")
    return ok


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--program", required=True)
    parser.add_argument("--golden", required=True)
    parser.add_argument("--psplib", required=True)
    parser.add_argument("--menu", action="store_true", help="the interactive J30 run, answers 1, 0, 0")
    parser.add_argument("--dataset")
    parser.add_argument("--groups")
    parser.add_argument("--dist", default="all")
    parser.add_argument("--label", default="5000")
    parser.add_argument("--timeout", type=float, default=900)
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    for folder in (args.golden, args.psplib):
        if not os.path.isdir(folder):
            print(f"golden: folder {folder} not found")
            return 1
    with tempfile.TemporaryDirectory(prefix="tarvo-golden.") as work:
        ok = runMenu(args, work) if args.menu else runBatch(args, work)
    print("golden: " + ("all fields equal" if ok else "results differ from the reference"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
