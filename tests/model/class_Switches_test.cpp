#include "model/class_Switches.h"

#include <gtest/gtest.h>

namespace {

struct SwitchCase {
    std::vector<std::string> parameters; // after the program's path
    std::string name;
    bool present;
    std::string value;
    int number; // SwitchInt with fallback -7
};

class SwitchesTest : public testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchesTest, AnswersFromTheCommandLine)
{
    const SwitchCase& c = GetParam();
    std::vector<std::string> arguments{"/usr/bin/sonorel"};
    arguments.insert(arguments.end(), c.parameters.begin(), c.parameters.end());
    SetCommandLine(arguments);
    EXPECT_EQ(IsSwitch(c.name), c.present);
    EXPECT_EQ(SwitchValue(c.name), c.value);
    EXPECT_EQ(SwitchInt(c.name, -7), c.number);
}

INSTANTIATE_TEST_SUITE_P(Cases, SwitchesTest, testing::Values(
    SwitchCase{{}, "trace", false, "", -7},
    SwitchCase{{"TRACE"}, "trace", true, "", -7},
    SwitchCase{{"trace"}, "TrAcE", true, "", -7},
    SwitchCase{{"-trace", "/trace"}, "trace", false, "", -7},
    SwitchCase{{"traceheight", "300"}, "traceheight", true, "300", 300},
    SwitchCase{{"traceheight", "-40"}, "traceheight", true, "-40", -40},
    SwitchCase{{"300", "traceheight"}, "traceheight", true, "", -7},
    SwitchCase{{"traceheight", "tall"}, "traceheight", true, "tall", -7},
    SwitchCase{{"traceheight", "30x"}, "traceheight", true, "30x", -7},
    SwitchCase{{"traceheight", "99999999999"}, "traceheight", true, "99999999999", -7},
    SwitchCase{{"traceheight", "trace"}, "trace", true, "", -7},
    SwitchCase{{"traceheight", "trace"}, "traceheight", true, "trace", -7},
    SwitchCase{{"traceheight", "100", "traceheight", "200"}, "traceheight", true, "100", 100},
    SwitchCase{{"tomp3", "/tmp/My Mix.mp3"}, "TOMP3", true, "/tmp/My Mix.mp3", -7}));

TEST(Switches, ProgramPathIsNoSwitch)
{
    SetCommandLine({"trace"});
    EXPECT_FALSE(IsSwitch("trace"));
    EXPECT_EQ(ParamCount(), 0);
}

TEST(Switches, ParametersByIndex)
{
    const char* argv[] = {"/opt/sonorel", "/home/me/mix one.xml", "closenoquery"};
    SetCommandLine(3, argv);
    EXPECT_EQ(ParamCount(), 2);
    EXPECT_EQ(ParamStr(0), "/opt/sonorel");
    EXPECT_EQ(ParamStr(1), "/home/me/mix one.xml");
    EXPECT_EQ(ParamStr(3), "");
    EXPECT_EQ(ParamStr(-1), "");
    SetCommandLine({});
    EXPECT_EQ(ParamCount(), 0);
    EXPECT_FALSE(IsSwitch("closenoquery"));
}

} // namespace
