// Paired statistics over instances: the t interval, the Wilcoxon signed-rank test (Pratt, ties,
// normal approximation) and Holm's correction on hand-made differences with known answers.
#include <gtest/gtest.h>

#include <cmath>

#include "simulation/pairedTests.h"

TEST(pairedTests, tIntervalOfThreeValues)
{
    PairedT t = pairedT({1, 2, 3});
    EXPECT_EQ(t.n, 3);
    EXPECT_DOUBLE_EQ(t.mean, 2);
    EXPECT_DOUBLE_EQ(t.stderrOfMean, 1 / std::sqrt(3.0));
    // t_{0.975, 2} = 4.302652729911275
    EXPECT_NEAR(t.ci95High - 2, 4.302652729911275 / std::sqrt(3.0), 1e-9);
    EXPECT_DOUBLE_EQ(t.ci95Low + t.ci95High, 4);
    PairedT one = pairedT({5});
    EXPECT_DOUBLE_EQ(one.mean, 5);
    EXPECT_TRUE(std::isnan(one.stderrOfMean) && std::isnan(one.ci95Low));
    PairedT zeros = pairedT({0, 0, 0, 0});
    EXPECT_EQ(zeros.mean, 0);
    EXPECT_EQ(zeros.ci95Low, 0);
    EXPECT_EQ(zeros.ci95High, 0);
}

// The p-values below are SciPy 1.10's wilcoxon(d, zero_method="pratt", correction=False,
// mode="approx"); tests/cli/compare.sh checks the command's table against SciPy itself.
TEST(pairedTests, wilcoxonWithZerosAndTies)
{
    EXPECT_NEAR(wilcoxonPratt({0.5, -1.2, 0, 2.0, 2.0, -0.5, 3.1, 0, 1.7, -2.0, 0.9, 4.0}), 0.13383298459147794, 1e-12);
    EXPECT_NEAR(wilcoxonPratt({1, 2, 3, -4, 5, 6, -7, 8, 9, 10, 0, 0, 0, 1, 1, -1}), 0.05750260761742322, 1e-12);
    // One value: T = 1, mean 1/2, variance 1/4, z = 1.
    EXPECT_NEAR(wilcoxonPratt({2.5}), 0.31731050786291415, 1e-12);
    // The sign decides nothing two-sided: the mirror image gives the same p.
    EXPECT_DOUBLE_EQ(wilcoxonPratt({-0.5, 1.2, 0, -2.0, -2.0, 0.5, -3.1, 0, -1.7, 2.0, -0.9, -4.0}),
                     wilcoxonPratt({0.5, -1.2, 0, 2.0, 2.0, -0.5, 3.1, 0, 1.7, -2.0, 0.9, 4.0}));
}

TEST(pairedTests, wilcoxonWithoutEvidence)
{
    EXPECT_EQ(wilcoxonPratt({}), 1.0);
    EXPECT_EQ(wilcoxonPratt({0, 0, 0, 0, 0}), 1.0);
    // All ties of one size, half each way: T equals its mean exactly.
    EXPECT_DOUBLE_EQ(wilcoxonPratt({1, -1, 1, -1}), 1.0);
    // All equal and positive: ranks 2.5 each, T = 10, mu = 5, var = (180 - 60 / 2) / 24 = 2.5^2,
    // so z = 2 (SciPy: 0.04550026389635839).
    EXPECT_NEAR(wilcoxonPratt({3, 3, 3, 3}), std::erfc(2 / std::sqrt(2.0)), 1e-14);
}

TEST(pairedTests, holmStepDown)
{
    std::vector<double> a = holmAdjusted({0.01, 0.04, 0.03, 0.005});
    ASSERT_EQ(a.size(), 4u);
    EXPECT_DOUBLE_EQ(a[0], 0.03);
    EXPECT_DOUBLE_EQ(a[1], 0.06);   // 0.04 * 1 lies below the 0.06 before it: monotone
    EXPECT_DOUBLE_EQ(a[2], 0.06);
    EXPECT_DOUBLE_EQ(a[3], 0.02);
    std::vector<double> capped = holmAdjusted({0.5, 0.9});
    EXPECT_DOUBLE_EQ(capped[0], 1.0);
    EXPECT_DOUBLE_EQ(capped[1], 1.0);
    EXPECT_TRUE(holmAdjusted({}).empty());
}

TEST(pairedTests, tPValueOfAPairedDifference)
{
    EXPECT_EQ(pairedTP(0, 0, 9999), 1.0);
    EXPECT_EQ(pairedTP(0.5, 0, 9999), 0.0);
    // t = 4.302652729911275 on 2 degrees of freedom is the two-sided 5 % point.
    EXPECT_NEAR(pairedTP(4.302652729911275, 1, 2), 0.05, 1e-9);
    EXPECT_DOUBLE_EQ(pairedTP(-1.5, 0.7, 30), pairedTP(1.5, 0.7, 30));
}
