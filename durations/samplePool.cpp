// STUB: replaced by the sample pool.
#include "durations/durations.h"
void buildSamplePool() {}
void fillSampleTables() {}
float rndGen(int, int) { return 0.0f; }
double beta_cdf(double x, double, double, double, int& fault) { fault = 0; return x; }
double beta_cdf_inv(double alpha, double, double, double, int& fault) { fault = 0; return alpha; }
