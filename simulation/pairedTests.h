// Paired statistics over instances: the paired t interval of mean differences, the Wilcoxon
// signed-rank test and Holm's step-down correction, for comparing policies on the same scenarios.
#pragma once

#include <vector>

// Mean of d, its standard error and 95 % t-interval (n - 1 degrees of freedom); stderr and the
// interval NaN below two values.
struct PairedT {
    long n = 0;
    double mean = 0, stderrOfMean = 0, ci95Low = 0, ci95High = 0;
};
PairedT pairedT(const std::vector<double>& d);

// Two-sided p-value of the Wilcoxon signed-rank test of d against a zero median: the normal
// approximation without continuity correction, Pratt's treatment of zeros (zeros ranked with the
// others, their ranks then left out of the sum; mean and variance reduced by the zeros' part,
// after Cureton) and the tie correction over the tied groups of non-zero |d|:
//   T = sum of ranks of d > 0,  n all values, z0 zeros,  t_j sizes of the tied groups (not zeros),
//   mu = n(n+1)/4 - z0(z0+1)/4,
//   var = [n(n+1)(2n+1) - z0(z0+1)(2z0+1) - sum (t_j^3 - t_j)/2] / 24,
//   p = 2 (1 - Phi(|T - mu| / sqrt var)).
// SciPy's wilcoxon(zero_method="pratt", correction=False, mode="approx") gives the same. Without a
// non-zero value (var 0) the p-value is 1: nothing speaks against the null.
double wilcoxonPratt(const std::vector<double>& d);

// Two-sided p-value of a paired t statistic mean / stderr on df degrees of freedom: 1 for a zero
// mean with stderr 0, 0 for a non-zero mean with stderr 0.
double pairedTP(double mean, double stderrOfMean, double df);

// Holm's step-down adjusted p-values, in the order of p: the k-th smallest becomes
// max over j <= k of min(1, (m - j + 1) p_(j)); reject at level a where the adjusted value < a.
std::vector<double> holmAdjusted(const std::vector<double>& p);
