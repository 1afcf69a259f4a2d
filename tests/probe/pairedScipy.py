# The paired tests of tarvo against SciPy: the Wilcoxon signed-rank p-value (Pratt's zeros, no
# continuity correction, normal approximation), the paired t-test and its interval, and Holm.
import random
import subprocess
import sys

import warnings

import numpy as np
from scipy import stats


def cases():
    rng = random.Random(7)
    sets = [
        [1.5, -0.5, 2.0, 0.0, 3.0, -1.0, 0.25, 4.0],
        [1, 1, 1, -1, 2, 2, -2, 0, 3, 3, 3, -3, 0, 0, 5],     # ties and several zeros
        [0.0, 0.0, 0.0, 1.0, -2.0, 3.0, 3.0, -3.0],
        [-0.1 * k for k in range(1, 31)],
    ]
    for size in (30, 48, 120, 480):
        sets.append([round(rng.gauss(0.1, 1.0), 2) for _ in range(size)])   # rounding makes ties
    return sets


def main(probe):
    warnings.simplefilter("ignore")   # SciPy warns of small samples; the formula is the same
    sets = cases()
    holm = [[0.01, 0.04, 0.03, 0.005, 0.5], [0.2, 0.2, 0.01, 0.9], [0.04, 0.01, 0.012]]
    lines = ["w " + " ".join(repr(float(v)) for v in s) for s in sets]
    lines += ["t " + " ".join(repr(float(v)) for v in s) for s in sets]
    lines += ["h " + " ".join(repr(v) for v in p) for p in holm]
    out = subprocess.run([probe], input="\n".join(lines) + "\n", capture_output=True, text=True, check=True)
    got = out.stdout.split("\n")
    faults = 0

    def check(what, have, want, tol=1e-9):
        nonlocal faults
        if not abs(have - want) <= tol * max(1.0, abs(want)):
            print(f"{what}: tarvo {have!r}, reference {want!r}")
            faults += 1

    for k, s in enumerate(sets):
        want = stats.wilcoxon(s, zero_method="pratt", correction=False, mode="approx").pvalue
        check(f"wilcoxon set {k}", float(got[k]), want)
    for k, s in enumerate(sets):
        mean, se, low, high, p = map(float, got[len(sets) + k].split())
        a = np.array(s)
        check(f"mean set {k}", mean, a.mean(), 1e-12)
        check(f"stderr set {k}", se, stats.sem(a), 1e-12)
        half = stats.t.ppf(0.975, len(a) - 1) * stats.sem(a)
        check(f"low set {k}", low, a.mean() - half)
        check(f"high set {k}", high, a.mean() + half)
        check(f"t p set {k}", p, stats.ttest_1samp(a, 0.0).pvalue)
    for k, p in enumerate(holm):
        # Holm by hand: sorted ascending, (m - j) p, running maximum, capped at 1.
        order = sorted(range(len(p)), key=lambda i: p[i])
        want = [0.0] * len(p)
        running = 0.0
        for j, i in enumerate(order):
            running = max(running, min(1.0, (len(p) - j) * p[i]))
            want[i] = running
        have = list(map(float, got[2 * len(sets) + k].split()))
        for i in range(len(p)):
            check(f"holm set {k} place {i}", have[i], want[i], 1e-15)
    print(f"{len(sets)} Wilcoxon and t sets, {len(holm)} Holm sets, {faults} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
