# Tests of what the pictures say: the policies' names, the two bound lines and their labels, the
# run-by-run difference panel (and its note when both policies give the same makespans), and the
# samples of other methods' one-policy records.
import json
import os

import numpy as np
import pytest

from conftest import FIXTURES
from tarvoplot import InputError, distribution
from tarvoplot.__main__ import main
from tarvoplot.inputs import readSamples

SAMPLES = os.path.join(FIXTURES, "samples.jsonl")


def records(tmp_path, change=None, name="samples.jsonl", keep=2):
    """The fixture's first `keep` records (ph1 and ph2 under U2), each passed through change."""
    out = []
    for text in open(SAMPLES).read().splitlines()[:keep]:
        record = json.loads(text)
        if change:
            record = change(record) or record
        out.append(json.dumps(record))
    path = tmp_path / name
    path.write_text("\n".join(out) + "\n")
    return str(path)


def figureOf(path, **choice):
    chosen = distribution.selectRecords(readSamples(path), choice.get("group"), choice.get("instance"), None,
                                        path, None, choice.get("method"))
    return distribution.distributionFigure(chosen)


def legendTexts(fig):
    return [t.get_text() for legend in fig.legends for t in legend.get_texts()]


def withPathBound(record):
    # path_bound right after lower_bound, as evaluate writes it.
    return {k2: v2 for k, v in record.items() for k2, v2 in ([(k, v), ("path_bound", 43.21)]
                                                             if k == "lower_bound" else [(k, v)])}


def test_policiesAndBoundsAreNamedForWhatTheyAre(tmp_path):
    fig = figureOf(records(tmp_path, withPathBound))
    texts = legendTexts(fig)
    assert any(t.startswith("Phase 1 list: mean 56.95 [") for t in texts)
    assert any(t.startswith("Phase 2 (list with arcs): mean 54.38 [") for t in texts)
    assert "critical path (nominal durations) 38" in texts
    assert "expected longest path 43.21" in texts
    assert not any("lower bound" in t for t in texts)
    hist = fig.axes[0]
    lines = {line.get_gid(): line.get_xdata()[0] for line in hist.lines if line.get_gid()}
    assert lines["critical-path"] == 38 and lines["path-bound"] == 43.21


def test_olderSamplesWithoutAPathBoundDrawNoPathLine(tmp_path):
    fig = figureOf(SAMPLES, group=1, instance=1)
    assert not any(line.get_gid() == "path-bound" for ax in fig.axes for line in ax.lines)
    assert not any("longest path" in t for t in legendTexts(fig))


def test_theDifferencePanelHoldsPhase2MinusPhase1RunByRun(tmp_path):
    path = records(tmp_path)
    chosen = distribution.selectRecords(readSamples(path), None, None, None, path)
    fig = distribution.distributionFigure(chosen)
    panel = fig.axes[2]
    diff = np.asarray(chosen[1]["makespans"]) - np.asarray(chosen[0]["makespans"])
    mean = [line for line in panel.lines if line.get_gid() == "difference-mean"][0]
    assert mean.get_xdata()[0] == pytest.approx(diff.mean())
    title = panel.get_title(loc="left")
    assert f"Phase 2 shorter in {(diff < 0).sum()}, equal in {(diff == 0).sum()}, longer in {(diff > 0).sum()}" \
        f" of {len(diff)} runs" in title
    assert "the two policies are the same" not in fig._suptitle.get_text()


def test_identicalMakespansAreSaidToBeTheSamePolicy(tmp_path):
    first = json.loads(open(SAMPLES).readline())
    path = records(tmp_path, lambda r: dict(r, makespans=first["makespans"]))
    fig = figureOf(path)
    assert fig._suptitle.get_text().endswith("(the two policies are the same)")
    notes = [t.get_text() for t in fig.axes[2].texts]
    assert notes == ["The two policies are the same here: identical makespans in all 40 runs"]


def test_unpairedRunsAreRefused(tmp_path):
    path = records(tmp_path, lambda r: dict(r, makespans=r["makespans"][:10]) if r["policy"] == "ph2" else r)
    with pytest.raises(InputError, match="line 2: 10 runs of seed 1 against ph1's 40 of seed 1: not paired"):
        figureOf(path)


def lftRecord(record):
    if record["policy"] == "ph2":
        record = {k: v for k, v in record.items() if k not in ("distribution", "config")}
        record.update(method="LFT", policy="RB")
    return record


def test_aOnePolicyMethodIsDrawnAloneAndChosenByMethod(tmp_path, capsys):
    path = records(tmp_path, lftRecord)
    with pytest.raises(InputError, match="records of methods HV, LFT for this instance; choose one with --method"):
        figureOf(path)
    fig = figureOf(path, method="LFT")
    assert any(t.startswith("LFT (RB): mean") for t in legendTexts(fig))
    assert len(fig.axes) == 2     # no difference panel for one policy
    assert "method LFT" in fig._suptitle.get_text()
    out = tmp_path / "lft"
    assert main(["distribution", path, "--method", "LFT", "--eval-dist", "U2", "-o", str(out)]) == 0
    assert (tmp_path / "lft.png").exists()


@pytest.mark.parametrize("change, expected", [
    (lambda r: dict(r, policy="XY"), "line 1: 'policy' is 'XY', not one of ph1, ph2, AB, RB, RBA"),
    (lambda r: dict(r, path_bound="high"), "line 1: column 'path_bound': 'high' is not a number"),
    (lambda r: {k: v for k, v in r.items() if k != "distribution"}, "line 1: key 'distribution' missing"),
])
def test_badSampleFieldsAreNamed(tmp_path, capsys, change, expected):
    path = records(tmp_path, lambda r: change(r) if r["policy"] == "ph1" else r)
    assert main(["distribution", path, "-o", str(tmp_path / "out")]) == 2
    err = capsys.readouterr().err
    assert err.count("\n") == 1 and expected in err, err
    assert not (tmp_path / "out.png").exists()


# ---- overview: points, Phase 1 visible, pooled seeds, the bias panel ----

def batchWithSeeds(tmp_path, seeds=("1", "2")):
    """The fixture's batch rows once per run seed (seed 2 with Phase 2 gaps one point lower)."""
    lines = open(os.path.join(FIXTURES, "batch.csv")).read().splitlines()
    out = [lines[0]]
    for seed in seeds:
        for line in lines[1:]:
            fields = line.split(",")
            fields[4] = seed
            if seed == "2":
                fields[15] = repr(float(fields[15]) - 1.0)
            out.append(",".join(fields))
    path = tmp_path / "batch.csv"
    path.write_text("\n".join(out) + "\n")
    return str(path)


def test_overviewDrawsUnjoinedPointsWithPhase1OnTopAndSaysItPoolsSeeds(tmp_path):
    from tarvoplot import overview
    from tarvoplot.inputs import readTable
    rows = readTable(batchWithSeeds(tmp_path), overview.BATCH_COLUMNS, ("ph1_gap", "smaller_gap"))
    single = readTable(os.path.join(FIXTURES, "batch.csv"), overview.BATCH_COLUMNS, ("ph1_gap", "smaller_gap"))
    fig = overview.overviewFigure(rows, [])
    top = fig.axes[0]
    series = {line.get_gid(): line for line in top.lines if line.get_gid()}
    assert series and all(line.get_linestyle() == "None" for line in series.values())
    for gid, line in series.items():
        if gid.startswith("ph1-"):
            partner = series["ph2-" + gid[4:]]
            assert line.get_zorder() > partner.get_zorder() and line.get_markerfacecolor() == "white"
            assert list(line.get_xdata()) == list(partner.get_xdata())
    # Two series side by side within a group, never at one x.
    xs = [x for gid, line in series.items() if gid.startswith("ph2-") for x in line.get_xdata()]
    assert len(xs) == len(set(xs))
    assert top.get_title(loc="left").endswith("2 seeds pooled (1, 2)")
    # Pooling averages the seeds: seed 2's Phase 2 gaps are one point lower.
    pooled, alone = overview.groupAverages(rows), overview.groupAverages(single)
    for key in alone:
        for g in alone[key]:
            assert pooled[key][g] == pytest.approx((alone[key][g][0], alone[key][g][1] - 0.5))
    assert overview.overviewFigure(single, []).axes[0].get_title(loc="left").endswith("one seed each")


def test_theBiasPanelShowsATinyBiasClearOfZero(tmp_path):
    from tarvoplot import overview
    from tarvoplot.inputs import readTable
    lines = open(os.path.join(FIXTURES, "eval.csv")).read().splitlines()
    header = lines[0].split(",")
    out = [lines[0]]
    for line in lines[1:]:
        fields = line.split(",")
        # in_sample 0.05 % below the mean: a bias of 0.05 % of the mean.
        mean = float(fields[header.index("mean")])
        fields[header.index("in_sample")] = repr(mean * (1 - 0.0005))
        out.append(",".join(fields))
    path = tmp_path / "eval.csv"
    path.write_text("\n".join(out) + "\n")
    evalRows = readTable(str(path), overview.EVAL_COLUMNS, ("lower_bound", "gap"))
    batch = readTable(os.path.join(FIXTURES, "batch.csv"), overview.BATCH_COLUMNS, ("ph1_gap", "smaller_gap"))
    points, _ = overview.inSamplePoints(evalRows)
    assert points and all(p[4] == pytest.approx(0.05) for p in points)
    fig = overview.overviewFigure(batch, evalRows)
    bottom = fig.axes[1]
    low, high = bottom.get_ylim()
    assert low <= 0 < 0.05 <= high and high - low < 1.0   # 0.05 % spans a visible share of the axis
    assert "Bias: out-of-sample − in-sample" in bottom.get_ylabel()


# ---- gantt: a J120 chart on one page, the bound's label, the title of a CSV chart ----

def j120Schedule(tmp_path):
    """122 activities (120 real) spread over 320 periods, four resources, as tarvo schedule writes them."""
    import random
    rng = random.Random(3)
    acts = []
    for a in range(1, 123):
        d = 0 if a in (1, 122) else rng.randint(1, 10)
        start = 0 if a == 1 else 320 if a == 122 else rng.randint(0, 300)
        acts.append({"activity": a, "start": start, "finish": start + d, "duration": d,
                     "requirements": [rng.randint(0, 5) for _ in range(4)], "critical": int(rng.random() < 0.2)})
    record = {"dataset": "J120", "distribution": "U1", "method": "LV", "group": 1, "instance": 1, "policy": "ph2",
              "scenario": "nominal", "lower_bound": 250, "makespan": 320, "capacities": [20] * 4,
              "activities": acts, "arcs": [[5, 9, 2], [10, 40, 1]]}
    path = tmp_path / "j120.json"
    path.write_text(json.dumps(record))
    return str(path)


@pytest.mark.parametrize("profile", [False, True])
def test_aJ120ChartFitsAPageOf7By9InchesAt6PointsOrMore(tmp_path, profile):
    import matplotlib.image
    from matplotlib.text import Text
    from tarvoplot import gantt, style
    from tarvoplot.inputs import readSchedule
    schedule = readSchedule(j120Schedule(tmp_path))
    fig = gantt.ganttFigure(schedule, profile)
    fig.canvas.draw()
    texts = [t for t in fig.findobj(Text) if t.get_visible() and t.get_text()]
    assert min(t.get_fontsize() for t in texts) >= 6
    # Every activity is labelled once, on one side or the other.
    chart = [fig.axes[0]] + [ax for ax in fig.axes if ax.get_gid() == "right-labels"]
    labels = [t.get_text() for ax in chart for t in ax.get_yticklabels()]
    assert sorted(map(int, labels)) == list(range(2, 122))
    png = style.save(fig, str(tmp_path / "chart"), 100)[0]
    height, width = matplotlib.image.imread(png).shape[:2]
    assert width <= 700 and height <= 900, (width, height)


def test_theGanttNamesTheCriticalPathAndACsvChartSaysWhatItLacks(tmp_path, capsys):
    from tarvoplot import gantt
    from tarvoplot.inputs import readSchedule
    fig = gantt.ganttFigure(readSchedule(os.path.join(FIXTURES, "schedule.json")))
    texts = [t.get_text() for t in fig.axes[0].get_legend().get_texts()]
    assert "critical path (nominal durations) 6" in texts and not any("lower bound" in t for t in texts)
    csvPath = os.path.join(FIXTURES, "schedule.csv")
    assert "instance, policy and scenario not recorded" in readSchedule(csvPath).title
    assert main(["gantt", csvPath, "-o", str(tmp_path / "a")]) == 0
    assert "records no instance, policy or scenario" in capsys.readouterr().err
    title = "J30 group 1 instance 8, ph2, scenario 1 (U2)"
    assert main(["gantt", csvPath, "--title", title, "-o", str(tmp_path / "b")]) == 0
    assert capsys.readouterr().err == ""
    assert title in (tmp_path / "b.svg").read_text()
