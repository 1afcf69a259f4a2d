// Entry of every test program. The key waits are off unless the interactive program turns them
// on, so the code under test never waits and standard input is left as it is.
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
