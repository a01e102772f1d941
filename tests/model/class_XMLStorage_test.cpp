#include "model/class_XMLStorage.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

namespace {

TEST(NumberText, FloatsAreWrittenWithFifteenDigitsOfTheirExactValue)
{
    struct Case {
        float value;
        const char* text;
    };
    const std::vector<Case> cases = {
        {0.0f, "0"},
        {-0.0f, "0"},
        {2.0f, "2"},
        {0.5f, "0.5"},
        {-1.5f, "-1.5"},
        {100.0f, "100"},
        {0.1f, "0.100000001490116"},
        {3.7f, "3.70000004768372"},
        {123456.7f, "123456.703125"},
        {0.0625f, "0.0625"},
        {std::ldexp(1.0f, -13), "0.0001220703125"},     // just above 1E-4: fixed
        {std::ldexp(1.0f, -15), "3.0517578125E-5"},     // below 1E-4: scientific
        {0.0001f, "9.99999974737875E-5"},               // the float lies just below 1E-4
        {-0.00005f, "-4.99999987368938E-5"},
        {1e15f, "999999986991104"},                      // below 1E15: fixed, 15 digits
        {std::ldexp(1.0f, 50), "1.12589990684262E15"},
        {1e20f, "1.00000002004088E20"},
        {FLT_MAX, "3.40282346638529E38"},
        {FLT_MIN, "1.17549435082229E-38"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatText(c.value), c.text) << c.text;
}

TEST(NumberText, NotFiniteFloatsAreRefused)
{
    EXPECT_THROW(FloatText(NAN), cXMLStorageError);
    EXPECT_THROW(FloatText(INFINITY), cXMLStorageError);
}

TEST(NumberText, IntegersAndBooleans)
{
    EXPECT_EQ(IntText(0), "0");
    EXPECT_EQ(IntText(-12000), "-12000");
    EXPECT_EQ(IntText(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(BoolText(true), "True");
    EXPECT_EQ(BoolText(false), "False");
}

// One element whose attribute "v" holds the given text; the attribute is absent for nullptr.
struct Attribute {
    pugi::xml_document doc;
    explicit Attribute(const char* text)
    {
        pugi::xml_node node = doc.append_child("e");
        if (text)
            node.append_attribute("v").set_value(text);
    }
    pugi::xml_attribute get() const { return doc.first_child().attribute("v"); }
};

TEST(AttributeReaders, AbsentAttributesGiveEmptyFalseOrZero)
{
    Attribute absent(nullptr);
    EXPECT_EQ(cXMLStorage::ReadAttrString(absent.get()), "");
    EXPECT_FALSE(cXMLStorage::ReadAttrBool(absent.get()));
    EXPECT_EQ(cXMLStorage::ReadAttrFloat(absent.get()), 0);
    EXPECT_EQ(cXMLStorage::ReadAttrTruncated(absent.get(), INT32_MIN, INT32_MAX), 0);
    EXPECT_EQ(cXMLStorage::ReadAttrString(Attribute("a & b").get()), "a & b");
}

TEST(AttributeReaders, Floats)
{
    struct Case {
        const char* text;
        float value;
    };
    const std::vector<Case> good = {
        {"1.5", 1.5f}, {" 2 ", 2.0f}, {"+3", 3.0f}, {"-0.25", -0.25f}, {"1E3", 1000.0f}, {"2.5e-1", 0.25f},
        {".5", 0.5f},  {"0.100000001490116", 0.1f}, {"3.70000004768372", 3.7f}, {"3.40282346638529E38", FLT_MAX},
    };
    for (const Case& c : good)
        EXPECT_EQ(cXMLStorage::ReadAttrFloat(Attribute(c.text).get()), c.value) << c.text;
    for (const char* bad : {"", " ", "abc", "1,5", "nan", "NaN", "inf", "-Infinity", "1e39", "1e400", "0x10",
                            "12abc", "1.5.2", "- 1", "++1", "1e"})
        EXPECT_THROW(cXMLStorage::ReadAttrFloat(Attribute(bad).get()), cXMLStorageError) << '"' << bad << '"';
}

TEST(AttributeReaders, Booleans)
{
    struct Case {
        const char* text;
        bool value;
    };
    for (const Case& c : std::vector<Case>{{"True", true}, {"TRUE", true}, {"tRuE", true}, {"False", false},
                                           {"false", false}, {"1", true}, {"0", false}, {"-2", true},
                                           {"0.0", false}, {"0.5", true}})
        EXPECT_EQ(cXMLStorage::ReadAttrBool(Attribute(c.text).get()), c.value) << c.text;
    for (const char* bad : {"", "yes", "nan", "Truee", "1,0"})
        EXPECT_THROW(cXMLStorage::ReadAttrBool(Attribute(bad).get()), cXMLStorageError) << '"' << bad << '"';
}

TEST(AttributeReaders, WholeNumbersAreTruncatedTowardZeroAndRangeChecked)
{
    struct Case {
        const char* text;
        int64_t value;
    };
    for (const Case& c : std::vector<Case>{{"12.7", 12}, {"-3.9", -3}, {"-0.5", 0}, {"2147483520", 2147483520},
                                           {"-2147483648", INT32_MIN}})
        EXPECT_EQ(cXMLStorage::ReadAttrTruncated(Attribute(c.text).get(), INT32_MIN, INT32_MAX), c.value) << c.text;
    for (const char* bad : {"1e30", "2147483648", "-2147483904", "inf", "abc"})
        EXPECT_THROW(cXMLStorage::ReadAttrTruncated(Attribute(bad).get(), INT32_MIN, INT32_MAX), cXMLStorageError)
            << bad;
    EXPECT_EQ(cXMLStorage::ReadAttrTruncated(Attribute("9e18").get(), INT64_MIN, INT64_MAX), static_cast<int64_t>(9e18f));
    EXPECT_THROW(cXMLStorage::ReadAttrTruncated(Attribute("1e30").get(), INT64_MIN, INT64_MAX), cXMLStorageError);
}

} // namespace
