// The incomplete-beta numerics against Boost.Math as an independent reference, on the shapes and
// levels the sample tables use, plus the fault codes and the guard against non-finite input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "durations/durations.h"

#if TARVO_HAVE_BOOST_MATH
#include <boost/math/special_functions/beta.hpp>
#endif

namespace {

struct Shape {
    double p, q, lnB;
};

double lnBeta(double p, double q)
{
    return std::lgamma(p) + std::lgamma(q) - std::lgamma(p + q);
}

// The shapes of the beta rules: B1 for d = 1..10 (alpha = d/2 - 1/3) and B2, in single precision.
std::vector<Shape> programShapes()
{
    std::vector<Shape> shapes;
    for (int d = 1; d <= 11; ++d) {
        float alpha = d <= 10 ? 0.5f * static_cast<float>(d) - 0.33333334f : 0.16666667f;
        float second = 2.0f * alpha;
        shapes.push_back({alpha, second, lnBeta(alpha, second)});
    }
    return shapes;
}

// The levels (j - 0.5) / N of the 10-, 34-, 170- and 1000-level tables, formed as the tables do.
std::vector<double> tableLevels()
{
    std::vector<double> levels;
    for (int n : {10, 34, 170, 1000})
        for (int j = 1; j <= n; ++j)
            levels.push_back(static_cast<float>(static_cast<double>(j) - 0.5) / static_cast<float>(n));
    return levels;
}

// The Newton iteration stops once its step is at most sqrt(1e-14) and returns the iterate before
// that step, so the quantile is good to about this much in x (the largest difference seen is 1.0e-7).
constexpr double stopTolerance = 1.1e-7;

}  // namespace

TEST(betaNumerics, inverseMatchesBoostWithinTheStoppingStep)
{
#if TARVO_HAVE_BOOST_MATH
    const std::vector<double> levels = tableLevels();
    for (const Shape& s : programShapes()) {
        for (double level : levels) {
            int fault = -1;
            double x = beta_cdf_inv(level, s.p, s.q, s.lnB, fault);
            ASSERT_EQ(fault, 0) << "p " << s.p << " level " << level;
            double exact = boost::math::ibeta_inv(s.p, s.q, level);
            EXPECT_NEAR(x, exact, stopTolerance) << "p " << s.p << " level " << level;
            // Where the density stays moderate (B1 from d = 2 on) the x error is also small in
            // probability; the largest seen is 3.3e-7. The near-zero lower tails of the shapes
            // below 1/3 are checked in x only: there the exact quantile can be 1e-19.
            if (s.p > 0.5) {
                EXPECT_NEAR(boost::math::ibeta(s.p, s.q, x), level, 1e-6) << "p " << s.p << " level " << level;
            }
        }
    }
#else
    GTEST_SKIP() << "Boost.Math not found";
#endif
}

TEST(betaNumerics, deepB2TailStopsAtTheSizeOfTheNewtonStep)
{
    const Shape b2 = programShapes().back();
    int fault = -1;
    // The start value is clamped up to 1e-4 and the steps shrink until their square is below the
    // accuracy: the iteration ends just below 1e-8, far above the exact quantile.
    double x = beta_cdf_inv(0.0005, b2.p, b2.q, b2.lnB, fault);
    EXPECT_EQ(fault, 0);
    EXPECT_GT(x, 0.0);
    EXPECT_LT(x, 1e-8);
#if TARVO_HAVE_BOOST_MATH
    EXPECT_LT(boost::math::ibeta_inv(b2.p, b2.q, 0.0005), 1e-18);
#endif
}

TEST(betaNumerics, ratioMatchesBoost)
{
#if TARVO_HAVE_BOOST_MATH
    for (const Shape& s : programShapes()) {
        std::vector<double> xs = {1e-12, 1e-8, 1e-4, 0.9999, 1 - 1e-8};
        for (int k = 1; k < 100; ++k) xs.push_back(k / 100.0);
        for (double x : xs) {
            int fault = -1;
            double value = beta_cdf(x, s.p, s.q, s.lnB, fault);
            ASSERT_EQ(fault, 0);
            // Series tolerance 1e-15 relative, plus rounding of the prefactor (largest seen 2.4e-15).
            EXPECT_NEAR(value, boost::math::ibeta(s.p, s.q, x), 1e-14) << "p " << s.p << " x " << x;
        }
    }
#else
    GTEST_SKIP() << "Boost.Math not found";
#endif
}

TEST(betaNumerics, ratioOfTheUniformShapeIsX)
{
    for (double x : {0.001, 0.25, 0.5, 0.75, 0.999}) {
        int fault = -1;
        EXPECT_NEAR(beta_cdf(x, 1.0, 1.0, 0.0, fault), x, 1e-15);
        EXPECT_EQ(fault, 0);
    }
}

TEST(betaNumerics, upperLevelsMirrorTheLowerTail)
{
    std::vector<double> levels = tableLevels();
    for (double level : {0.3, 0.7, 0.123456789, 1e-6}) levels.push_back(level);
    for (const Shape& s : programShapes()) {
        for (double level : levels) {
            int f1 = -1, f2 = -1;
            double lower = beta_cdf_inv(level, s.p, s.q, s.lnB, f1);
            double upper = beta_cdf_inv(1.0 - level, s.q, s.p, s.lnB, f2);
            ASSERT_EQ(f1, 0);
            ASSERT_EQ(f2, 0);
            EXPECT_NEAR(upper, 1.0 - lower, stopTolerance) << "p " << s.p << " level " << level;
        }
    }
}

TEST(betaNumerics, badShapeOrArgumentReturnsTheArgumentWithItsFault)
{
    const double lnB = lnBeta(2.0, 3.0);
    int fault = -1;
    EXPECT_EQ(beta_cdf_inv(0.3, 0.0, 3.0, lnB, fault), 0.3);
    EXPECT_EQ(fault, 1);
    EXPECT_EQ(beta_cdf_inv(0.3, 2.0, 0.0, lnB, fault), 0.3);
    EXPECT_EQ(fault, 1);
    EXPECT_EQ(beta_cdf_inv(0.3, -1.0, 3.0, lnB, fault), 0.3);
    EXPECT_EQ(fault, 1);
    EXPECT_EQ(beta_cdf_inv(1.5, 2.0, 3.0, lnB, fault), 1.5);
    EXPECT_EQ(fault, 2);
    EXPECT_EQ(beta_cdf_inv(-0.25, 2.0, 3.0, lnB, fault), -0.25);
    EXPECT_EQ(fault, 2);
    // The shape test comes first.
    EXPECT_EQ(beta_cdf_inv(1.5, 0.0, 3.0, lnB, fault), 1.5);
    EXPECT_EQ(fault, 1);

    EXPECT_EQ(beta_cdf(0.4, 0.0, 3.0, lnB, fault), 0.4);
    EXPECT_EQ(fault, 1);
    EXPECT_EQ(beta_cdf(0.4, 2.0, -3.0, lnB, fault), 0.4);
    EXPECT_EQ(fault, 1);
    EXPECT_EQ(beta_cdf(1.5, 2.0, 3.0, lnB, fault), 1.5);
    EXPECT_EQ(fault, 2);
    EXPECT_EQ(beta_cdf(-0.5, 2.0, 3.0, lnB, fault), -0.5);
    EXPECT_EQ(fault, 2);
}

TEST(betaNumerics, endLevelsAndEndPointsNeedNoIteration)
{
    // A NaN lnBeta would spoil any iteration (fault 3): the ends must be answered before it.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    int fault = -1;
    EXPECT_EQ(beta_cdf_inv(0.0, 2.0, 3.0, nan, fault), 0.0);
    EXPECT_EQ(fault, 0);
    EXPECT_EQ(beta_cdf_inv(1.0, 2.0, 3.0, nan, fault), 1.0);
    EXPECT_EQ(fault, 0);
    EXPECT_EQ(beta_cdf(0.0, 2.0, 3.0, nan, fault), 0.0);
    EXPECT_EQ(fault, 0);
    EXPECT_EQ(beta_cdf(1.0, 2.0, 3.0, nan, fault), 1.0);
    EXPECT_EQ(fault, 0);
}

TEST(betaNumerics, nonFiniteInputEndsWithFault3)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Shape b2 = programShapes().back();
    int fault = -1;
    // NaN passes the range tests; without the iteration caps these calls would never return.
    beta_cdf(nan, b2.p, b2.q, b2.lnB, fault);
    EXPECT_EQ(fault, 3);
    beta_cdf(0.3, nan, b2.q, b2.lnB, fault);
    EXPECT_EQ(fault, 3);
    beta_cdf_inv(nan, b2.p, b2.q, b2.lnB, fault);
    EXPECT_EQ(fault, 3);
    beta_cdf_inv(0.3, nan, b2.q, b2.lnB, fault);
    EXPECT_EQ(fault, 3);
    beta_cdf_inv(0.3, b2.p, b2.q, nan, fault);
    EXPECT_EQ(fault, 3);
    beta_cdf_inv(0.3, b2.p, b2.q, inf, fault);
    EXPECT_EQ(fault, 3);
    beta_cdf_inv(0.3, inf, b2.q, b2.lnB, fault);
    EXPECT_EQ(fault, 3);
}
