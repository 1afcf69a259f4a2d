// Quantiles of the beta distribution for the evaluation scenarios: Boost.Math's ibeta_inv at the
// nodes of a fixed grid, cubic Hermite interpolation between them, so that a draw costs nanoseconds.
#pragma once

#include <vector>

// Beta(a, b) quantiles for levels u in [2^-53, 1 - 2^-53]. Each half of the levels has its own
// table, the upper half through 1 - Q(u) = Q'(1 - u) of the mirrored Beta(b, a), so that both
// tails are resolved down to the smallest level a draw can give. A half holds ln x against ln u
// at evenly spaced ln u: in those coordinates a tail x ~ c u^(1/a) is a straight line, so the
// interpolation stays accurate to the end. The error against ibeta_inv is below 1e-8 of the beta's
// range, under the float rounding of a duration (tests/test_scenarios.cpp checks it at every cell
// midpoint, where it peaks).
struct BetaQuantileTable {
    double a = 0, b = 0;
    // Per half (0: Beta(a, b), 1: Beta(b, a)), node k = 0..betaNodes: ln x and d ln x / d ln u.
    std::vector<double> lnX[2], slope[2];
};

// Nodes per half beyond the first, and the ln u range they span: ln 2^-53 .. ln 0.5.
constexpr int betaNodes = 2048;

// Computes the nodes of Beta(a, b); a, b > 0. About 4,100 calls of ibeta_inv (tens of milliseconds).
void buildBetaQuantileTable(BetaQuantileTable& table, double a, double b);
// The quantile at level u, 2^-53 <= u <= 1 - 2^-53 (u = 0.5 itself is never drawn, see
// scenarios.cpp, but is served by the lower half).
double betaQuantile(const BetaQuantileTable& table, double u);
