# pytest set-up of the picture tests: the package from plots/ on the path, and the fixture folder.
import os
import sys

import matplotlib

matplotlib.use("Agg")

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "plots"))
FIXTURES = os.path.join(HERE, "fixtures")


import pytest  # noqa: E402


@pytest.fixture(autouse=True)
def _closeFigures():
    # Tests that look at a figure keep it open; close them all so they do not pile up.
    yield
    import matplotlib.pyplot as plt
    plt.close("all")
