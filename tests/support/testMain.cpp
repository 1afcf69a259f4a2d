// Entry of every test program: standard input comes from /dev/null, so a key wait inside the code
// under test returns at once instead of blocking the suite.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (!std::freopen("/dev/null", "r", stdin)) return 1;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
