# Tests of tarvoplot compare: the t quantile against SciPy, the sorted differences, colours and the
# mean interval drawn from the rows, and every bad row of the compare CSV named in one line.
import math
import os
import random

import pytest

from conftest import FIXTURES
from tarvoplot import compare
from tarvoplot.__main__ import main
from tarvoplot.inputs import readTable
from tarvoplot.tquantile import meanInterval95, tQuantile

CSV = os.path.join(FIXTURES, "compare.csv")


def test_tQuantileMatchesScipyAndTheClosedForms():
    scipy = pytest.importorskip("scipy.stats")
    # One degree of freedom is Cauchy, two have t = sqrt(2/(1-q^2) - 2) with q = 2p - 1.
    assert tQuantile(0.975, 1) == pytest.approx(math.tan(0.475 * math.pi), rel=1e-14)
    assert tQuantile(0.975, 2) == pytest.approx(math.sqrt(2 / (1 - 0.95 ** 2) - 2), rel=1e-14)
    for df in (3, 4, 5, 6, 9, 29, 30, 31, 47, 59, 479, 2039):
        for p in (0.9, 0.975, 0.995):
            assert tQuantile(p, df) == pytest.approx(scipy.t.ppf(p, df), rel=1e-8), (p, df)
    with pytest.raises(ValueError):
        tQuantile(0.975, 0)


def test_meanIntervalIsThePairedTInterval():
    scipy = pytest.importorskip("scipy.stats")
    rng = random.Random(5)
    values = [rng.gauss(-0.3, 1.0) for _ in range(37)]
    mean, half, n = meanInterval95(values)
    low, high = scipy.t.interval(0.95, n - 1, loc=scipy.tmean(values), scale=scipy.sem(values))
    assert (n, mean - half, mean + half) == (37, pytest.approx(low, rel=1e-9), pytest.approx(high, rel=1e-9))
    assert meanInterval95([2.5]) == (2.5, 0.0, 1)


def groups():
    return compare.panels(readTable(CSV, compare.COMPARE_COLUMNS, compare.COMPARE_NUMBERS))


def test_onePanelPerOtherPolicyWithSortedDifferencesColouredByVerdict():
    fig = compare.compareFigure(groups())
    assert len(fig.axes) == 2
    hv = fig.axes[0]
    assert "J30 under U2: HV − LV, 4 instances, 1000 runs each (seed 1)" in hv.get_title(loc="left")
    points = {c.get_gid(): c for c in hv.collections if (c.get_gid() or "").startswith("points-")}
    # Sorted: j301_1 -1.0, j302_1 -0.4, j301_2 0.1, j301_3 0.5.
    assert [list(map(tuple, points[f"points-{v}"].get_offsets())) for v in compare.VERDICTS] == \
        [[(1, -1.0), (2, -0.4)], [(4, 0.5)], [(3, 0.1)]]
    assert [t.get_text() for t in hv.get_xticklabels()] == ["j301_1", "j302_1", "j301_2", "j301_3"]
    # Better and worse in their own colours; j302_1 better at 5 % only: hollow.
    faces = points["points-better"].get_facecolors()
    assert tuple(faces[0][:3]) != tuple(faces[1][:3]) and tuple(faces[1][:3]) == (1.0, 1.0, 1.0)
    edge = {v: tuple(points[f"points-{v}"].get_edgecolors()[0][:3]) for v in compare.VERDICTS}
    assert len(set(edge.values())) == 3
    mean = [line for line in hv.lines if line.get_gid() == "mean-line"][0]
    assert mean.get_ydata()[0] == pytest.approx(-0.2)
    zero = [line for line in hv.lines if line.get_gid() == "zero"][0]
    assert zero.get_ydata()[0] == 0
    labels = [t.get_text() for t in hv.get_legend().get_texts()]
    assert "HV better: 2 at 5 %, 1 after Holm" in labels
    assert "HV worse: 1 at 5 %, 0 after Holm" in labels
    half = tQuantile(0.975, 3) * math.sqrt(sum((d + 0.2) ** 2 for d in (-1, 0.1, 0.5, -0.4)) / 3) / 2
    assert f"mean -0.2 [{-0.2 - half:.3g}, {-0.2 + half:.3g}]" in labels


def test_choosingOnePairGivesOnePanel():
    rows = readTable(CSV, compare.COMPARE_COLUMNS, compare.COMPARE_NUMBERS)
    chosen = compare.panels(rows, "U2", "mine")
    assert [key for key, _ in chosen] == [("U2", "mine")] and len(chosen[0][1]) == 4


def edited(tmp_path, old, new, extra=""):
    text = open(CSV).read()
    assert old in text
    path = tmp_path / "compare.csv"
    path.write_text(text.replace(old, new, 1) + extra)
    return str(path)


def manyPanels(tmp_path):
    lines = open(CSV).read().splitlines()
    rows = [lines[1].replace(",HV,", f",P{k},") for k in range(compare.MAX_PANELS + 1)]
    path = tmp_path / "compare.csv"
    path.write_text("\n".join([lines[0]] + rows) + "\n")
    return str(path)


BAD = [
    (lambda t: [edited(t, "verdict_holm", "holm")], "column 'verdict_holm' missing"),
    (lambda t: [edited(t, ",better,better", ",maybe,better")],
     "compare.csv line 2: column 'verdict': 'maybe' is not better, worse or same"),
    (lambda t: [edited(t, "-1.0,0.2,-1.392", "-2.0,0.2,-1.392")], "line 2: diff -2 lies outside its interval"),
    (lambda t: [edited(t, "0.5,0.2,0.108,0.892,0.012,worse", "0.5,0.2,0.108,0.892,0.012,better")],
     "line 4: column 'verdict': 'better' with a difference of 0.5"),
    (lambda t: [edited(t, "0.008,better,same", "0.008,better,worse")], "line 5: column 'verdict_holm': 'worse'"),
    (lambda t: [edited(t, "0.32,same", "1.5,same")], "line 3: column 'p_value': 1.5 is not in 0..1"),
    (lambda t: [edited(t, "0.2,-1.392", "abc,-1.392")], "line 2: column 'diff_stderr': 'abc' is not a number"),
    (lambda t: [edited(t, "J30,U2,1000,1,1,2,j301_2", "J60,U2,1000,1,1,2,j301_2")],
     "line 3: dataset 'J60' where earlier rows have 'J30'"),
    (lambda t: [edited(t, ",j301_2,", ",j301_1,")], "line 3: instance j301_1 a second time for HV under U2"),
    (lambda t: [edited(t, ",j301_2,", ",,")], "line 3: column 'stem' is empty"),
    (lambda t: [manyPanels(t)], "7 pairs of evaluation distribution and other policy"),
    (lambda t: [CSV, "--eval-dist", "B1"], "no row for evaluation distribution B1"),
    (lambda t: [CSV, "--other", "LFT-RB"], "no row for other policy 'LFT-RB'"),
    (lambda t: [edited(t, "J30,U2,1000,1,1,1,j301_1", "J30,U2,1000,1,1,1")], "line 2: 20 columns expected"),
]


@pytest.mark.parametrize("case", range(len(BAD)))
def test_badCompareRowsGiveOneLineNamingThem(case, tmp_path, capsys):
    make, expected = BAD[case]
    assert main(["compare"] + make(tmp_path) + ["-o", str(tmp_path / "out")]) == 2
    err = capsys.readouterr().err
    assert err.count("\n") == 1 and err.startswith("tarvoplot: "), err
    assert expected in err, err
    assert not (tmp_path / "out.png").exists()


def test_gapDifferencesArePointsOfPercentOfTheCriticalPath(tmp_path, capsys):
    fig = compare.compareFigure(groups(), gap=True)
    hv = fig.axes[0]
    points = {c.get_gid(): c for c in hv.collections if (c.get_gid() or "").startswith("points-")}
    # j301_1: -1.0 over 38; j302_1: -0.4 over 50; j301_2: 0.1 over 40; j301_3: 0.5 over 45.
    ys = [y for v in compare.VERDICTS for _, y in points[f"points-{v}"].get_offsets()]
    assert sorted(ys) == pytest.approx(sorted([-100 / 38, -40 / 50, 10 / 40, 50 / 45]))
    mean = [line for line in hv.lines if line.get_gid() == "mean-line"][0].get_ydata()[0]
    assert mean == pytest.approx((-100 / 38 - 40 / 50 + 10 / 40 + 50 / 45) / 4)
    assert "points of %" in hv.get_ylabel()
    bad = edited(tmp_path, "j301_2,40,", "j301_2,0,")
    assert main(["compare", bad, "--gap", "-o", str(tmp_path / "out")]) == 2
    assert "line 3: column 'lower_bound': '0' is not a positive number" in capsys.readouterr().err
