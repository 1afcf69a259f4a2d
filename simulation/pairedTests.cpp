// Paired statistics over instances: t interval, Wilcoxon signed-rank (normal approximation, Pratt,
// tie correction) and Holm, from Boost.Math's normal and Student's t, summed in a fixed order.
#include "simulation/pairedTests.h"

#include <algorithm>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <numeric>

#include "simulation/statistics.h"

PairedT pairedT(const std::vector<double>& d)
{
    PairedT r;
    r.n = static_cast<long>(d.size());
    r.mean = meanOf(d);
    if (r.n < 2) {
        r.stderrOfMean = r.ci95Low = r.ci95High = NAN;
        return r;
    }
    double squares = 0;
    for (double v : d) squares += (v - r.mean) * (v - r.mean);
    r.stderrOfMean = std::sqrt(squares / (r.n - 1) / r.n);
    const double h = tQuantile975(r.n - 1.0) * r.stderrOfMean;
    r.ci95Low = r.mean - h;
    r.ci95High = r.mean + h;
    return r;
}

double wilcoxonPratt(const std::vector<double>& d)
{
    const std::size_t n = d.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&d](std::size_t a, std::size_t b) { return std::fabs(d[a]) < std::fabs(d[b]); });
    double plus = 0, ties = 0, zeros = 0;
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i;
        while (j < n && std::fabs(d[order[j]]) == std::fabs(d[order[i]])) ++j;
        const double rank = (i + 1 + j) / 2.0;   // the average of ranks i + 1 .. j
        const double t = static_cast<double>(j - i);
        if (d[order[i]] == 0)
            zeros = t;                           // the zeros rank first and are one group
        else
            ties += t * t * t - t;
        for (std::size_t k = i; k < j; ++k)
            if (d[order[k]] > 0) plus += rank;
        i = j;
    }
    const double m = static_cast<double>(n);
    const double mu = m * (m + 1) / 4 - zeros * (zeros + 1) / 4;
    const double var = (m * (m + 1) * (2 * m + 1) - zeros * (zeros + 1) * (2 * zeros + 1) - ties / 2) / 24;
    if (!(var > 0)) return 1.0;
    const double z = std::fabs(plus - mu) / std::sqrt(var);
    return 2 * boost::math::cdf(boost::math::complement(boost::math::normal(), z));
}

double pairedTP(double mean, double stderrOfMean, double df)
{
    if (!(stderrOfMean > 0)) return mean == 0 ? 1.0 : 0.0;
    const double t = std::fabs(mean / stderrOfMean);
    return 2 * boost::math::cdf(boost::math::complement(boost::math::students_t(df), t));
}

std::vector<double> holmAdjusted(const std::vector<double>& p)
{
    const std::size_t m = p.size();
    std::vector<std::size_t> order(m);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&p](std::size_t a, std::size_t b) { return p[a] < p[b]; });
    std::vector<double> adjusted(m);
    double running = 0;
    for (std::size_t k = 0; k < m; ++k) {
        running = std::max(running, std::min(1.0, static_cast<double>(m - k) * p[order[k]]));
        adjusted[order[k]] = running;
    }
    return adjusted;
}
