// Statistics of simulated makespans: Student's t from Boost.Math, means and deviations summed in
// double in a fixed order, so that the same runs always give the same digits.
#include "simulation/statistics.h"

#include <algorithm>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>

double tQuantile975(double df)
{
    return boost::math::quantile(boost::math::students_t(df), 0.975);
}

// Mean and sample standard deviation of x[0..n-1] in double, the deviations summed in a second
// pass so that a constant sample gives exactly 0.
template <class Value>
static void meanAndSd(const Value* x, long n, double& mean, double& sd)
{
    double sum = 0;
    for (long k = 0; k < n; ++k) sum += static_cast<double>(x[k]);
    mean = sum / n;
    double squares = 0;
    for (long k = 0; k < n; ++k) {
        double dev = static_cast<double>(x[k]) - mean;
        squares += dev * dev;
    }
    sd = n > 1 ? std::sqrt(squares / (n - 1)) : 0.0;
}

// The p-quantile of a sorted sample: its ceil(p n)-th smallest value.
static double percentile(const std::vector<float>& sorted, double p)
{
    long k = static_cast<long>(std::ceil(p * sorted.size()));
    if (k < 1) k = 1;
    return sorted[k - 1];
}

static void fillOne(EvalRow& r, std::vector<float>& m, double t)
{
    const long n = static_cast<long>(m.size());
    meanAndSd(m.data(), n, r.mean, r.sd);
    r.runs = n;
    r.stderrOfMean = r.sd / std::sqrt(static_cast<double>(n));
    r.ci95Low = r.mean - t * r.stderrOfMean;
    r.ci95High = r.mean + t * r.stderrOfMean;
    std::sort(m.begin(), m.end());
    r.p50 = percentile(m, 0.50);
    r.p90 = percentile(m, 0.90);
    r.p95 = percentile(m, 0.95);
    r.p99 = percentile(m, 0.99);
    r.gap = 100.0 * (r.mean - r.lowerBound) / r.lowerBound;
    r.bias = r.inSample - r.mean;
}

void fillEvalStatistics(EvalRow& ph1, EvalRow& ph2, std::vector<float>& m1, std::vector<float>& m2)
{
    const long n = static_cast<long>(m1.size());
    const double t = tQuantile975(static_cast<double>(n - 1));
    // Paired first, while the runs still stand side by side.
    std::vector<double> diff(n);
    for (long k = 0; k < n; ++k) diff[k] = static_cast<double>(m1[k]) - static_cast<double>(m2[k]);
    double diffSd;
    meanAndSd(diff.data(), n, ph2.pairedDiff, diffSd);
    ph2.pairedStderr = diffSd / std::sqrt(static_cast<double>(n));
    ph1.pairedDiff = NAN;
    ph1.pairedStderr = NAN;
    fillOne(ph1, m1, t);
    fillOne(ph2, m2, t);
}

void fillSingleStatistics(EvalRow& row, std::vector<float>& m)
{
    row.pairedDiff = NAN;
    row.pairedStderr = NAN;
    fillOne(row, m, tQuantile975(static_cast<double>(m.size()) - 1.0));
}

int pairedVerdict(const EvalRow& ph2)
{
    if (!(ph2.pairedStderr > 0)) return 0;
    const double t = tQuantile975(static_cast<double>(ph2.runs - 1));
    if (ph2.pairedDiff > t * ph2.pairedStderr) return 1;
    if (ph2.pairedDiff < -t * ph2.pairedStderr) return -1;
    return 0;
}

double meanOf(const std::vector<double>& x)
{
    double sum = 0;
    for (double v : x) sum += v;
    return x.empty() ? NAN : sum / x.size();
}

double halfWidth(const std::vector<double>& x)
{
    if (x.size() < 2) return NAN;
    double m = meanOf(x), squares = 0;
    for (double v : x) squares += (v - m) * (v - m);
    return tQuantile975(x.size() - 1.0) * std::sqrt(squares / (x.size() - 1) / x.size());
}
