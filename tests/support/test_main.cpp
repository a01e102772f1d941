#include <gtest/gtest.h>

#include "support/test_home.h"

int main(int argc, char** argv)
{
    sonorel_test::PrepareTestHome();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
