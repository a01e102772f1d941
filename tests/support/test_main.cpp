#include <gtest/gtest.h>

#include "support/test_home.h"

int main(int argc, char** argv)
{
    const std::string home = sonorel_test::MakeTestHome(argv);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    sonorel_test::EndTestHome(home, result == 0);
    return result;
}
