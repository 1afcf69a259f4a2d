# Tests of the pictures: bars, arrows and profile steps against the schedule they come from, the
# two schedule formats read alike, every kind writes PNG and SVG, bad inputs give one-line errors.
import json
import os

import pytest
from matplotlib.patches import FancyArrowPatch, Rectangle

from conftest import FIXTURES
from tarvoplot import InputError, gantt
from tarvoplot.__main__ import main
from tarvoplot.inputs import readSchedule


def fixture(name):
    return os.path.join(FIXTURES, name)


@pytest.fixture(params=["schedule.json", "schedule.csv"])
def schedule(request):
    return readSchedule(fixture(request.param))


def patches(fig, prefix):
    return [p for ax in fig.axes for p in ax.patches if (p.get_gid() or "").startswith(prefix)]


# ---- Gantt chart and profiles against the schedule ----

def test_bothFormatsReadTheSameSchedule():
    a, b = readSchedule(fixture("schedule.json")), readSchedule(fixture("schedule.csv"))
    for table in ("start", "finish", "duration", "requirements", "critical"):
        assert getattr(a, table) == getattr(b, table)
    assert a.arcs == b.arcs == [(2, 5, 1), (3, 4, 2)]
    assert (a.capacities, a.lowerBound, a.makespan) == ([3, 2], 6, 6)
    assert (b.capacities, b.lowerBound, b.makespan) == (None, None, 6)


def test_oneBarPerRealActivityAtItsStartAndWidth(schedule):
    fig = gantt.ganttFigure(schedule, withProfile=True)
    bars = {p.get_gid(): p for p in patches(fig, "activity-")}
    assert sorted(bars) == [f"activity-{a}" for a in (2, 3, 4, 5)]
    for a in (2, 3, 4, 5):
        bar = bars[f"activity-{a}"]
        assert isinstance(bar, Rectangle)
        assert bar.get_x() == schedule.start[a]
        assert bar.get_width() == schedule.finish[a] - schedule.start[a]


def test_criticalBarsStandOut(schedule):
    fig = gantt.ganttFigure(schedule)
    colour = {p.get_gid(): p.get_facecolor() for p in patches(fig, "activity-")}
    assert colour["activity-3"] == colour["activity-4"]
    assert colour["activity-2"] == colour["activity-5"]
    assert colour["activity-3"] != colour["activity-2"]


def test_oneArrowPerArcOfEachKind(schedule):
    fig = gantt.ganttFigure(schedule)
    arrows = patches(fig, "arc-")
    assert all(isinstance(p, FancyArrowPatch) for p in arrows)
    assert sorted(p.get_gid() for p in arrows) == ["arc-fs", "arc-ss"]
    assert len(arrows) == len(schedule.arcs)


def test_noArrowsWithoutArcs(schedule):
    schedule.arcs = []
    assert patches(gantt.ganttFigure(schedule), "arc-") == []


def test_profileStepsFollowTheSchedulesUse(schedule):
    # r1: 2 units of 2 on [0,3), 1 of 3 on [0,2), 2 of 5 on [3,5): the finish of 2 and the start
    # of 5 at 3 cancel. r2: 1 of 3 on [0,2), 2 of 4 on [2,6).
    assert gantt.usageSteps(schedule, 1) == ([0, 2, 5], [3, 2, 0])
    assert gantt.usageSteps(schedule, 2) == ([0, 2, 6], [1, 2, 0])
    fig = gantt.profileFigure(schedule)
    lines = {line.get_gid(): line for ax in fig.axes for line in ax.lines}
    x, y = lines["usage-r2"].get_data()
    assert list(x) == [0, 2, 6, 6] and list(y) == [1, 2, 0, 0]
    assert lines["usage-r2"].get_drawstyle() == "steps-post"


def test_zeroDurationActivitiesUseNothing(schedule):
    schedule.finish[5] = schedule.start[5]
    assert gantt.usageSteps(schedule, 1) == ([0, 2, 3], [3, 2, 0])


# ---- Every kind writes its files ----

KINDS = [
    ["gantt", fixture("schedule.json")],
    ["gantt", fixture("schedule.csv"), "--profile"],
    ["profile", fixture("schedule.json")],
    ["distribution", fixture("samples.jsonl")],
    ["distribution", fixture("samples.jsonl"), "--eval-dist", "U1", "--group", "1", "--instance", "1"],
    ["overview", fixture("batch.csv")],
    ["overview", fixture("batch.csv"), "--eval", fixture("eval.csv")],
    ["compare", fixture("compare.csv")],
    ["compare", fixture("compare.csv"), "--other", "mine", "--title", "mine against LV"],
]


@pytest.mark.parametrize("args", KINDS, ids=lambda a: "-".join(x for x in a if not os.sep in x))
def test_eachKindWritesPngAndSvg(args, tmp_path, capsys):
    out = tmp_path / "picture"
    assert main(args + ["-o", str(out)]) == 0
    for ext in (".png", ".svg"):
        path = tmp_path / ("picture" + ext)
        assert path.stat().st_size > 1000
    assert (tmp_path / "picture.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert "<svg" in (tmp_path / "picture.svg").read_text()
    assert capsys.readouterr().out.split() == [str(out) + ".png", str(out) + ".svg"]


# ---- Bad inputs: one line naming the fault, exit 2 ----

def edited(tmp_path, name, old, new):
    text = open(fixture(name)).read()
    assert old in text
    path = tmp_path / name
    path.write_text(text.replace(old, new, 1))
    return str(path)


BAD = [
    (lambda t: ["gantt", str(t / "absent.json")], "cannot read '{t}/absent.json'"),
    (lambda t: ["gantt", edited(t, "schedule.csv", "critical", "crit")], "column 'critical' missing"),
    (lambda t: ["gantt", edited(t, "schedule.csv", "2,0,3,3", "2,zero,3,3")],
     "schedule.csv line 3: column 'start': 'zero' is not a number"),
    (lambda t: ["gantt", edited(t, "schedule.csv", "2,5,1", "2,9,1")], "names activity 9"),
    (lambda t: ["profile", edited(t, "schedule.json", '"capacities":[3,2],', "")], "key 'capacities' missing"),
    (lambda t: ["profile", edited(t, "schedule.json", '"makespan":6,', '"makespan":6')], "not JSON"),
    (lambda t: ["distribution", edited(t, "samples.jsonl", '"makespans"', '"spans"')],
     "samples.jsonl line 1: key 'makespans' missing"),
    (lambda t: ["distribution", fixture("samples.jsonl"), "--group", "3"], "no record for group 3"),
    (lambda t: ["distribution", fixture("samples.jsonl"), "--eval-dist", "B2"], "no record evaluated under B2"),
    (lambda t: ["overview", edited(t, "batch.csv", "smaller_gap", "gap")], "column 'smaller_gap' missing"),
    (lambda t: ["overview", edited(t, "batch.csv", ",10,45,", ",ten,45,")],
     "batch.csv line 3: column 'ph1_gap': 'ten' is not a number"),
    (lambda t: ["overview", fixture("batch.csv"), "--eval", edited(t, "eval.csv", "in_sample", "insample")],
     "column 'in_sample' missing"),
    (lambda t: ["overview", fixture("batch.csv"), "-o", str(t / "none" / "x")], "output folder"),
]


@pytest.mark.parametrize("case", range(len(BAD)))
def test_badInputGivesOneLineNamingIt(case, tmp_path, capsys):
    make, expected = BAD[case]
    args = make(tmp_path)
    if "-o" not in args:
        args += ["-o", str(tmp_path / "out")]
    assert main(args) == 2
    err = capsys.readouterr().err
    assert err.count("\n") == 1 and err.startswith("tarvoplot: ")
    assert expected.format(t=tmp_path) in err
    assert "Traceback" not in err
    assert not (tmp_path / "out.png").exists()


def test_moduleRunsAsAProgram(tmp_path):
    # python3 -m tarvoplot from another folder, as the wrapper script runs it.
    import subprocess
    import sys
    plots = os.path.join(os.path.dirname(FIXTURES), "..", "..", "plots")
    env = dict(os.environ, PYTHONPATH=os.path.abspath(plots))
    done = subprocess.run([sys.executable, "-m", "tarvoplot", "gantt", str(tmp_path / "x.json"), "-o",
                           str(tmp_path / "out")], cwd=tmp_path, env=env, capture_output=True, text=True)
    assert done.returncode == 2
    assert done.stderr.strip() == f"tarvoplot: cannot read '{tmp_path}/x.json': No such file or directory"


# ---- File runs: no groups, projects named by stem ----

def fileRun(tmp_path, gaps=((4.0, 3.0), (8.0, 8.0), (2.0, 1.0))):
    """A file run's batch results: group and instance empty, inst 1..N in the run's order of files."""
    header = open(fixture("batch.csv")).readline().strip() + ",file,stem"
    lines = [header]
    for k, (ph1, smaller) in enumerate(gaps, start=1):
        lines.append(f"R,U2,HV,5000,1,{len(gaps)},,,{k},32,38,40,{ph1},39,{smaller},{smaller},0.5,{k},0.1.0,box,"
                     f"p/s{k}.sm,s{k}")
    path = tmp_path / "file-run.csv"
    path.write_text("\n".join(lines) + "\n")
    return str(path)


def test_overviewOfAFileRunFallsBackToTheRunsOrderOfFiles(tmp_path):
    from tarvoplot import overview
    from tarvoplot.inputs import readTable
    rows = readTable(fileRun(tmp_path), overview.BATCH_COLUMNS, ("ph1_gap", "smaller_gap"))
    assert overview.groupAverages(rows) == {("R", "U2", "HV", "5000"): {1: (4.0, 3.0), 2: (8.0, 8.0), 3: (2.0, 1.0)}}
    fig = overview.overviewFigure(rows, [])
    ph2 = [line for line in fig.axes[0].lines if (line.get_gid() or "").startswith("ph2-")]
    assert len(ph2) == 1 and list(ph2[0].get_xdata()) == [1, 2, 3] and list(ph2[0].get_ydata()) == [3.0, 8.0, 1.0]
    assert fig.axes[0].get_xlabel().startswith("Instance")
    assert "R: gap per instance" in fig.axes[0].get_title(loc="left")


def test_overviewKeepsAFileRunApartFromAPsplibSet(tmp_path, capsys):
    assert main(["overview", fixture("batch.csv"), fileRun(tmp_path), "-o", str(tmp_path / "out")]) == 2
    assert "cannot share one overview" in capsys.readouterr().err
    assert not (tmp_path / "out.png").exists()


def test_distributionAndGanttOfAFileRunNameTheStem(tmp_path):
    from tarvoplot import distribution
    from tarvoplot.inputs import readSamples
    # The fixture's records as a file run's: file and stem in place of group and instance.
    lines = []
    for text in open(fixture("samples.jsonl")):
        record = json.loads(text)
        if record["group"] != 1 or record["instance"] != 1:
            continue
        for stem in ("alpha", "bravo"):
            edited = {k: v for k, v in record.items() if k not in ("group", "instance")}
            edited.update(file=f"p/{stem}.sm", stem=stem)
            lines.append(json.dumps(edited))
    path = tmp_path / "samples.jsonl"
    path.write_text("\n".join(lines) + "\n")
    records = readSamples(str(path))
    with pytest.raises(InputError, match="choose one with --stem"):
        distribution.selectRecords(records, None, None, None, str(path))
    with pytest.raises(InputError, match="no record for stem 'zulu'"):
        distribution.selectRecords(records, None, None, None, str(path), "zulu")
    chosen = distribution.selectRecords(records, None, None, "U2", str(path), "bravo")
    assert [r["policy"] for r in chosen] == ["ph1", "ph2"] and {r["stem"] for r in chosen} == {"bravo"}
    assert distribution.distributionFigure(chosen)._suptitle.get_text().startswith("J30 bravo, searched")

    schedule = json.loads(open(fixture("schedule.json")).read())
    for key in ("group", "instance"):
        schedule.pop(key, None)
    schedule.update(file="p/bravo.sm", stem="bravo")
    (tmp_path / "schedule.json").write_text(json.dumps(schedule))
    assert "bravo" in readSchedule(str(tmp_path / "schedule.json")).title
