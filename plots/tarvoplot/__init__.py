# tarvoplot: pictures of tarvo's schedules, resource profiles, makespan distributions and run
# overviews, drawn with matplotlib (Agg) and written as PNG and SVG.
"""Pictures of tarvo's schedules and results; run as ``python3 -m tarvoplot <kind> ...``."""


class InputError(Exception):
    """A file or column the picture needs is missing or unusable; the message names it."""
