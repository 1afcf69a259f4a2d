// The invariant walker: it accepts the state the program leaves and catches each kind of damage.
#include <gtest/gtest.h>

#include "project/checkState.h"
#include "project/state.h"
#include "support/testSupport.h"

static uint8_t capacities[resDim];

static void loadClean()
{
    ASSERT_TRUE(loadBenchmark("j301_1"));
    for (int r = 1; r <= resNum; ++r) capacities[r] = resCap[r];
    bestList = nullptr;
    isHV = false;
}

TEST(checkState, acceptsAFreshlyReadInstance)
{
    loadClean();
    EXPECT_TRUE(checkState(capacities));
}

TEST(checkState, catchesDamagedTables)
{
    loadClean();
    setToggle(succSet[2], 30);  // a transitive successor lost or invented
    EXPECT_FALSE(checkState(capacities));

    loadClean();
    resCap[2] -= 1;  // an engine that did not give back what it took
    EXPECT_FALSE(checkState(capacities));

    loadClean();
    static uint8_t list[actDim];
    for (int p = 1; p <= actNum; ++p) list[p] = static_cast<uint8_t>(p);
    bestList = list;
    EXPECT_TRUE(checkState(capacities));
    std::swap(list[2], list[actNum - 1]);  // activity 31 before its predecessors
    EXPECT_FALSE(checkState(capacities));

    loadClean();
    isHV = true;
    setAdd(extraFinPred[5], 3);  // an arc left in force after arc addition
    EXPECT_FALSE(checkState(capacities));

    loadClean();
    poolCursor10[7] += 1;  // one activity drew more often than the others
    EXPECT_FALSE(checkState(capacities));
}
