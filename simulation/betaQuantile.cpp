// The tabulated beta quantile: nodes from Boost.Math's ibeta_inv, their slopes from the density,
// and the cubic Hermite interpolation in (ln u, ln x) coordinates used by every beta draw.
#include "simulation/betaQuantile.h"

#include <boost/math/special_functions/beta.hpp>
#include <cmath>

// Nodes in double without Boost's promotion to long double: several times faster to build, and
// still far more accurate than the interpolation between them.
using NodePolicy = boost::math::policies::policy<boost::math::policies::promote_double<false>>;

// ln u of node 0 and of node betaNodes: the smallest level a draw gives, and the median level.
static const double lnLow = -53.0 * std::log(2.0);
static const double lnHigh = std::log(0.5);
static const double cellWidth = (lnHigh - lnLow) / betaNodes;

void buildBetaQuantileTable(BetaQuantileTable& table, double a, double b)
{
    table.a = a;
    table.b = b;
    for (int half = 0; half < 2; ++half) {
        const double p = half == 0 ? a : b, q = half == 0 ? b : a;
        const double lnBeta = std::lgamma(p) + std::lgamma(q) - std::lgamma(p + q);
        table.lnX[half].resize(betaNodes + 1);
        table.slope[half].resize(betaNodes + 1);
        for (int k = 0; k <= betaNodes; ++k) {
            const double lnU = lnLow + k * cellWidth;
            const double x = boost::math::ibeta_inv(p, q, std::exp(lnU), NodePolicy());
            const double lnX = std::log(x);
            // d ln x / d ln u = u / (x f(x)), with the density f taken in logarithms, since x
            // reaches 1e-100 in the tail of a shape below 1.
            const double lnDensity = (p - 1.0) * lnX + (q - 1.0) * std::log1p(-x) - lnBeta;
            table.lnX[half][k] = lnX;
            table.slope[half][k] = std::exp(lnU - lnX - lnDensity);
        }
    }
}

double betaQuantile(const BetaQuantileTable& table, double u)
{
    const bool upper = u > 0.5;
    const int half = upper ? 1 : 0;
    // 1 - u is exact for u > 0.5, so the upper tail keeps its full resolution.
    const double level = upper ? 1.0 - u : u;
    double pos = (std::log(level) - lnLow) / cellWidth;
    int k = static_cast<int>(pos);
    if (k < 0) k = 0;
    if (k >= betaNodes) k = betaNodes - 1;
    const double t = pos - k;
    const double* y = table.lnX[half].data() + k;
    const double* m = table.slope[half].data() + k;
    // Cubic Hermite basis on the unit cell; slopes scaled by the cell width.
    const double t2 = t * t, t3 = t2 * t;
    const double lnX = (2 * t3 - 3 * t2 + 1) * y[0] + (t3 - 2 * t2 + t) * cellWidth * m[0] +
                       (-2 * t3 + 3 * t2) * y[1] + (t3 - t2) * cellWidth * m[1];
    const double x = std::exp(lnX);
    return upper ? 1.0 - x : x;
}
