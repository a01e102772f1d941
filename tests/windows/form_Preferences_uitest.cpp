#include "windows/form_Preferences.h"

#include "AudioControls/class_DeviceList.h"
#include "engine/class_SoundDevice.h"
#include "model/class_Application.h"
#include "model/class_Settings.h"
#include "platform/sound/SoundLibrary.h"
#include "support/audio_fixtures.h"
#include "support/waits.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

using namespace sonorel_test;

namespace {

const std::vector<std::string> kDevices = {"Speakers", "Headphones"};

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const TRegString* setting : {&::OutputDevice, &OutputDeviceIndex, &OutputFrequency, &LoadLast})
            WriteSettingString(*setting, "");
        form.OutputDevice->DeviceText = [](int index) {
            return index >= 1 && index <= static_cast<int>(kDevices.size()) ? kDevices[index - 1] : std::string();
        };
    }

    // Runs the window as the preferences button does; `user` acts in it once it is shown and
    // must close it. A user that fails to close it is cut short by Cancel.
    int Run(const std::function<void()>& user)
    {
        QTimer::singleShot(0, &form, user);
        QTimer rescue;
        rescue.setSingleShot(true);
        QObject::connect(&rescue, &QTimer::timeout, &form, [this] {
            ADD_FAILURE() << "the window was left open";
            form.reject();
        });
        rescue.start(kHangDeadline);
        return form.FillControls();
    }

    // The user picks the item `steps` below the shown one with the keyboard.
    static void Choose(QComboBox* list, int steps)
    {
        for (int i = 0; i < steps; ++i)
            QTest::keyClick(list, Qt::Key_Down);
    }

    void ClickOk() { QTest::mouseClick(form.OKBtn, Qt::LeftButton); }
    void ClickCancel() { QTest::mouseClick(form.CancelBtn, Qt::LeftButton); }

    static std::vector<std::string> Stored()
    {
        return {ReadSettingString(::OutputDevice), ReadSettingString(OutputDeviceIndex),
                ReadSettingString(OutputFrequency), ReadSettingString(LoadLast)};
    }

    TFormPreferences form;
};

TEST_F(PreferencesTest, FirstStartShowsTheDefaults)
{
    EXPECT_EQ(form.windowTitle(), "Preferences");
    EXPECT_EQ(form.size(), QSize(393, 189));
    Run([&] {
        EXPECT_EQ(form.OutputDevice->count(), 3);
        EXPECT_EQ(form.OutputDevice->currentText(), "Default Device");
        EXPECT_EQ(form.Frequency->currentText(), "44100");
        EXPECT_TRUE(form.cbLoadLast->isChecked());
        EXPECT_EQ(form.cbLoadLast->text(), "load last project on start");
        ClickCancel();
    });
    EXPECT_EQ(Stored(), (std::vector<std::string>{"0", "0", "44100", "1"})) << "Cancel stored nothing";
}

TEST_F(PreferencesTest, StoredChoicesThatAreNoLongerOfferedSelectTheFirstItem)
{
    struct Case {
        const char *device, *frequency;
        int deviceIndex;
        const char* frequencyShown;
    };
    const Case cases[] = {
        {"Headphones", "48000", 2, "48000"},
        {"USB Headset", "44100", 0, "44100"}, // unplugged since
        {"Speakers", "32000", 1, "22050"},    // a rate the list doesn't offer
        {"speakers", "abc", 0, "22050"},      // names are compared exactly
    };
    for (const Case& c : cases) {
        WriteSettingString(::OutputDevice, c.device);
        WriteSettingString(OutputFrequency, c.frequency);
        Run([&] {
            EXPECT_EQ(form.OutputDevice->currentIndex(), c.deviceIndex) << c.device;
            EXPECT_EQ(form.Frequency->currentText().toStdString(), c.frequencyShown) << c.frequency;
            ClickOk();
        });
        EXPECT_EQ(form.GetStoredDeviceIndex(), c.deviceIndex) << c.device;
        EXPECT_FALSE(form.SettingsChanged) << "what the window selects by itself is no change";
        EXPECT_EQ(ReadSettingString(::OutputDevice), c.device) << "OK without a change keeps the device";
        EXPECT_EQ(ReadSettingString(OutputFrequency), c.frequency);
    }
}

TEST_F(PreferencesTest, OkStoresTheUsersChoicesAndCancelNothing)
{
    EXPECT_EQ(Run([&] {
                  Choose(form.OutputDevice, 2);
                  Choose(form.Frequency, 1);
                  QTest::mouseClick(form.cbLoadLast, Qt::LeftButton);
                  ClickCancel();
              }),
              QDialog::Rejected);
    EXPECT_EQ(Stored(), (std::vector<std::string>{"0", "0", "44100", "1"}));

    EXPECT_EQ(Run([&] {
                  Choose(form.OutputDevice, 2);
                  Choose(form.Frequency, 1);
                  QTest::mouseClick(form.cbLoadLast, Qt::LeftButton);
                  ClickOk();
              }),
              QDialog::Accepted);
    EXPECT_TRUE(form.SettingsChanged);
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Headphones", "2", "48000", "0"}));

    Run([&] {
        QTest::mouseClick(form.cbLoadLast, Qt::LeftButton);
        ClickOk();
    });
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Headphones", "2", "48000", "-1"})) << "only LoadLast";
}

// ---- Changing the output while the mix plays -----------------------------------------------

constexpr int kRate = 44100;
constexpr uint32_t kBlock = 4410; // 0.1 s

class OutputChangeTest : public PreferencesTest {
protected:
    void SetUp() override
    {
        PreferencesTest::SetUp();
        const std::string file = FixtureFolder() + "/song.wav";
        ASSERT_TRUE(WriteAudioFile(file, AudioFileKind::Wav, MakeSweepNoise({kRate, 2, 10.0, 7}), kRate, 2));
        BASS_ManualOutputEnable(true);
        snl.Play(0, kRate);
        cMixRow* row = snl.mixdata.Add();
        row->filename = file;
        row->length = 10;
        snl.WavProducer.SetNeedlePos(snl.mixdata, 0, true, -1);
        snl.Playing = 1;
        Pump(20); // 2 s into the mix
    }
    void TearDown() override
    {
        snl.WavProducer.Stop();
        snl.Playing = 0;
        snl.mixdata.Clear();
        SoundDevice->Close();
        BASS_ManualOutputEnable(false);
    }

    static void Pump(int blocks)
    {
        std::vector<int16_t> block(kBlock * 2);
        for (int i = 0; i < blocks; ++i)
            ASSERT_EQ(BASS_ManualOutputPump(block.data(), kBlock), kBlock * 4);
    }
};

TEST_F(OutputChangeTest, ANewDeviceResumesTheMix80msEarlierOnTheNewOutput)
{
    ASSERT_FLOAT_EQ(snl.WavProducer.MainTime, 2.0f);
    QTimer::singleShot(0, &form, [&] {
        Choose(form.OutputDevice, 2);
        Choose(form.Frequency, 1);
        ClickOk();
    });
    EXPECT_TRUE(form.ChangeOutputSettings());
    EXPECT_FLOAT_EQ(snl.WavProducer.MainTime, static_cast<float>(2.0f - 0.08));
    EXPECT_EQ(snl.Playing, 1);
    EXPECT_EQ(snl.WavProducer.Stopped, 0);
    EXPECT_EQ(snl.WavProducer.WavMix.Format.Device, 2);
    EXPECT_EQ(snl.WavProducer.WavMix.Format.Frequency, 48000);
    const BassOutputInfo info = BASS_GetOutputInfo();
    EXPECT_TRUE(info.initialised);
    EXPECT_EQ(info.frequency, 48000);
    Pump(1);
    EXPECT_GT(snl.WavProducer.MainTime, 1.95f) << "the mix goes on from there";
    EXPECT_EQ(Stored(), (std::vector<std::string>{"Headphones", "2", "48000", "-1"}));
}

TEST_F(OutputChangeTest, CancelOrOkWithoutAChangeLeaveTheOutputAlone)
{
    const std::function<void()> users[] = {
        [&] {
            Choose(form.OutputDevice, 1);
            ClickCancel();
        },
        [&] {
            QTest::mouseClick(form.cbLoadLast, Qt::LeftButton);
            ClickOk();
        },
    };
    for (const auto& user : users) {
        QTimer::singleShot(0, &form, user);
        EXPECT_FALSE(form.ChangeOutputSettings());
        EXPECT_FLOAT_EQ(snl.WavProducer.MainTime, 2.0f) << "no restart";
        EXPECT_EQ(snl.WavProducer.WavMix.Format.Device, 0);
        EXPECT_EQ(snl.WavProducer.Stopped, 0);
    }
}

} // namespace
