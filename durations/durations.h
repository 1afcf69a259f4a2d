// Stochastic durations: the per-instance quantile tables of the current distribution, the
// descriptive-sampling draw, and the incomplete-beta numerics behind the two beta distributions.
#pragma once

// Per-instance start: cursors, starting values of the later steps, and the three quantile tables.
void buildSamplePool();
// Fills the 1000-, midLevels- and 10-level tables of activities 1..actNum for distNum.
void fillSampleTables();
// One duration sample of activity a from its poolSize-level table (1000, midLevels or 10).
float rndGen(int a, int poolSize);

// Regularised incomplete beta ratio I_x(p, q); lnBeta = ln B(p, q). fault: 0 ok, 1 bad shape,
// 2 x outside [0, 1], 3 no convergence within the iteration cap.
double beta_cdf(double x, double p, double q, double lnBeta, int& fault);
// The x with I_x(p, q) = alpha. fault as above; 3 also when the inner beta_cdf failed.
double beta_cdf_inv(double alpha, double p, double q, double lnBeta, int& fault);
