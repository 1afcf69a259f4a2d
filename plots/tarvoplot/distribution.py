# Makespan distributions of the two policies of one instance, from `tarvo evaluate --samples`:
# histogram and empirical CDF, with the lower bound and each mean with its 95 % interval.
import math

import numpy as np
from matplotlib.lines import Line2D
from matplotlib.patches import Patch

from . import InputError, style


def instanceName(record):
    """How a title names the record's instance: a file run's stem, or group and instance."""
    if "stem" in record:
        return str(record["stem"])
    return f"group {record['group']} instance {record['instance']}"


def selectRecords(records, group, instance, evalDist, path, stem=None):
    """The ph1 and ph2 records of one instance (by group and instance, or a file run's by stem)
    under one evaluation distribution."""
    chosen = [r for r in records if (group is None or r.get("group") == group)
              and (instance is None or r.get("instance") == instance)
              and (stem is None or r.get("stem") == stem)]
    if not chosen:
        which = f"stem '{stem}'" if stem is not None else f"group {group} instance {instance}"
        raise InputError(f"{path}: no record for {which}")
    keys = {(r["dataset"], r["distribution"], r["method"], r.get("group"), r.get("instance"), r.get("stem"))
            for r in chosen}
    if len(keys) > 1:
        how = "--stem" if all("stem" in r for r in chosen) else "--group and --instance"
        raise InputError(f"{path}: records of {len(keys)} instances; choose one with {how}")
    dists = sorted({r["eval_distribution"] for r in chosen})
    if evalDist is None:
        # Default: the distribution the policy was searched for, else the only one there is.
        searched = chosen[0]["distribution"]
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
    unknown = set(byPolicy) - {"ph1", "ph2"}
    if unknown:
        raise InputError(f"{path}: policy '{sorted(unknown)[0]}' is neither ph1 nor ph2")
    return [byPolicy[p] for p in ("ph1", "ph2") if p in byPolicy]


def meanInterval(spans):
    """Mean and normal 95 % interval of the mean of the runs."""
    values = np.asarray(spans, dtype=float)
    mean = float(values.mean())
    half = 1.96 * float(values.std(ddof=1)) / math.sqrt(len(values)) if len(values) > 1 else 0.0
    return mean, mean - half, mean + half


def distributionFigure(records):
    fig = style.figure(style.PAGE_WIDTH, 3.0)
    hist, cdf = fig.subplots(1, 2)
    every = np.concatenate([np.asarray(r["makespans"]) for r in records])
    edges = np.histogram_bin_edges(every, bins=min(60, max(10, int(math.sqrt(len(every))))))
    lowerBound = records[0]["lower_bound"]
    for r in records:
        colour = style.POLICY_COLOURS[r["policy"]]
        spans = np.asarray(r["makespans"], dtype=float)
        mean, low, high = meanInterval(spans)
        label = f"{r['policy']}: mean {mean:.2f} [{low:.2f}, {high:.2f}]"
        weights = np.full(len(spans), 1.0 / len(spans))
        hist.hist(spans, bins=edges, weights=weights, histtype="stepfilled", alpha=0.3, color=colour)
        hist.hist(spans, bins=edges, weights=weights, histtype="step", color=colour, linewidth=1.0,
                  label=label)
        xs = np.sort(spans)
        cdf.step(xs, np.arange(1, len(xs) + 1) / len(xs), where="post", color=colour, linewidth=1.0)
        for ax in (hist, cdf):
            ax.axvspan(low, high, color=colour, alpha=0.25, linewidth=0)
            ax.axvline(mean, color=colour, linestyle=(0, (4, 2)), linewidth=1.0)
    for ax in (hist, cdf):
        bound = ax.axvline(lowerBound, color=style.GREEN, linewidth=1.2)
        ax.set_xlabel("Makespan (periods)")
    hist.set_ylabel("Share of runs")
    cdf.set_ylabel("Cumulative share of runs")
    cdf.set_ylim(0, 1.02)
    first = records[0]
    fig.suptitle(f"{first['dataset']} {instanceName(first)}, "
                 f"searched under {first['distribution']} ({first['method']}), "
                 f"{first['runs']} runs under {first['eval_distribution']}", x=0.01, ha="left",
                 fontsize=9)
    handles, labels = hist.get_legend_handles_labels()
    handles += [Line2D([], [], color=style.GREY, linestyle=(0, (4, 2)), linewidth=1.0),
                Patch(color=style.GREY, alpha=0.4, linewidth=0), bound]
    labels += ["mean", "95 % interval of the mean", f"lower bound {lowerBound:g}"]
    fig.legend(handles, labels, loc="lower center", ncol=3, frameon=False, bbox_to_anchor=(0.5, -0.04))
    fig.tight_layout(rect=(0, 0.12, 1, 0.93))
    return fig
