// The group design table against the benchmark files: every file's measured network complexity
// and resource factor lie nearest to its group's design levels.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <tuple>

#include "project/reader.h"
#include "project/state.h"
#include "results/groupDesign.h"

static int nearest(const double* levels, int n, double value)
{
    int best = 0;
    for (int i = 1; i < n; i++)
        if (std::fabs(levels[i] - value) < std::fabs(levels[best] - value)) best = i;
    return best;
}

static bool loadFile(int setSize, int group, int inst)
{
    std::string path = std::string(TARVO_PSPLIB_DIR) + "/j" + std::to_string(setSize) +
                       std::to_string(group) + "_" + std::to_string(inst) + ".sm";
    return readProjectFile(path.c_str());
}

TEST(groupDesign, measuredParametersOfAKnownFile)
{
    ASSERT_TRUE(loadFile(30, 17, 1));
    EXPECT_EQ(actNum, 32);
    EXPECT_DOUBLE_EQ(networkComplexity(), 58.0 / 32);
    double nc, rf, rs;
    ASSERT_TRUE(groupDesign(1, 17, nc, rf, rs));
    EXPECT_EQ(nc, 1.8);
    EXPECT_EQ(rf, 0.25);
    EXPECT_EQ(rs, 0.2);
}

TEST(groupDesign, tableWalksTheWholeGridOnce)
{
    for (int dataset = 1; dataset <= 4; dataset++) {
        std::set<std::tuple<double, double, double>> seen;
        double nc, rf, rs;
        for (int g = 1; g <= groupNumOf(dataset); g++) {
            ASSERT_TRUE(groupDesign(dataset, g, nc, rf, rs));
            seen.insert({nc, rf, rs});
        }
        EXPECT_EQ(int(seen.size()), dataset == 4 ? 60 : 48);
        nc = rf = rs = -1;
        EXPECT_FALSE(groupDesign(dataset, 0, nc, rf, rs));
        EXPECT_FALSE(groupDesign(dataset, groupNumOf(dataset) + 1, nc, rf, rs));
        EXPECT_EQ(nc, -1);
    }
    double nc, rf, rs;
    EXPECT_FALSE(groupDesign(5, 1, nc, rf, rs));
    EXPECT_FALSE(groupDesign(0, 1, nc, rf, rs));
    EXPECT_EQ(groupNumOf(4), 60);
    EXPECT_EQ(groupNumOf(2), 48);
}

TEST(groupDesign, everyFileLiesNearestToItsGroupsLevels)
{
    const int setSizes[5] = {0, 30, 60, 90, 120};
    int files = 0;
    for (int dataset = 1; dataset <= 4; dataset++)
        for (int g = 1; g <= groupNumOf(dataset); g++)
            for (int inst = 1; inst <= 10; inst++) {
                ASSERT_TRUE(loadFile(setSizes[dataset], g, inst));
                double nc, rf, rs;
                ASSERT_TRUE(groupDesign(dataset, g, nc, rf, rs));
                SCOPED_TRACE("j" + std::to_string(setSizes[dataset]) + std::to_string(g) + "_" +
                             std::to_string(inst));
                EXPECT_EQ(ncLevels[nearest(ncLevels, ncLevelNum, networkComplexity())], nc);
                EXPECT_EQ(rfLevels[nearest(rfLevels, rfLevelNum, resourceFactor())], rf);
                files++;
            }
    EXPECT_EQ(files, 2040);
}
