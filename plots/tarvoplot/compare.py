# Picture of `tarvo compare --out`: per instance the paired difference of mean makespans (other
# minus base) with its 95 % interval, sorted, against zero and the mean over the instances.
from matplotlib.lines import Line2D
from matplotlib.patches import Patch

from . import InputError, style
from .tquantile import meanInterval95

COMPARE_COLUMNS = ["dataset", "eval_distribution", "runs", "eval_seed", "group", "instance", "stem",
                   "lower_bound", "path_bound", "base", "other", "base_mean", "other_mean", "diff",
                   "diff_stderr", "diff_ci95_low", "diff_ci95_high", "p_value", "verdict", "verdict_holm"]
COMPARE_NUMBERS = ("base_mean", "other_mean", "diff", "diff_stderr", "diff_ci95_low", "diff_ci95_high",
                   "p_value")
VERDICTS = ("better", "worse", "same")
VERDICT_COLOURS = {"better": style.GREEN, "worse": style.VERMILLION, "same": style.GREY}
# Beyond this many panels the page is a wall of strips; the user picks with --eval-dist / --other.
MAX_PANELS = 6


def _checkRow(row):
    where = row["_where"]
    for column in ("verdict", "verdict_holm"):
        if row[column] not in VERDICTS:
            raise InputError(f"{where}: column '{column}': '{row[column]}' is not better, worse or same")
    if row["stem"] == "":
        raise InputError(f"{where}: column 'stem' is empty")
    if not row["diff_ci95_low"] <= row["diff"] <= row["diff_ci95_high"]:
        raise InputError(f"{where}: diff {row['diff']:g} lies outside its interval "
                         f"[{row['diff_ci95_low']:g}, {row['diff_ci95_high']:g}]")
    if row["diff_stderr"] < 0:
        raise InputError(f"{where}: column 'diff_stderr': {row['diff_stderr']:g} is below 0")
    if not 0 <= row["p_value"] <= 1:
        raise InputError(f"{where}: column 'p_value': {row['p_value']:g} is not in 0..1")
    # The verdicts are drawn as read; one contradicting its own difference would mislead.
    for column in ("verdict", "verdict_holm"):
        v = row[column]
        if (v == "better" and row["diff"] >= 0) or (v == "worse" and row["diff"] <= 0):
            raise InputError(f"{where}: column '{column}': '{v}' with a difference of {row['diff']:g}")
    if row["verdict_holm"] != "same" and row["verdict"] != row["verdict_holm"]:
        raise InputError(f"{where}: '{row['verdict_holm']}' after Holm but '{row['verdict']}' at 5 %")


def panels(rows, evalDist=None, other=None):
    """[((eval_distribution, other), rows)] in the order of first appearance, after the choice of
    --eval-dist and --other; one data set and one base throughout, each instance once a panel."""
    for row in rows:
        _checkRow(row)
    for column in ("dataset", "base"):
        values = sorted({row[column] for row in rows})
        if len(values) > 1:
            where = next(row["_where"] for row in rows if row[column] != rows[0][column])
            raise InputError(f"{where}: {column} '{values[1] if values[0] == rows[0][column] else values[0]}' "
                             f"where earlier rows have '{rows[0][column]}'; one {column} a picture")
    chosen = [row for row in rows if (evalDist is None or row["eval_distribution"] == evalDist)
              and (other is None or row["other"] == other)]
    if not chosen:
        what = " and ".join(x for x in (evalDist and f"evaluation distribution {evalDist}",
                                          other and f"other policy '{other}'") if x)
        raise InputError(f"{rows[0]['_where'].rsplit(' line ', 1)[0]}: no row for {what}")
    grouped = {}
    for row in chosen:
        key = (row["eval_distribution"], row["other"])
        mine = grouped.setdefault(key, {})
        if row["stem"] in mine:
            raise InputError(f"{row['_where']}: instance {row['stem']} a second time for "
                             f"{row['other']} under {row['eval_distribution']}")
        mine[row["stem"]] = row
    if len(grouped) > MAX_PANELS:
        raise InputError(f"{len(grouped)} pairs of evaluation distribution and other policy, at most "
                         f"{MAX_PANELS} a picture; choose with --eval-dist or --other")
    return [(key, list(mine.values())) for key, mine in grouped.items()]


def _counts(rows, column):
    return {v: sum(1 for r in rows if r[column] == v) for v in VERDICTS}


def _scale(row, gap):
    """1 for periods; 100 / lower bound for the difference of gaps above the critical path (in
    points of %), the measure of the compare table's mean paired difference of gaps."""
    if not gap:
        return 1.0
    try:
        bound = float(row["lower_bound"])
    except ValueError:
        bound = float("nan")
    if not bound > 0 or bound == float("inf"):
        raise InputError(f"{row['_where']}: column 'lower_bound': '{row['lower_bound']}' is not a positive number")
    return 100.0 / bound


def drawPanel(ax, key, rows, gap=False):
    dist, other = key
    for r in rows:
        k = _scale(r, gap)
        r["_y"], r["_low"], r["_high"] = r["diff"] * k, r["diff_ci95_low"] * k, r["diff_ci95_high"] * k
    rows = sorted(rows, key=lambda r: (r["_y"], r["stem"]))
    xs = list(range(1, len(rows) + 1))
    ys = [r["_y"] for r in rows]
    mean, half, n = meanInterval95(ys)
    # The band under the instances, the mean line over them: the summary stays in sight.
    ax.axhspan(mean - half, mean + half, color=style.BLUE, alpha=0.18, linewidth=0, zorder=1,
               gid="mean-interval")
    ax.axhline(mean, color=style.BLUE, linewidth=1.2, zorder=5, gid="mean-line")
    ax.axhline(0.0, color=style.BLACK, linewidth=0.8, linestyle=(0, (4, 2)), zorder=2, gid="zero")
    small = len(rows) > 120
    for verdict in VERDICTS:
        mine = [(x, r) for x, r in zip(xs, rows) if r["verdict"] == verdict]
        if not mine:
            continue
        colour = VERDICT_COLOURS[verdict]
        bars = ax.errorbar([x for x, _ in mine], [r["_y"] for _, r in mine],
                           yerr=[[r["_y"] - r["_low"] for _, r in mine], [r["_high"] - r["_y"] for _, r in mine]],
                           fmt="none", ecolor=colour, elinewidth=0.5 if small else 0.8, zorder=3)
        bars.lines[2][0].set_gid(f"intervals-{verdict}")
        # Filled: still significant after the Holm correction over the instances; hollow: at 5 % only.
        holm = [r["verdict_holm"] != "same" or verdict == "same" for _, r in mine]
        ax.scatter([x for x, _ in mine], [r["_y"] for _, r in mine], s=6 if small else 14, zorder=4,
                   facecolors=[colour if h else "white" for h in holm], edgecolors=colour,
                   linewidths=0.6, gid=f"points-{verdict}")
    at5, holm = _counts(rows, "verdict"), _counts(rows, "verdict_holm")
    runs = sorted({r["runs"] for r in rows})
    seeds = sorted({r["eval_seed"] for r in rows})
    ax.set_title(f"{rows[0]['dataset']} under {dist}: {other} − {rows[0]['base']}, "
                 f"{n} instances, {'/'.join(runs)} runs each (seed {'/'.join(seeds)})", loc="left")
    ax.set_ylabel(f"{other} − {rows[0]['base']}\n" + ("(gap above the critical\npath, points of %)" if gap
                                                     else "(mean makespan, periods)"))
    if len(rows) <= 30:
        ax.set_xticks(xs)
        ax.set_xticklabels([r["stem"] for r in rows], rotation=90, fontsize=6)
    ax.set_xlim(0, len(rows) + 1)
    ax.grid(axis="y", color=style.GREY, linewidth=0.3, alpha=0.5)
    handles = [Line2D([], [], color=VERDICT_COLOURS["better"], marker="o", markersize=4, linewidth=0.8),
               Line2D([], [], color=VERDICT_COLOURS["worse"], marker="o", markersize=4, linewidth=0.8),
               Line2D([], [], color=VERDICT_COLOURS["same"], marker="o", markersize=4, linewidth=0.8),
               Line2D([], [], color=style.BLACK, marker="o", markersize=4, markerfacecolor="white",
                      linestyle="none"),
               Line2D([], [], color=style.BLUE, linewidth=1.2),
               Line2D([], [], color=style.BLACK, linewidth=0.8, linestyle=(0, (4, 2)))]
    labels = [f"{other} better: {at5['better']} at 5 %, {holm['better']} after Holm",
              f"{other} worse: {at5['worse']} at 5 %, {holm['worse']} after Holm",
              f"not different: {at5['same']} at 5 %, {holm['same']} after Holm",
              "hollow: at 5 % only, not after Holm",
              f"mean {mean:.3g} [{mean - half:.3g}, {mean + half:.3g}]",
              "zero: no difference"]
    handles.append(Patch(color=style.BLUE, alpha=0.18, linewidth=0))
    labels.append(f"95 % interval of the mean\n(paired t over {n} instances)")
    ax.legend(handles, labels, frameon=False, loc="upper left", bbox_to_anchor=(1.01, 1.0))
    return mean, half


def compareFigure(groups, title=None, gap=False):
    """One panel per (evaluation distribution, other policy), stacked on a shared layout."""
    height = 3.0 if len(groups) == 1 else 2.6
    fig = style.figure(style.PAGE_WIDTH, height * len(groups) + 0.4)
    axes = fig.subplots(len(groups), 1, squeeze=False)[:, 0]
    for ax, (key, rows) in zip(axes, groups):
        drawPanel(ax, key, rows, gap)
    axes[-1].set_xlabel("Instances, sorted by the difference\n(bars: each instance's 95 % interval)")
    if title:
        fig.suptitle(title, x=0.01, ha="left", fontsize=9)
    fig.tight_layout()
    return fig
