# Command line of tarvoplot: one subcommand per kind of picture. A bad input ends with one line on
# standard error naming the file, line or column, and exit code 2; never with a traceback.
import argparse
import sys

from . import InputError, style
from .inputs import readSamples, readSchedule, readTable


class _Parser(argparse.ArgumentParser):
    """argparse with its refusals as one line (an InputError), as every other bad input."""

    def error(self, message):
        raise InputError(f"{message} (see {self.prog} --help)")


# Below 10 dpi nothing is legible; at 2400 a page-wide picture is already 16,800 pixels wide.
DPI_RANGE = (10, 2400)


def _dpi(text):
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"'{text}' is not a whole number") from None
    if not DPI_RANGE[0] <= value <= DPI_RANGE[1]:
        raise argparse.ArgumentTypeError(f"{value} is not in {DPI_RANGE[0]}..{DPI_RANGE[1]}")
    return value


def _parser():
    p = _Parser(prog="tarvoplot", description="Pictures of tarvo's schedules and results "
                "(each written as OUT.png and OUT.svg).")
    sub = p.add_subparsers(dest="kind", required=True, metavar="KIND")
    # Options every kind takes.
    common = _Parser(add_help=False)
    common.add_argument("-o", "--out", required=True, help="output name, without or with .png/.svg")
    common.add_argument("--dpi", type=_dpi, default=200,
                        help=f"resolution of the PNG, {DPI_RANGE[0]}..{DPI_RANGE[1]} (default 200)")

    g = sub.add_parser("gantt", parents=[common], help="Gantt chart of a `tarvo schedule` output (CSV or JSON)")
    g.add_argument("schedule", help="output of tarvo schedule")
    g.add_argument("--profile", action="store_true", help="resource profiles stacked under the chart")
    g.add_argument("--title", help="the chart's title (default: from the JSON's instance, policy and "
                   "scenario; a CSV does not record them)")

    r = sub.add_parser("profile", parents=[common], help="resource profiles of a `tarvo schedule` output")
    r.add_argument("schedule", help="output of tarvo schedule")
    r.add_argument("--title", help="the picture's title (default as for gantt)")

    d = sub.add_parser("distribution", parents=[common], help="makespan distributions of the Phase 1 list and Phase 2, or of one policy (tarvo evaluate --samples)")
    d.add_argument("samples", help="JSON Lines file of tarvo evaluate --samples")
    d.add_argument("--group", type=int, help="parameter group (needed when the file holds several instances)")
    d.add_argument("--instance", type=int, help="instance within the group")
    d.add_argument("--stem", help="a file run's project, by its stem (needed when the file holds several)")
    d.add_argument("--eval-dist", help="evaluation distribution (default: the one searched for)")
    d.add_argument("--method", help="the method whose policies to draw (needed when the file holds several)")

    o = sub.add_parser("overview", parents=[common], help="average gap per parameter group from batch results files "
                       "(per instance, in the run's order of files, for a file run)")
    o.add_argument("results", nargs="+", help="batch results .csv files")
    o.add_argument("--eval", nargs="+", default=[], metavar="EVAL", help="evaluation .csv files of tarvo evaluate")

    c = sub.add_parser("compare", parents=[common], help="paired differences per instance from `tarvo compare --out`")
    c.add_argument("rows", help="per-instance CSV of tarvo compare --out")
    c.add_argument("--eval-dist", help="only this evaluation distribution (default: one panel each)")
    c.add_argument("--other", help="only this compared policy (default: one panel each)")
    c.add_argument("--title", help="a line above the picture")
    c.add_argument("--gap", action="store_true", help="differences of the gaps above the critical path "
                   "(points of %%, as the compare table's mean) instead of makespans in periods")
    return p


def run(argv):
    args = _parser().parse_args(argv)
    # Imported here so that a usage error costs no matplotlib start-up.
    if args.kind in ("gantt", "profile"):
        from . import gantt
        schedule = readSchedule(args.schedule)
        if args.title is not None:
            schedule.title = args.title
        elif schedule.fromCsv:
            print(f"tarvoplot: {args.schedule} records no instance, policy or scenario; the title says so "
                  f"(name them with --title)", file=sys.stderr)
        fig = gantt.ganttFigure(schedule, args.profile) if args.kind == "gantt" else gantt.profileFigure(schedule)
        return style.save(fig, args.out, args.dpi)
    if args.kind == "distribution":
        from . import distribution
        records = distribution.selectRecords(readSamples(args.samples), args.group, args.instance,
                                             args.eval_dist, args.samples, args.stem, args.method)
        return style.save(distribution.distributionFigure(records), args.out, args.dpi)
    if args.kind == "compare":
        from . import compare
        rows = readTable(args.rows, compare.COMPARE_COLUMNS, compare.COMPARE_NUMBERS)
        groups = compare.panels(rows, args.eval_dist, args.other)
        return style.save(compare.compareFigure(groups, args.title, args.gap), args.out, args.dpi)
    from . import overview
    rows = [row for path in args.results
            for row in readTable(path, overview.BATCH_COLUMNS, ("ph1_gap", "smaller_gap"))]
    # in_sample stays text here: it is empty under another distribution than the searched one.
    evalRows = [row for path in args.eval
                for row in readTable(path, overview.EVAL_COLUMNS, ("lower_bound", "gap"))]
    notes = []
    fig = overview.overviewFigure(rows, evalRows, notes)
    for note in notes:
        print(f"tarvoplot: {note}", file=sys.stderr)
    return style.save(fig, args.out, args.dpi)


def main(argv=None):
    try:
        paths = run(sys.argv[1:] if argv is None else argv)
    except InputError as e:
        print(f"tarvoplot: {e}", file=sys.stderr)
        return 2
    except (ValueError, TypeError, OverflowError, ArithmeticError, MemoryError) as e:
        # Input that passed every check and still cannot be drawn (numbers too far apart, say).
        print(f"tarvoplot: the input cannot be drawn: {e}", file=sys.stderr)
        return 2
    for path in paths:
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
