// Statistics of simulated makespans: the columns of an evaluation row (mean, interval,
// percentiles, paired difference of two policies on the same scenarios) and t-intervals of means.
#pragma once

#include <vector>

#include "results/evalCsv.h"

// Statistics of runs makespans of two policies on the same scenarios (ph1 in m1, ph2 in m2): fills
// the numeric columns of both rows (lower bound and in-sample values already set). The two arrays
// are sorted in place for the percentiles.
void fillEvalStatistics(EvalRow& ph1, EvalRow& ph2, std::vector<float>& m1, std::vector<float>& m2);
// The same for a single policy's row, its paired columns NaN.
void fillSingleStatistics(EvalRow& row, std::vector<float>& m);
// Two-sided 95 % quantile of Student's t with df degrees of freedom (Boost.Math).
double tQuantile975(double df);
// Phase 2 significantly better (+1), worse (-1) or neither (0) than Phase 1, paired, 5 %.
int pairedVerdict(const EvalRow& ph2);
// The mean of x (NaN when empty), and the half-width of its 95 % t-interval (NaN below two values).
double meanOf(const std::vector<double>& x);
double halfWidth(const std::vector<double>& x);
