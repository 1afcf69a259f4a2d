# Overview of runs: the average gap per parameter group (per instance, in the run's order of files,
# for a file run, which has no groups), as points per distribution for Phase 1 and Phase 2, from
# batch results files; with evaluation files, a second panel of the search's in-sample gap against
# the bias of that estimate against an independent evaluation of the same policy.
from matplotlib.lines import Line2D

from . import InputError, style

BATCH_COLUMNS = ["dataset", "distribution", "method", "config", "group", "instance", "inst", "ph1_gap",
                 "smaller_gap"]
EVAL_COLUMNS = ["dataset", "distribution", "eval_distribution", "method", "group", "instance", "policy",
                "lower_bound", "in_sample", "mean", "gap"]


def _distKey(d):
    return (style.DIST_ORDER.index(d) if d in style.DIST_ORDER else len(style.DIST_ORDER), d)


def byInstance(rows):
    """True when the rows come from file runs, whose group column is empty: the x axis is then the
    instance's place in the run (inst, 1..N). PSPLIB sets and file runs do not share one axis."""
    empty = [row["group"] == "" for row in rows]
    if any(empty) and not all(empty):
        where = rows[empty.index(not empty[0])]["_where"]
        raise InputError(f"{where}: a file run's rows (no group) and a PSPLIB set's cannot share one overview")
    return bool(empty) and empty[0]


def _whole(row, column):
    text = row[column]
    if not text.isdigit():
        raise InputError(f"{row['_where']}: column '{column}': '{text}' is not a whole number")
    return int(text)


def groupAverages(rows):
    """{(dataset, distribution, method, config): {x: (mean Phase 1 gap, mean Phase 2 gap)}} with x
    the parameter group, or a file run's instance number; Phase 2 takes the smaller gap per instance,
    as the report's average does. Several seeds of one configuration are pooled."""
    column = "inst" if byInstance(rows) else "group"
    sums = {}
    for row in rows:
        key = (row["dataset"], row["distribution"], row["method"], row["config"])
        group = _whole(row, column)
        s = sums.setdefault(key, {}).setdefault(group, [0.0, 0.0, 0])
        s[0] += row["ph1_gap"]
        s[1] += row["smaller_gap"]
        s[2] += 1
    return {key: {g: (s[0] / s[2], s[1] / s[2]) for g, s in groups.items()} for key, groups in sums.items()}


def pooledSeeds(rows):
    """{(dataset, distribution, method, config): sorted run seeds} of the rows that carry run_seed."""
    seeds = {}
    for row in rows:
        if row.get("run_seed", "") != "":
            key = (row["dataset"], row["distribution"], row["method"], row["config"])
            seeds.setdefault(key, set()).add(row["run_seed"])
    return {key: sorted(values, key=lambda v: (len(v), v)) for key, values in seeds.items()}


def seedsCaption(seeds):
    """What the points pool, said in the caption: several seeds of one configuration are averaged."""
    counts = sorted({len(v) for v in seeds.values()})
    if not counts or counts == [1]:
        return "one seed each" if counts else "seeds not recorded"
    if len(counts) == 1 and len({tuple(v) for v in seeds.values()}) == 1:
        return f"{counts[0]} seeds pooled ({', '.join(next(iter(seeds.values())))})"
    return f"{counts[0]}-{counts[-1]} seeds pooled per series"


def _drawGroups(ax, averages, instances=False):
    keys = sorted(averages, key=lambda k: (k[0], _distKey(k[1]), k[2], k[3]))
    several = len({(k[0], k[3]) for k in keys}) > 1   # data sets or configurations to tell apart
    # A marker per distribution as well as a colour: points that lie close stay apart in grey print.
    markers = ["o", "s", "^", "D", "v", "P", "X", "*"]
    # Groups are unrelated problems: points, not lines. The series sit side by side within a group,
    # and each Phase 1 point (hollow, on top) is tied to its Phase 2 point by a thin stroke, so
    # neither hides the other.
    step = 0.8 / len(keys)
    for i, key in enumerate(keys):
        dataset, dist, method, config = key
        groups = sorted(averages[key])
        colour = style.DIST_COLOURS.get(dist, style.GREY)
        marker = markers[_distKey(dist)[0] if not several else i % len(markers)]
        name = f"{dataset} {dist} {method} {config}" if several else f"{dist} ({method})"
        xs = [g + (i - (len(keys) - 1) / 2) * step for g in groups]
        ph1 = [averages[key][g][0] for g in groups]
        ph2 = [averages[key][g][1] for g in groups]
        ax.vlines(xs, ph1, ph2, color=colour, linewidth=0.6, zorder=2)
        ax.plot(xs, ph2, color=colour, linestyle="none", marker=marker, markersize=4, zorder=3,
                label=name, gid=f"ph2-{name}")
        ax.plot(xs, ph1, color=colour, linestyle="none", marker=marker, markersize=4.5, markerfacecolor="white",
                markeredgewidth=0.9, zorder=4, gid=f"ph1-{name}")
    allGroups = sorted({g for key in keys for g in averages[key]})
    if len(allGroups) <= 16:
        ax.set_xticks(allGroups)
    ax.set_xlabel("Instance (the run's order of files)" if instances else "Parameter group")
    ax.set_ylabel("Average gap above the\ncritical path (%)")
    ax.grid(axis="y", color=style.GREY, linewidth=0.3, alpha=0.5)
    handles, labels = ax.get_legend_handles_labels()
    handles += [Line2D([], [], color=style.BLACK, linestyle="none", marker="o", markersize=4,
                       markerfacecolor="white"),
                Line2D([], [], color=style.BLACK, linestyle="none", marker="o", markersize=4)]
    labels += ["Phase 1 (hollow)", "Phase 2, smaller gap (filled)"]
    ax.legend(handles, labels, frameon=False, loc="upper left", bbox_to_anchor=(1.01, 1.0))


def _searchedUnder(row):
    """Whether the row was evaluated under the distribution searched for: exactly, or drawn from
    its L-level tabulation (eval_distribution U2-L10 for U2)."""
    return row["eval_distribution"].split("-L")[0] == row["distribution"]


def inSamplePoints(rows):
    """(label, policy, in-sample gap, out-of-sample gap) of the rows evaluated under the distribution
    they were searched for: only there is the search's estimate an estimate of it. The label is the
    evaluation distribution with its levels (U2, U2-L10), so evaluations of other levels never
    share one. Also a note of the rows left out (empty when none), for the user."""
    points, other, missing = [], 0, 0
    for row in rows:
        if not _searchedUnder(row):
            other += 1
            continue
        if row["in_sample"] == "":
            missing += 1
            continue
        inSample = _number(row, "in_sample")
        lb = row["lower_bound"]
        if lb <= 0:
            raise InputError(f"{row['_where']}: column 'lower_bound': {lb:g} is not positive")
        mean = _number(row, "mean")
        if mean <= 0:
            raise InputError(f"{row['_where']}: column 'mean': {mean:g} is not positive")
        # The bias as evaluate's summary gives it, in % of the out-of-sample mean, signed so that
        # above 0 the search was optimistic (its estimate below the independent one).
        points.append((row["eval_distribution"], _policyLabel(row), 100.0 * (inSample - lb) / lb, row["gap"],
                       100.0 * (mean - inSample) / mean))
    notes = []
    if other:
        notes.append(f"{other} under another distribution than the one searched for")
    if missing:
        notes.append(f"{missing} without an in-sample figure (no batch results beside the policy file)")
    note = f"evaluation rows left out of the in-sample panel: {'; '.join(notes)}" if notes else ""
    return points, note


def _policyLabel(row):
    """ph1 or ph2 for a batch policy; another method's one policy by its method and rule."""
    return row["policy"] if row["policy"] in ("ph1", "ph2") else f"{row['method']} {row['policy']}"


def _number(row, column):
    try:
        value = float(row[column])
    except ValueError:
        raise InputError(f"{row['_where']}: column '{column}': '{row[column]}' is not a number") from None
    if value != value or value in (float("inf"), float("-inf")):
        raise InputError(f"{row['_where']}: column '{column}': '{row[column]}' is not a finite number")
    return value


def _labelKey(label):
    base, _, levels = label.partition("-L")
    return (_distKey(base), int(levels) if levels.isdigit() else 0)


def _drawInSample(ax, points):
    marker = {"ph1": "o", "ph2": "^"}
    policies = sorted({p[1] for p in points}, key=lambda q: (q not in marker, q))
    for label in sorted({p[0] for p in points}, key=_labelKey):
        dist, _, levels = label.partition("-L")
        for policy in policies:
            mine = [p for p in points if p[0] == label and p[1] == policy]
            if mine:
                # A tabulation's points hollow, the exact distribution's filled, in the same colour.
                colour = style.DIST_COLOURS.get(dist, style.GREY)
                ax.scatter([p[2] for p in mine], [p[4] for p in mine], s=16, marker=marker.get(policy, "s"),
                           color=colour if not levels else "none", edgecolors=colour if levels else "none",
                           alpha=0.7, linewidths=0.8 if levels else 0,
                           label=f"{dist} {policy}" + (f" ({levels} levels)" if levels else ""),
                           gid=f"points-{label}-{policy}")
    # The y axis spans the biases alone, so that one of 0.05 % stands clear of the zero line.
    ax.axhline(0.0, color=style.BLACK, linewidth=0.8, linestyle=(0, (2, 2)), label="no bias", gid="no-bias")
    ax.set_xlabel("In-sample gap of the search above the critical path (%)")
    ax.set_ylabel("Bias: out-of-sample − in-sample\n(% of the out-of-sample mean)")
    ax.grid(color=style.GREY, linewidth=0.3, alpha=0.5)
    ax.legend(frameon=False, loc="upper left", bbox_to_anchor=(1.01, 1.0))


def overviewFigure(batchRows, evalRows, notes=None):
    """The figure; a note of the evaluation rows left out of its second panel is added to notes."""
    averages = groupAverages(batchRows)
    instances = byInstance(batchRows)
    points, note = inSamplePoints(evalRows) if evalRows else ([], "")
    if evalRows and not points:
        raise InputError("evaluation files: no row evaluated under the distribution it was searched for "
                         "with an in-sample figure" + (f" ({note})" if note else ""))
    fig = style.figure(style.PAGE_WIDTH, 2.8 if not points else 5.8)
    if points:
        top, bottom = fig.subplots(2, 1, gridspec_kw={"hspace": 0.45})
    else:
        top = fig.subplots(1, 1)
    _drawGroups(top, averages, instances)
    datasets = sorted({k[0] for k in averages})
    top.set_title(f"{', '.join(datasets)}: " + ("gap per instance" if instances else
                                                 "average gap per parameter group over its instances")
                  + f", {seedsCaption(pooledSeeds(batchRows))}", loc="left")
    if points:
        _drawInSample(bottom, points)
        bottom.set_title("Per instance and policy: bias of the search's estimate against an independent "
                         "evaluation", loc="left")
    if note and notes is not None:
        notes.append(note)
    return fig
