#include "model/class_Folders.h"
#include "model/class_Settings.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Every test starts from a fresh profile: no settings file.
class SettingsTest : public testing::Test {
protected:
    void SetUp() override
    {
        QSettings store(QSettings::IniFormat, QSettings::UserScope, "Sonorel", "Sonorel");
        store.clear();
        store.sync();
    }
    const TRegString probe{"Probe", "fallback"};
};

TEST_F(SettingsTest, FreshProfileReadsTheDefaults)
{
    EXPECT_EQ(ReadSettingInt(OutputFrequency), 44100);
    EXPECT_TRUE(ReadSettingBool(LoadLast));
    EXPECT_EQ(ReadSettingInt(ShowHelp), 1);
    EXPECT_EQ(ReadSettingString(OutputDevice), "0");
    EXPECT_EQ(ReadSettingString(OutputDeviceIndex), "0");
    EXPECT_EQ(ReadSettingString(LastProject), "");
    EXPECT_FALSE(ReadSettingBool(LastProject));
    EXPECT_EQ(ReadSettingInt(probe), 0); // a default that is no number reads as 0
}

TEST_F(SettingsTest, EmptyTextReadsAsTheDefault)
{
    WriteSettingString(OutputFrequency, "48000");
    WriteSettingString(OutputFrequency, "");
    EXPECT_EQ(ReadSettingString(OutputFrequency), "44100");
}

TEST_F(SettingsTest, BoolsAndInts)
{
    WriteSettingBool(LoadLast, true);
    EXPECT_EQ(ReadSettingString(LoadLast), "-1");
    EXPECT_TRUE(ReadSettingBool(LoadLast));
    WriteSettingBool(LoadLast, false);
    EXPECT_EQ(ReadSettingString(LoadLast), "0");
    EXPECT_FALSE(ReadSettingBool(LoadLast));
    WriteSettingInt(OutputFrequency, -22050);
    EXPECT_EQ(ReadSettingString(OutputFrequency), "-22050");
    EXPECT_EQ(ReadSettingInt(OutputFrequency), -22050);

    const struct {
        const char* text;
        bool asBool;
        int asInt;
    } cases[] = {{"1", true, 1},     {"2", true, 2},         {"0.5", true, 0},   {"0", false, 0},
                 {"True", true, 0},  {"false", false, 0},    {"TRUE", true, 0},  {"yes", false, 0},
                 {"12ab", false, 0}, {" 7 ", true, 7},       {"-0", false, 0}};
    for (const auto& c : cases) {
        WriteSettingString(probe, c.text);
        EXPECT_EQ(ReadSettingBool(probe), c.asBool) << c.text;
        EXPECT_EQ(ReadSettingInt(probe), c.asInt) << c.text;
    }
}

TEST_F(SettingsTest, TextsRoundTripExactly)
{
    for (const std::string text : {"/home/me/My Mixes/Set, \"live\" & more.xml", "C:\\old\\path=1;#x",
                                   "Ünïcødé 日本 ♫", "  spaced  ", "a\nb"}) {
        WriteSettingString(LastProject, text);
        EXPECT_EQ(ReadSettingString(LastProject), text);
    }
}

TEST_F(SettingsTest, OneEntryPerSettingUnderTheProgramName)
{
    WriteSettingString(OutputDevice, "USB Audio");
    QSettings file(QSettings::IniFormat, QSettings::UserScope, "Sonorel", "Sonorel");
    EXPECT_TRUE(std::filesystem::exists(file.fileName().toStdString()));
    const QString key = QString::fromStdString(ExecutableFileName()) + "/OutputDevice";
    EXPECT_EQ(file.value(key).toString(), "USB Audio");
    EXPECT_EQ(RegistryReadString(ExecutableFileName() + "\\OutputDevice", "x"), "USB Audio");
    EXPECT_EQ(RegistryReadString("Other\\Missing", "fallback"), "fallback");
    RegistryWriteString("Other\\Present", "here");
    EXPECT_EQ(RegistryReadString("Other\\Present", ""), "here");
}

} // namespace
