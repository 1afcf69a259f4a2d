// Incomplete-beta numerics behind the two beta duration distributions: the ratio I_x(p, q) by the
// Soper reduction series (Applied Statistics AS 63) and its inverse by guarded Newton steps (AS 109).
#include <algorithm>
#include <cmath>

#include "durations/durations.h"

// Iteration caps. They only stop loops fed with non-finite values (which otherwise never meet their
// tolerance); finite table inputs stay far below them. The series needs about sqrt(46 p) terms for
// shapes p, 2p, so even the largest whole duration (65535, p near 32767) takes under 1300 terms.
// A finite Newton step is cut by 3 at most about 680 times before the cut step is exactly 0, which
// always ends the cut loop; the Newton iteration itself converges within a few dozen steps.
constexpr int seriesCap = 100000;
constexpr int stepCutCap = 2000;
constexpr int newtonCap = 1000;

double beta_cdf(double x, double p, double q, double lnBeta, int& fault)
{
    fault = 0;
    if (p <= 0.0 || q <= 0.0) {
        fault = 1;
        return x;
    }
    if (x < 0.0 || x > 1.0) {
        fault = 2;
        return x;
    }
    if (x == 0.0 || x == 1.0) return x;

    double psq = p + q;
    double cx = 1.0 - x;
    double xx, pp, qq;
    bool flipped;
    // The series converges fast only below the mean p / (p + q): sum the other tail above it.
    if (p < psq * x) {
        xx = cx;
        cx = x;
        pp = q;
        qq = p;
        flipped = true;
    } else {
        xx = x;
        pp = p;
        qq = q;
        flipped = false;
    }
    double term = 1.0, ai = 1.0, value = 1.0;
    // ns counts the terms of the finite Soper reduction. It is kept in a double (always a whole
    // number) so that a NaN or a huge shape cannot overflow an integer conversion.
    double ns = std::trunc(qq + cx * psq);
    double rx = xx / cx;
    double temp = qq - ai;
    if (ns == 0.0) rx = xx;
    for (int steps = 0;; ++steps) {
        if (steps == seriesCap) {
            fault = 3;
            return x;
        }
        term = term * temp * rx / (pp + ai);
        value = value + term;
        double size = std::fabs(term);
        if (size <= 1e-15 && size <= 1e-15 * value) break;
        ai = ai + 1.0;
        ns = ns - 1.0;
        if (ns >= 0.0) {
            temp = qq - ai;
            if (ns == 0.0) rx = xx;
        } else {
            temp = psq;
            psq = psq + 1.0;
        }
    }
    value = value * std::exp(pp * std::log(xx) + (qq - 1.0) * std::log(cx) - lnBeta) / pp;
    if (flipped) value = 1.0 - value;
    return value;
}

double beta_cdf_inv(double alpha, double p, double q, double lnBeta, int& fault)
{
    const double fpu = std::pow(10.0, -15.0);
    fault = 0;
    if (p <= 0.0 || q <= 0.0) {
        fault = 1;
        return alpha;
    }
    if (alpha < 0.0 || alpha > 1.0) {
        fault = 2;
        return alpha;
    }
    if (alpha == 0.0) return 0.0;
    if (alpha == 1.0) return 1.0;

    // Work on the lower tail, where the start value is accurate; the answer is flipped back.
    double a, pp, qq;
    bool flipped;
    if (alpha > 0.5) {
        a = 1.0 - alpha;
        pp = q;
        qq = p;
        flipped = true;
    } else {
        a = alpha;
        pp = p;
        qq = q;
        flipped = false;
    }

    // Start value: a normal quantile approximation y, mapped to the beta scale by the
    // Cornish-Fisher form for two shapes above 1, by chi-square approximations otherwise.
    double r = std::sqrt(-std::log(a * a));
    double y = r - (2.30753 + 0.27061 * r) / (1.0 + (0.99229 + 0.04481 * r) * r);
    double s, t, h, w, value;
    if (pp > 1.0 && qq > 1.0) {
        r = (y * y - 3.0) / 6.0;
        s = 1.0 / (2.0 * pp - 1.0);
        t = 1.0 / (2.0 * qq - 1.0);
        h = 2.0 / (s + t);
        w = y * std::sqrt(h + r) / h - (t - s) * (r + 0.8333333333333334 - 2.0 / (3.0 * h));
        value = pp / (pp + qq * std::exp(2.0 * w));
    } else {
        r = 2.0 * qq;
        t = 1.0 / (9.0 * qq);
        double base = 1.0 - t + y * std::sqrt(t);
        t = r * (base * base * base);
        if (t <= 0.0) {
            value = 1.0 - std::exp((std::log((1.0 - a) * qq) + lnBeta) / qq);
        } else {
            t = (4.0 * pp + r - 2.0) / t;
            if (t <= 1.0)
                value = std::exp((std::log(a * pp) + lnBeta) / pp);
            else
                value = 1.0 - 2.0 / (t + 1.0);
        }
    }

    r = 1.0 - pp;
    t = 1.0 - qq;
    double yprev = 0.0, sq = 1.0, prev = 1.0;
    if (value < 0.0001) value = 0.0001;
    if (value > 0.9999) value = 0.9999;

    // Accuracy of the stop test: 1e-14 or 1e-15 in practice (e is always below -14.1).
    // e is kept in a double so that a NaN cannot reach an integer conversion.
    double e = -5.0 / pp / pp - 1.0 / std::pow(a, 0.2) - 13.0;
    if (e < -15.0) e = -15.0;
    const double acu = std::pow(10.0, std::trunc(e));

    double tx = 0.0;
    for (int steps = 0;; ++steps) {
        if (steps == newtonCap) {
            fault = 3;
            return value;
        }
        y = beta_cdf(value, pp, qq, lnBeta, fault);
        if (fault != 0) {
            fault = 3;
            return value;
        }
        // Newton step: the distance to the level divided by the density at value.
        y = (y - a) * std::exp(lnBeta + r * std::log(value) + t * std::log(1.0 - value));
        if (y * yprev <= 0.0) prev = std::max(sq, fpu);
        // Cut the step by 3 until it stays inside [0, 1] and shrinks against the last sign change.
        double g = 1.0;
        int cuts = 0;
        for (;; ++cuts) {
            if (cuts == stepCutCap) {
                fault = 3;
                return value;
            }
            double adj = g * y;
            sq = adj * adj;
            if (sq < prev) {
                tx = value - adj;
                if (tx >= 0.0 && tx <= 1.0) {
                    // The stop test measures the step, and the current iterate is returned.
                    if (prev <= acu || y * y <= acu) return flipped ? 1.0 - value : value;
                    if (tx != 0.0 && tx != 1.0) break;
                }
            }
            g = g / 3.0;
        }
        if (tx == value) return flipped ? 1.0 - value : value;
        yprev = y;
        value = tx;
    }
}
