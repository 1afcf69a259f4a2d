// Stochastic durations: the per-instance quantile tables of the current distribution, the
// descriptive-sampling draw, and the incomplete-beta numerics behind the two beta distributions.
#pragma once

#include <cstdint>

// Per-instance start: cursors, starting values of the later steps, and the three quantile tables.
void buildSamplePool();
// Fills the 1000-, midLevels- and 10-level tables of activities 1..actNum for distNum.
void fillSampleTables();
// One duration sample of activity a from its poolSize-level table (1000, midLevels or 10).
// Defined inline in durations/rndGen.h (included below): the engines call it once per activity run.
float rndGen(int a, int poolSize);

// Regularised incomplete beta ratio I_x(p, q); lnBeta = ln B(p, q). fault: 0 ok, 1 bad shape,
// 2 x outside [0, 1], 3 no convergence within the iteration cap.
double beta_cdf(double x, double p, double q, double lnBeta, int& fault);
// The x with I_x(p, q) = alpha. fault as above; 3 also when the inner beta_cdf failed.
double beta_cdf_inv(double alpha, double p, double q, double lnBeta, int& fault);

// The quantiles of a nominal duration d under distribution dist (1 U1, 2 B1, 3 U2, 4 B2, any
// other value EXP) at the levels (j - 0.5) / levels, ascending, into row[1..levels]; spread is the
// half-width s of the uniform rules. A fault of the inverse beta is reported on the console as it
// happens; the result is the number of faults. fillSampleTables builds every row with it, directly
// or through its cache of the short durations.
int tabulateQuantiles(float* row, int levels, int32_t dist, uint16_t d, float spread);

// Durations up to this value have their tables cached between instances (benchmark projects have
// durations 0..10); longer ones are tabulated afresh for each instance.
constexpr int cachedDurMax = 10;

#include "durations/rndGen.h"
