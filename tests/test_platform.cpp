// The machine layer and the shared helpers under everything: random stream, ActSet, sort.
#include <gtest/gtest.h>

#include "project/actSet.h"
#include "project/platform.h"
#include "project/sortPlaces.h"

TEST(random, followsTheIsoCExampleGenerator)
{
    setRandState(1);
    // First draws of the ISO C example generator from its default state.
    EXPECT_EQ(nextRand(), 16838);
    EXPECT_EQ(nextRand(), 5758);
    EXPECT_EQ(nextRand(), 10113);
    EXPECT_EQ(nextRand(), 17515);
}

TEST(random, staysWithinZeroTo32767AndReachesBothEnds)
{
    setRandState(12345);
    bool sawZero = false, sawMax = false;
    for (int i = 0; i < 3000000; ++i) {
        int r = nextRand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
        sawZero |= r == 0;
        sawMax |= r == 32767;
    }
    EXPECT_TRUE(sawZero);
    EXPECT_TRUE(sawMax);
}

TEST(actSet, usesTheTwoWordLayout)
{
    ActSet s;
    setClear(s);
    setAdd(s, 63);
    EXPECT_EQ(s.w[0], uint64_t{1} << 63);
    setAdd(s, 64);
    EXPECT_EQ(s.w[1], uint64_t{1} << 1);
    setAdd(s, 122);
    EXPECT_EQ(s.w[1], (uint64_t{1} << 1) | (uint64_t{1} << 59));
    EXPECT_EQ(s.w[0] & 1u, 0u);
    EXPECT_EQ(s.w[1] & 1u, 0u);
    EXPECT_TRUE(setHas(s, 122));
    EXPECT_FALSE(setHas(s, 121));
    setToggle(s, 122);
    EXPECT_FALSE(setHas(s, 122));
}

TEST(actSet, subsetTestsBothWords)
{
    ActSet a, b;
    setClear(a);
    setClear(b);
    setAdd(a, 5);
    setAdd(a, 100);
    setAdd(b, 5);
    EXPECT_FALSE(setSubset(a, b));
    setAdd(b, 100);
    EXPECT_TRUE(setSubset(a, b));
    setAdd(b, 70);
    EXPECT_TRUE(setSubset(a, b));
    EXPECT_FALSE(setSubset(b, a));
}

TEST(sortPlaces, sortsAndKeepsEqualItemsInOrder)
{
    int key[10] = {0, 5, 3, 5, 1, 3, 9, 0, 2, 5};
    uint8_t items[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    sortPlaces(items, 1, 9, [&](int a, int b) { return key[a] <= key[b]; });
    uint8_t expect[10] = {0, 7, 4, 8, 2, 5, 1, 3, 9, 6};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(items[i], expect[i]) << i;
}

TEST(sortPlaces, terminatesWithInconsistentAnswersAndKeepsAPermutation)
{
    setRandState(7);
    for (int n = 1; n <= 122; ++n) {
        uint8_t items[123];
        for (int i = 0; i <= n; ++i) items[i] = static_cast<uint8_t>(i);
        int calls = 0;
        sortPlaces(items, 1, n, [&](int, int) { ++calls; return nextRand() < 16384; });
        bool seen[123] = {};
        for (int i = 1; i <= n; ++i) {
            ASSERT_GE(items[i], 1);
            ASSERT_LE(items[i], n);
            ASSERT_FALSE(seen[items[i]]);
            seen[items[i]] = true;
        }
        EXPECT_LE(calls, n * 8);
    }
}
