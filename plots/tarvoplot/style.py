# Look shared by every picture: the Okabe-Ito palette (distinguishable with the common colour
# vision deficiencies), fonts sized for a printed page, and the PNG + SVG output pair.
import os

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

from . import InputError  # noqa: E402

# Okabe & Ito (2008), "Color Universal Design".
BLACK = "#000000"
ORANGE = "#E69F00"
SKY_BLUE = "#56B4E9"
GREEN = "#009E73"
YELLOW = "#F0E442"
BLUE = "#0072B2"
VERMILLION = "#D55E00"
PURPLE = "#CC79A7"
GREY = "#999999"

# One colour per duration distribution, kept across pictures; ph1 and ph2 likewise.
DIST_COLOURS = {"U1": BLUE, "B1": SKY_BLUE, "U2": ORANGE, "B2": VERMILLION, "EXP": GREEN}
POLICY_COLOURS = {"ph1": BLUE, "ph2": VERMILLION}
DIST_ORDER = ["U1", "B1", "U2", "B2", "EXP"]

# A full text width of a two-column paper is about 7 in; 9 pt text stays readable when printed.
PAGE_WIDTH = 7.0
RC = {
    "font.size": 9,
    "axes.titlesize": 9,
    "axes.labelsize": 9,
    "xtick.labelsize": 8,
    "ytick.labelsize": 8,
    "legend.fontsize": 8,
    "axes.spines.top": False,
    "axes.spines.right": False,
    "svg.fonttype": "none",   # text stays text in the SVG, editable and searchable
    "savefig.bbox": "tight",
    "savefig.pad_inches": 0.05,
}


def figure(width, height, **kwargs):
    """A new figure in the house style."""
    plt.rcParams.update(RC)
    return plt.figure(figsize=(width, height), **kwargs)


def outputBase(path):
    """The output name without a picture extension: "out", "out.png" and "out.svg" all give "out"."""
    root, ext = os.path.splitext(path)
    return root if ext.lower() in (".png", ".svg") else path


MAX_PIXELS = 2 ** 16


def save(fig, path, dpi=200):
    """Writes the figure as <base>.png and <base>.svg; returns both paths."""
    base = outputBase(path)
    folder = os.path.dirname(base)
    if folder and not os.path.isdir(folder):
        raise InputError(f"output folder '{folder}' does not exist")
    paths = [base + ".png", base + ".svg"]
    # The PNG writer takes at most 2^16 - 1 pixels a side; say so before it fails.
    width, height = fig.get_size_inches() * dpi
    if max(width, height) >= MAX_PIXELS:
        plt.close(fig)
        raise InputError(f"the picture would be {width:.0f} x {height:.0f} pixels, more than {MAX_PIXELS - 1} "
                         f"a side (a lower --dpi, or fewer activities)")
    try:
        fig.savefig(paths[0], dpi=dpi)
        fig.savefig(paths[1])
    except OSError as e:
        raise InputError(f"cannot write '{e.filename or base}': {e.strerror}") from None
    finally:
        plt.close(fig)
    return paths
