# Gantt chart and resource profiles of one realised schedule (a J120 chart fits a 7 x 9 in page at 6 pt):
# a bar per real activity, the policy's extra arcs as arrows, the critical chain; a step plot per resource.
from matplotlib.lines import Line2D
from matplotlib.patches import FancyArrowPatch, Patch

from . import style


def usageSteps(schedule, resource):
    """The use of one resource (1..K) over time as (times, amounts): amounts[i] holds from
    times[i] until times[i + 1]; the last entry is the use after the last event (0)."""
    change = {}
    for a in schedule.activity:
        need = schedule.requirements[a][resource - 1]
        if need == 0 or schedule.finish[a] == schedule.start[a]:
            continue
        change[schedule.start[a]] = change.get(schedule.start[a], 0) + need
        change[schedule.finish[a]] = change.get(schedule.finish[a], 0) - need
    times, amounts, level = [0.0], [0], 0
    for t in sorted(change):
        level += change[t]
        if t == times[-1]:
            amounts[-1] = level
        elif level != amounts[-1]:   # a finish and a start of equal amounts at t: no step
            times.append(t)
            amounts.append(level)
    return times, amounts


def _rows(schedule):
    """Real activities from top to bottom in order of start (then number): row 0 is the top."""
    real = sorted(schedule.realActivities(), key=lambda a: (schedule.start[a], a))
    return {a: i for i, a in enumerate(real)}


# Inches per resource panel under the Gantt chart (smaller under a long chart, to keep one page).
PROFILE_HEIGHT = 0.9
PROFILE_HEIGHT_LONG = 0.6
# A long chart (J60 and beyond) fits a page of 7 x 9 in: PAGE_HEIGHT less the title, time axis
# and legend below it. Its activity labels alternate left and right, so each side's labels stand
# two rows apart and stay at LABEL_POINTS, the smallest size a printed page still reads.
PAGE_HEIGHT = 9.0
OVERHEAD = 1.5
LONG = 40
LABEL_POINTS = 6


def _rowHeight(n):
    # Inches per activity row: generous for J30, tighter beyond so the page stays printable.
    return 0.2 if n <= LONG else 0.13


def _ganttHeight(n, k):
    """Inches of the chart of n rows above k profile panels."""
    if n <= LONG:
        return max(1.5, _rowHeight(n) * n)
    # Beyond the program's sizes the page cannot hold the rows; then the labels keep their room.
    page = min(_rowHeight(n) * n, PAGE_HEIGHT - OVERHEAD - k * PROFILE_HEIGHT_LONG)
    return max(n * LABEL_POINTS / 72 / 2, page)


def drawGantt(ax, schedule):
    row = _rows(schedule)
    n = len(row)
    small = n > 40
    for a, r in row.items():
        colour = style.VERMILLION if schedule.critical[a] else style.SKY_BLUE
        width = schedule.finish[a] - schedule.start[a]
        bar = ax.barh(r, width, left=schedule.start[a], height=0.7, color=colour,
                      edgecolor=style.BLACK, linewidth=0.4, zorder=2)
        bar.patches[0].set_gid(f"activity-{a}")
    ax.set_ylim(n - 0.4, -0.6)
    labels = [str(a) for a in row]
    if small:
        # Even rows labelled on the left, odd rows on the right: two rows apart on each side.
        ax.set_yticks(range(0, n, 2))
        ax.set_yticklabels(labels[0::2], fontsize=LABEL_POINTS)
        right = ax.twinx()
        right.set_ylim(ax.get_ylim())
        right.set_yticks(range(1, n, 2))
        right.set_yticklabels(labels[1::2], fontsize=LABEL_POINTS)
        right.tick_params(axis="y", length=0)
        right.spines["right"].set_visible(False)
        right.set_gid("right-labels")
    else:
        ax.set_yticks(range(n))
        ax.set_yticklabels(labels, fontsize=8)
    ax.set_ylabel("Activity")
    ax.tick_params(axis="y", length=0)
    ax.grid(axis="x", color=style.GREY, linewidth=0.3, alpha=0.5, zorder=0)

    # Extra arcs: finish-to-start from the end of the source bar, start-to-start from its start.
    for f, t, kind in schedule.arcs:
        if f not in row or t not in row:
            continue  # an arc at a dummy activity has no bar to point at
        fs = kind == 1
        source = (schedule.finish[f] if fs else schedule.start[f], row[f])
        target = (schedule.start[t], row[t])
        # The bend grows with the distance, so an arc between starts at one time would stay a
        # short vertical stroke hidden by the bars; it bows out further to be seen.
        bend = 0.15 if abs(target[0] - source[0]) > 0.02 * schedule.makespan else 0.6
        arrow = FancyArrowPatch(source, target, arrowstyle="-|>", mutation_scale=8,
                                color=style.BLACK if fs else style.BLUE,
                                linestyle="-" if fs else (0, (3, 2)), linewidth=0.8,
                                connectionstyle=f"arc3,rad={bend}", zorder=4)
        arrow.set_gid("arc-fs" if fs else "arc-ss")
        ax.add_patch(arrow)

    handles = [Patch(facecolor=style.VERMILLION, edgecolor=style.BLACK, linewidth=0.4, label="critical"),
               Patch(facecolor=style.SKY_BLUE, edgecolor=style.BLACK, linewidth=0.4, label="not critical")]
    kinds = {k for _, _, k in schedule.arcs}
    if 1 in kinds:
        handles.append(Line2D([], [], color=style.BLACK, linewidth=0.8, marker=">", markersize=4,
                              label="finish-to-start arc"))
    if kinds - {1}:
        handles.append(Line2D([], [], color=style.BLUE, linewidth=0.8, linestyle=(0, (3, 2)), marker=">",
                              markersize=4, label="start-to-start arc"))
    handles += _boundLines(ax, schedule)
    return handles


def _boundLines(ax, schedule):
    lines = []
    if schedule.lowerBound is not None:
        lines.append(ax.axvline(schedule.lowerBound, color=style.GREEN, linestyle=(0, (4, 2)), linewidth=1.2,
                                label=f"critical path (nominal durations) {schedule.lowerBound:g}", zorder=3))
    lines.append(ax.axvline(schedule.makespan, color=style.BLACK, linestyle="-", linewidth=1.2,
                            label=f"makespan {schedule.makespan:g}", zorder=3))
    for line in lines:
        line.set_gid("bound-line")
    return lines


def drawProfile(ax, schedule, resource):
    times, amounts = usageSteps(schedule, resource)
    end = max(schedule.makespan, times[-1])
    line, = ax.step(times + [end], amounts + [amounts[-1]], where="post", color=style.BLUE, linewidth=1.0,
                    label="in use")
    line.set_gid(f"usage-r{resource}")
    ax.fill_between(times + [end], amounts + [amounts[-1]], step="post", color=style.SKY_BLUE, alpha=0.35,
                    linewidth=0)
    top = max(amounts)
    if schedule.capacities is not None:
        cap = schedule.capacities[resource - 1]
        ax.axhline(cap, color=style.VERMILLION, linestyle=(0, (4, 2)), linewidth=1.0, label="capacity")
        top = max(top, cap)
    ax.set_ylim(0, top * 1.15 + 0.5)
    ax.set_ylabel(f"R{resource}\n(units)")
    ax.grid(axis="x", color=style.GREY, linewidth=0.3, alpha=0.5)


def ganttFigure(schedule, withProfile=False):
    """Gantt chart, optionally with one profile panel per resource beneath it on the same time axis."""
    n = len(schedule.realActivities())
    k = schedule.resources if withProfile else 0
    profileHeight = PROFILE_HEIGHT if n <= LONG else PROFILE_HEIGHT_LONG
    ganttHeight = _ganttHeight(n, k)
    height = ganttHeight + k * profileHeight + (0.8 if n <= LONG else 0.6)
    fig = style.figure(style.PAGE_WIDTH, height)
    grid = fig.add_gridspec(1 + k, 1, height_ratios=[ganttHeight] + [profileHeight] * k, hspace=0.12)
    top = fig.add_subplot(grid[0])
    handles = drawGantt(top, schedule)
    axes = [top]
    for r in range(1, k + 1):
        ax = fig.add_subplot(grid[r], sharex=top)
        drawProfile(ax, schedule, r)
        axes.append(ax)
    _finishTimeAxis(axes, schedule)
    if schedule.title:
        top.set_title(schedule.title, loc="left")
    if n <= LONG:
        top.legend(handles=handles, loc="upper left", bbox_to_anchor=(1.01, 1.0), frameon=False)
        if k:
            axes[1].legend(loc="upper left", bbox_to_anchor=(1.01, 1.0), frameon=False)
    else:
        handles += axes[1].get_legend_handles_labels()[0] if k else []
        # Under the time axis, across the page: the right edge holds the activity labels.
        fig.legend(handles=handles, loc="upper left", bbox_to_anchor=(0.1, 0.0), ncol=3, frameon=False,
                   fontsize=7)
    return fig


def profileFigure(schedule):
    """One profile panel per resource on a shared time axis."""
    k = schedule.resources
    fig = style.figure(style.PAGE_WIDTH, 0.6 + max(k, 1) * 1.1)
    axes = fig.subplots(max(k, 1), 1, sharex=True, squeeze=False)[:, 0]
    for r in range(1, k + 1):
        drawProfile(axes[r - 1], schedule, r)
    _finishTimeAxis(list(axes), schedule)
    if schedule.title:
        axes[0].set_title(schedule.title, loc="left")
    if k:
        axes[0].legend(loc="upper left", bbox_to_anchor=(1.01, 1.0), frameon=False)
    return fig


def _finishTimeAxis(axes, schedule):
    end = max([schedule.makespan] + list(schedule.finish.values()))
    axes[0].set_xlim(0, end * 1.02 + 0.5)
    for ax in axes[:-1]:
        ax.tick_params(labelbottom=False)
    axes[-1].set_xlabel("Time (periods)")
