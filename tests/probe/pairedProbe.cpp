// A probe of the paired tests for the SciPy check (tests/probe/pairedScipy.py): each input line
// "w|h|t x1 x2 ..." prints the Wilcoxon p, the Holm-adjusted p-values or the paired t figures.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "simulation/pairedTests.h"

int main()
{
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        char kind = 0;
        in >> kind;
        std::vector<double> x;
        for (double v; in >> v;) x.push_back(v);
        if (kind == 'w') {
            std::printf("%.17g\n", wilcoxonPratt(x));
        } else if (kind == 'h') {
            for (double p : holmAdjusted(x)) std::printf("%.17g ", p);
            std::printf("\n");
        } else {
            PairedT t = pairedT(x);
            std::printf("%.17g %.17g %.17g %.17g %.17g\n", t.mean, t.stderrOfMean, t.ci95Low, t.ci95High,
                        pairedTP(t.mean, t.stderrOfMean, t.n - 1.0));
        }
    }
    return 0;
}
