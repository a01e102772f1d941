#include "platform/text/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>

namespace {

using namespace ui;

TEST(NumberText, TextToInt)
{
    const struct {
        const char* text;
        bool ok;
        int value;
    } cases[] = {{"300", true, 300},   {"-40", true, -40},   {"+7", true, 7},          {" 12 ", true, 12},
                 {"", false, 0},       {"abc", false, 0},    {"30x", false, 0},        {"1.5", false, 0},
                 {"+-3", false, 0},    {"+", false, 0},      {"2147483647", true, 2147483647},
                 {"2147483648", false, 0}, {"0x10", false, 0}};
    for (const auto& c : cases) {
        int value = 0;
        EXPECT_EQ(TextToInt(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
        EXPECT_EQ(TextToIntDef(c.text, -9), c.ok ? c.value : -9) << c.text;
    }
}

TEST(NumberText, TextToFloat)
{
    const struct {
        const char* text;
        bool ok;
        double value;
    } cases[] = {{"1.5", true, 1.5},  {"-0.25", true, -0.25}, {"+.5", true, 0.5},  {"1e3", true, 1000},
                 {" 2 ", true, 2},    {"1,5", false, 0},      {"", false, 0},      {"nan", false, 0},
                 {"inf", false, 0},   {"1e999", false, 0},    {"1.5s", false, 0}};
    for (const auto& c : cases) {
        double value = 0;
        EXPECT_EQ(TextToFloat(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(value, c.value) << c.text;
        }
    }
}

TEST(NumberText, FloatToText)
{
    const struct {
        float value;
        int decimals;
        const char* text;
    } cases[] = {{1.5f, 2, "1.5"},          {2.0f, 2, "2"},          {0.1f, 2, "0.1"},
                 {0.125f, 2, "0.13"},       {-0.125f, 2, "-0.13"},   {2.5f, 0, "3"},
                 {0.001f, 2, "0"},          {-0.001f, 2, "0"},       {9.999f, 2, "10"},
                 {0.0f, 2, "0"},            {15.0f, 2, "15"},        {3.14159f, 3, "3.142"},
                 {123456.789f, 2, "123456.79"}, {1234567.875f, 2, "1234567.88"},
                 {0.3f, -1, "0"},           {1.1f, 9, "1.100000024"}};
    for (const auto& c : cases)
        EXPECT_EQ(FloatToText(c.value, c.decimals), c.text) << c.value << " / " << c.decimals;
}

TEST(NumberText, FloatToTextIgnoresTheCLocale)
{
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(FloatToText(1.25f, 2), "1.25");
    EXPECT_EQ(StepFloatText("1.25", 0.01f, false), "1.26");
    std::setlocale(LC_ALL, "C");
}

TEST(NumberText, StepFloatText)
{
    const struct {
        const char* text;
        float step;
        bool allowNegative;
        const char* result;
    } cases[] = {{"0.5", 0.01f, false, "0.51"}, {"1", -0.01f, false, "0.99"}, {"0.01", -0.01f, false, "0"},
                 {"0", -0.01f, false, "0"},     {"0", -0.01f, true, "-0.01"}, {"2.999", 0.01f, false, "3.01"},
                 {" 2 ", 0.5f, false, "2.5"},   {"abc", 0.01f, false, "abc"}, {"1,5", 0.01f, false, "1,5"},
                 {"", 0.01f, false, ""},        {"15", 1.0f, false, "16"}};
    for (const auto& c : cases)
        EXPECT_EQ(StepFloatText(c.text, c.step, c.allowNegative), c.result) << c.text << " " << c.step;
}

} // namespace
