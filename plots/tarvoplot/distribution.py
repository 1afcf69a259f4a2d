# Makespan distributions of the policies of one instance, from `tarvo evaluate --samples`: histogram
# and empirical CDF with each mean and its 95 % interval, the critical path of the nominal
# durations and the expected longest path, and Phase 2 minus Phase 1 run by run in a panel of its own.
import math

import numpy as np
from matplotlib.lines import Line2D
from matplotlib.patches import Patch

from . import InputError, style
from .tquantile import meanInterval95

# The names the pictures give the policies: what each one runs, not the program's short codes.
POLICY_NAMES = {"ph1": "Phase 1 list", "ph2": "Phase 2 (list with arcs)"}
RULE_COLOURS = {"AB": style.GREEN, "RB": style.PURPLE, "RBA": style.ORANGE}
CRITICAL_PATH = "critical path (nominal durations)"
PATH_BOUND = "expected longest path"


def policyName(record):
    if record["policy"] in POLICY_NAMES:
        return POLICY_NAMES[record["policy"]]
    return f"{record['method']} ({record['policy']})"


def policyColour(record):
    return style.POLICY_COLOURS.get(record["policy"]) or RULE_COLOURS.get(record["policy"], style.GREY)


def instanceName(record):
    """How a title names the record's instance: a file run's stem, or group and instance."""
    if "stem" in record:
        return str(record["stem"])
    return f"group {record['group']} instance {record['instance']}"


def selectRecords(records, group, instance, evalDist, path, stem=None, method=None):
    """The records of one instance and method (ph1 then ph2, or a one-policy method's record), by
    group and instance or a file run's stem, under one evaluation distribution."""
    chosen = [r for r in records if (group is None or r.get("group") == group)
              and (instance is None or r.get("instance") == instance)
              and (stem is None or r.get("stem") == stem)]
    if not chosen:
        which = f"stem '{stem}'" if stem is not None else f"group {group} instance {instance}"
        raise InputError(f"{path}: no record for {which}")
    places = {(r["dataset"], r.get("group"), r.get("instance"), r.get("stem")) for r in chosen}
    if len(places) > 1:
        how = "--stem" if all("stem" in r for r in chosen) else "--group and --instance"
        raise InputError(f"{path}: records of {len(places)} instances; choose one with {how}")
    if method is not None:
        chosen = [r for r in chosen if r["method"] == method]
        if not chosen:
            raise InputError(f"{path}: no record of method '{method}' for this instance")
    keys = {(r.get("distribution"), r["method"]) for r in chosen}
    if len(keys) > 1:
        methods = sorted({r["method"] for r in chosen})
        if len(methods) > 1:
            raise InputError(f"{path}: records of methods {', '.join(methods)} for this instance; "
                             f"choose one with --method")
        raise InputError(f"{path}: records of {len(keys)} policy files of method {methods[0]} for this "
                         f"instance (searched under several distributions)")
    dists = sorted({r["eval_distribution"] for r in chosen})
    if evalDist is None:
        # Default: the distribution the policy was searched for, else the only one there is.
        searched = chosen[0].get("distribution")
        evalDist = searched if searched in dists else (dists[0] if len(dists) == 1 else None)
        if evalDist is None:
            raise InputError(f"{path}: evaluated under {', '.join(dists)}; choose one with --eval-dist")
    chosen = [r for r in chosen if r["eval_distribution"] == evalDist]
    if not chosen:
        raise InputError(f"{path}: no record evaluated under {evalDist}")
    byPolicy = {}
    for r in chosen:
        if r["policy"] in byPolicy:
            raise InputError(f"{r['_where']}: a second '{r['policy']}' record of the same instance")
        byPolicy[r["policy"]] = r
    if len(byPolicy) > 1 and not set(byPolicy) <= {"ph1", "ph2"}:
        raise InputError(f"{path}: policies {', '.join(sorted(byPolicy))} of one method and instance")
    picked = [byPolicy[p] for p in ("ph1", "ph2", "AB", "RB", "RBA") if p in byPolicy]
    if len(picked) == 2:
        ph1, ph2 = picked
        # Run k of both policies must be one scenario, or the run-by-run difference means nothing.
        if len(ph1["makespans"]) != len(ph2["makespans"]) or ph1.get("eval_seed") != ph2.get("eval_seed"):
            raise InputError(f"{ph2['_where']}: {len(ph2['makespans'])} runs of seed {ph2.get('eval_seed')} "
                             f"against ph1's {len(ph1['makespans'])} of seed {ph1.get('eval_seed')}: not paired")
    return picked


def meanInterval(spans):
    """Mean and t 95 % interval of the mean of the runs."""
    mean, half, _ = meanInterval95([float(v) for v in spans])
    return mean, mean - half, mean + half


def _bins(values):
    return np.histogram_bin_edges(values, bins=min(60, max(10, int(math.sqrt(len(values))))))


def _drawSpans(hist, cdf, records):
    every = np.concatenate([np.asarray(r["makespans"]) for r in records])
    edges = _bins(every)
    for r in records:
        colour = policyColour(r)
        spans = np.asarray(r["makespans"], dtype=float)
        mean, low, high = meanInterval(spans)
        label = f"{policyName(r)}: mean {mean:.2f} [{low:.2f}, {high:.2f}]"
        weights = np.full(len(spans), 1.0 / len(spans))
        hist.hist(spans, bins=edges, weights=weights, histtype="stepfilled", alpha=0.3, color=colour)
        hist.hist(spans, bins=edges, weights=weights, histtype="step", color=colour, linewidth=1.0,
                  label=label)
        xs = np.sort(spans)
        cdf.step(xs, np.arange(1, len(xs) + 1) / len(xs), where="post", color=colour, linewidth=1.0,
                 gid=f"cdf-{r['policy']}")
        for ax in (hist, cdf):
            ax.axvspan(low, high, color=colour, alpha=0.25, linewidth=0)
            ax.axvline(mean, color=colour, linestyle=(0, (4, 2)), linewidth=1.0)
    first = records[0]
    bounds = []
    for ax in (hist, cdf):
        bounds = [ax.axvline(first["lower_bound"], color=style.BLACK, linewidth=1.2, gid="critical-path",
                             label=f"{CRITICAL_PATH} {first['lower_bound']:g}")]
        if "path_bound" in first:
            bounds.append(ax.axvline(first["path_bound"], color=style.BLACK, linestyle=(0, (1, 1.5)),
                                     linewidth=1.4, gid="path-bound",
                                     label=f"{PATH_BOUND} {first['path_bound']:.2f}"))
        ax.set_xlabel("Makespan (periods)")
    hist.set_ylabel("Share of runs")
    cdf.set_ylabel("Cumulative share of runs")
    cdf.set_ylim(0, 1.02)
    return bounds


def _drawDifference(ax, ph1, ph2):
    """Phase 2 minus Phase 1 in each run (the same scenario for both); says so when they never differ."""
    diff = np.asarray(ph2["makespans"], dtype=float) - np.asarray(ph1["makespans"], dtype=float)
    ax.set_xlabel("Phase 2 − Phase 1 in the same run (periods; below 0: the arcs shortened the run)")
    ax.set_ylabel("Share of runs")
    ax.axvline(0.0, color=style.BLACK, linewidth=0.8, linestyle=(0, (4, 2)), gid="zero")
    if not diff.any():
        ax.set_title("Phase 2 − Phase 1 run by run", loc="left")
        ax.text(0.5, 0.5, f"The two policies are the same here: identical makespans in all {len(diff)} runs",
                transform=ax.transAxes, ha="center", va="center", gid="same-policies")
        ax.set_yticks([])
        ax.set_xticks([0.0])
        ax.set_xlim(-1, 1)
        return True
    mean, low, high = meanInterval(diff)
    weights = np.full(len(diff), 1.0 / len(diff))
    ax.hist(diff, bins=_bins(diff), weights=weights, histtype="stepfilled", color=style.GREY, alpha=0.5,
            edgecolor=style.BLACK, linewidth=0.5, gid="difference")
    ax.axvspan(low, high, color=style.VERMILLION, alpha=0.25, linewidth=0)
    ax.axvline(mean, color=style.VERMILLION, linewidth=1.2, gid="difference-mean")
    shorter, longer = int((diff < 0).sum()), int((diff > 0).sum())
    ax.set_title(f"Phase 2 − Phase 1 run by run: mean {mean:.3f}, 95 % interval [{low:.3f}, {high:.3f}]\n"
                 f"Phase 2 shorter in {shorter}, equal in {len(diff) - shorter - longer}, longer in {longer} "
                 f"of {len(diff)} runs", loc="left")
    return False


def distributionFigure(records):
    paired = [r["policy"] for r in records] == ["ph1", "ph2"]
    fig = style.figure(style.PAGE_WIDTH, 5.4 if paired else 3.2)
    grid = fig.add_gridspec(2 if paired else 1, 2, height_ratios=[1.4, 1] if paired else [1],
                            hspace=0.6, wspace=0.3)
    hist, cdf = fig.add_subplot(grid[0, 0]), fig.add_subplot(grid[0, 1])
    bounds = _drawSpans(hist, cdf, records)
    same = _drawDifference(fig.add_subplot(grid[1, :]), *records) if paired else False
    first = records[0]
    searched = (f"searched under {first['distribution']} ({first['method']})" if "distribution" in first
                else f"method {first['method']}")
    fig.suptitle(f"{first['dataset']} {instanceName(first)}, {searched}, {first['runs']} runs under "
                 f"{first['eval_distribution']}" + (" (the two policies are the same)" if same else ""),
                 x=0.01, ha="left", fontsize=9)
    handles, labels = hist.get_legend_handles_labels()
    handles += [Line2D([], [], color=style.GREY, linestyle=(0, (4, 2)), linewidth=1.0),
                Patch(color=style.GREY, alpha=0.4, linewidth=0)]
    labels += ["mean", "95 % interval of the mean"]
    fig.legend(handles, labels, loc="upper center", ncol=2, frameon=False,
               bbox_to_anchor=(0.5, 0.975 if paired else 0.95))
    fig.subplots_adjust(top=0.83 if paired else 0.70, bottom=0.1 if paired else 0.16)
    return fig
