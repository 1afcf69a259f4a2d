// The five duration distributions as quantile rules: one table row of a nominal duration at the
// evenly spaced levels (j - 0.5) / N. Every rounding step is fixed, so a row is the same bit for bit
// wherever and however often it is computed.
#include <cmath>
#include <cstdio>

#include "durations/durations.h"
#include "project/platform.h"

int tabulateQuantiles(float* row, int levels, int32_t dist, uint16_t d, float spread)
{
    const float fd = static_cast<float>(d);
    const float s = spread;
    const float n = static_cast<float>(levels);
    int faults = 0;

    if (dist == 1 || dist == 3) {
        // Uniform on [d - s, d + s], or on [0, d + s] when that interval would reach below 0.
        const bool shifted = fd - s > 0.0f;
        for (int j = 1; j <= levels; ++j) {
            // Level: j - 0.5 in double, rounded to float, then divided by N in float.
            const float p = static_cast<float>(static_cast<double>(j) - 0.5) / n;
            row[j] = shifted ? (p * 2.0f * s + fd) - s : (fd + s) * p;
        }
        return 0;
    }

    if (dist == 2 || dist == 4) {
        // d/2 + (3d/2) X with X ~ Beta(alpha, 2 alpha); both shapes are single precision values.
        float alpha = 0.0f;
        if (d > 0) alpha = dist == 2 ? 0.5f * fd - 0.33333334f : 0.16666667f;
        const float beta = 2.0f * alpha;
        const double p = alpha, q = beta;
        const bool proper = p > 0.00001 && q > 0.00001;
        // ln B(alpha, 2 alpha) wholly in double, the shape sum included.
        const double lnB = proper ? std::lgamma(p) + std::lgamma(q) - std::lgamma(p + q) : 0.0;
        for (int j = 1; j <= levels; ++j) {
            const float level = static_cast<float>(static_cast<double>(j) - 0.5) / n;
            double x = 0.0;
            if (proper) {
                int fault;
                x = beta_cdf_inv(level, p, q, lnB, fault);
                if (fault != 0) {
                    // Reported, and the returned value is used all the same.
                    std::fputs("ERROR! beta_cdf_inv\n", stdout);
                    waitKey();
                    ++faults;
                }
            }
            // x rounded to float first, then ((x * 3) * d) * 0.5 + d * 0.5 in float.
            const float xf = static_cast<float>(x);
            row[j] = xf * 3.0f * fd * 0.5f + fd * 0.5f;
        }
        return faults;
    }

    // Exponential with mean d (also any unknown distribution number): ln(1 - p) * (-d), with 1 - p
    // in float, the logarithm in double rounded to float, the product in float. -d is negated as a
    // whole number, so d = 0 multiplies by +0 and gives the entry -0 (not below 0 for the draw).
    const float minusD = static_cast<float>(-static_cast<int>(d));
    for (int j = 1; j <= levels; ++j) {
        const float p = static_cast<float>(static_cast<double>(j) - 0.5) / n;
        const float rest = 1.0f - p;
        const float logRest = static_cast<float>(std::log(static_cast<double>(rest)));
        row[j] = logRest * minusD;
    }
    return 0;
}
