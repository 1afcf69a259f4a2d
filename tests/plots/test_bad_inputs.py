# Bad inputs of tarvoplot that once ended in a traceback: each gives one line naming the file (and
# line or key) and exit 2; and overview --eval over the files of `tarvo evaluate --dist all`.
import json
import os

import pytest

from conftest import FIXTURES
from tarvoplot import overview
from tarvoplot.__main__ import main
from tarvoplot.inputs import readTable


def fixture(name):
    return os.path.join(FIXTURES, name)


def scheduleWith(tmp_path, **changes):
    record = json.loads(open(fixture("schedule.json")).read())
    record.update(changes)
    path = tmp_path / "odd.json"
    path.write_text(json.dumps(record))
    return str(path)


def shortRequirements(tmp_path):
    record = json.loads(open(fixture("schedule.json")).read())
    record["activities"][2]["requirements"] = record["activities"][2]["requirements"][:1]
    path = tmp_path / "short.json"
    path.write_text(json.dumps(record))
    return str(path)


def samplesWith(tmp_path, **changes):
    lines = open(fixture("samples.jsonl")).read().splitlines()
    record = json.loads(lines[0])
    record.update(changes)
    path = tmp_path / "odd.jsonl"
    path.write_text(json.dumps(record) + "\n" + "\n".join(lines[1:]) + "\n")
    return str(path)


def notUtf8(tmp_path, name):
    data = open(fixture(name), "rb").read().split(b"\n")
    data[2] = data[2][:5] + b"\xff\xfe" + data[2][5:]
    path = tmp_path / name
    path.write_bytes(b"\n".join(data))
    return str(path)


def bigSchedule(tmp_path):
    n = 3000
    acts = [{"activity": a, "start": a, "finish": a + 1, "duration": 1, "requirements": [1, 0], "critical": 0}
            for a in range(1, n + 1)]
    return scheduleWith(tmp_path, activities=acts, arcs=[], makespan=n + 1)


SCHEDULE = fixture("schedule.json")
CASES = [
    (lambda t: ["overview", notUtf8(t, "batch.csv")], "batch.csv line 3: byte 0xff is not UTF-8 text"),
    (lambda t: ["distribution", notUtf8(t, "samples.jsonl")], "samples.jsonl line 3: byte 0xff is not UTF-8 text"),
    (lambda t: ["gantt", SCHEDULE, "--dpi", "0"], "--dpi: 0 is not in 10..2400"),
    (lambda t: ["gantt", SCHEDULE, "--dpi", "-5"], "--dpi: -5 is not in 10..2400"),
    (lambda t: ["gantt", SCHEDULE, "--dpi", "100000"], "--dpi: 100000 is not in 10..2400"),
    (lambda t: ["gantt", scheduleWith(t, activities=5)], "odd.json: 'activities' is 5, not a list"),
    (lambda t: ["profile", scheduleWith(t, capacities=None)], "odd.json: 'capacities' is null, not a list"),
    (lambda t: ["gantt", "--profile", shortRequirements(t)], "short.json: activity 3 has 1 requirements"),
    (lambda t: ["distribution", samplesWith(t, policy=["ph1"])], "odd.jsonl line 1: 'policy' is [\"ph1\"], not a name"),
    (lambda t: ["distribution", samplesWith(t, makespans=[1e308, -1e308], runs=2)],
     "odd.jsonl line 1: 'makespans' holds -1e+308, below 0"),
    (lambda t: ["gantt", bigSchedule(t), "--dpi", "600"], "pixels, more than 65535 a side"),
    (lambda t: ["gantt", str(t)], "a folder, not a file"),
    (lambda t: ["gantt", "/dev/zero"], "cannot read '/dev/zero': a device, not a regular file"),
    (lambda t: ["overview"], "the following arguments are required"),
]


@pytest.mark.parametrize("case", range(len(CASES)))
def test_eachBadInputGivesOneLineAndExit2(case, tmp_path, capsys):
    make, expected = CASES[case]
    args = make(tmp_path) + ["-o", str(tmp_path / "out")]
    assert main(args) == 2
    err = capsys.readouterr().err
    assert err.count("\n") == 1 and err.startswith("tarvoplot: "), err
    assert expected in err
    assert not (tmp_path / "out.png").exists()


def test_aPipeOnTheCommandLineIsReadOnce(tmp_path, capsys):
    read, write = os.pipe()
    os.write(write, open(fixture("batch.csv"), "rb").read())
    os.close(write)
    try:
        assert main(["overview", f"/dev/fd/{read}", "-o", str(tmp_path / "out")]) == 0
    finally:
        os.close(read)
    assert (tmp_path / "out.png").exists()


# ---- overview --eval over the files of evaluate --dist all and --levels ----

def evalFile(tmp_path, name, label, inSample=True):
    """The fixture's rows evaluated under label (U1, U2, U2-L10, ...), in_sample empty where
    evaluate leaves it empty: under another distribution than the searched one (U2)."""
    lines = open(fixture("eval.csv")).read().splitlines()
    out = [lines[0]]
    for line in lines[1:]:
        fields = line.split(",")
        fields[2] = label
        if not inSample or label.split("-L")[0] != fields[1]:
            fields[12] = fields[23] = ""
        out.append(",".join(fields))
    path = tmp_path / name
    path.write_text("\n".join(out) + "\n")
    return str(path)


def test_overviewTakesTheFilesOfDistAllAndSaysWhatItLeavesOut(tmp_path, capsys):
    files = [evalFile(tmp_path, f"run-eval-{d}.csv", d) for d in ("U1", "B1", "U2", "B2", "EXP")]
    files.append(evalFile(tmp_path, "bare-eval-U2.csv", "U2", inSample=False))
    assert main(["overview", fixture("batch.csv"), "--eval"] + files + ["-o", str(tmp_path / "out")]) == 0
    err = capsys.readouterr().err
    assert err.count("\n") == 1 and "left out of the in-sample panel" in err
    rowsPerFile = len(open(fixture("eval.csv")).read().splitlines()) - 1
    assert f"{4 * rowsPerFile} under another distribution" in err
    assert f"{rowsPerFile} without an in-sample figure" in err
    assert (tmp_path / "out.png").exists()


def test_levelsAreNeverPooledUnderOneLabel(tmp_path):
    rows = [row for name, label in (("a.csv", "U2"), ("b.csv", "U2-L10"), ("c.csv", "U2-L1000"))
            for row in readTable(evalFile(tmp_path, name, label), overview.EVAL_COLUMNS, ("lower_bound", "gap"))]
    points, note = overview.inSamplePoints(rows)
    assert note == ""
    assert {p[0] for p in points} == {"U2", "U2-L10", "U2-L1000"}
    batch = readTable(fixture("batch.csv"), overview.BATCH_COLUMNS, ("ph1_gap", "smaller_gap"))
    fig = overview.overviewFigure(batch, rows)
    labels = fig.axes[1].get_legend_handles_labels()[1]
    for policy in ("ph1", "ph2"):
        assert f"U2 {policy}" in labels
        assert f"U2 {policy} (10 levels)" in labels
        assert f"U2 {policy} (1000 levels)" in labels
    # One set of points per label and policy.
    gids = [c.get_gid() for c in fig.axes[1].collections if c.get_gid()]
    assert len(gids) == len(set(gids)) == 6
