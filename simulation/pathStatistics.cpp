// The path-bound columns of an evaluation row: means and deviations summed in double in run
// order, as the other columns are, so the same runs always give the same digits.
#include "simulation/pathStatistics.h"

#include <cmath>

// Mean and sample deviation of x[k] - y[k] (y null: of x alone), the deviations summed in a
// second pass so that a constant sample gives exactly 0.
static void meanAndSd(const std::vector<float>& x, const std::vector<float>* y, double& mean, double& sd)
{
    const long n = static_cast<long>(x.size());
    auto value = [&](long k) {
        return y ? static_cast<double>(x[k]) - static_cast<double>((*y)[k]) : static_cast<double>(x[k]);
    };
    double sum = 0;
    for (long k = 0; k < n; ++k) sum += value(k);
    mean = sum / n;
    double squares = 0;
    for (long k = 0; k < n; ++k) {
        const double dev = value(k) - mean;
        squares += dev * dev;
    }
    sd = n > 1 ? std::sqrt(squares / (n - 1)) : 0.0;
}

void fillPathBound(EvalRow& row, const std::vector<float>& paths)
{
    double sd;
    meanAndSd(paths, nullptr, row.pathBound, sd);
    row.pathBoundStderr = sd / std::sqrt(static_cast<double>(paths.size()));
}

long fillPathGap(EvalRow& row, const std::vector<float>& makespans, const std::vector<float>& paths)
{
    // The makespans' mean as the row's own mean column sums it, so gap_path is computed from the
    // very mean the row shows.
    double mean, sd, diffMean, diffSd;
    meanAndSd(makespans, nullptr, mean, sd);
    meanAndSd(makespans, &paths, diffMean, diffSd);
    row.gapPath = 100.0 * (mean - row.pathBound) / row.pathBound;
    row.gapPathStderr = 100.0 * diffSd / std::sqrt(static_cast<double>(makespans.size())) / row.pathBound;
    for (std::size_t k = 0; k < makespans.size(); ++k)
        if (makespans[k] < paths[k]) return static_cast<long>(k) + 1;
    return 0;
}

long runsBelowPath(const std::vector<float>& makespans, const std::vector<float>& paths)
{
    long below = 0;
    for (std::size_t k = 0; k < makespans.size(); ++k) below += makespans[k] < paths[k];
    return below;
}
