// The main window's CD burn: the image it renders (44100 Hz stereo 16-bit whatever the output
// frequency, the same samples as the export's render), its refusals, and the whole way from the
// navigation button through the wizard to the simulated burner.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <fstream>

#include "GraphControls/class_SkinPicture.h"
#include "windows/form_CDBurn.h"
#include "model/class_FileLog.h"
#include "model/class_Folders.h"
#include "model/class_Settings.h"
#include "model/class_Switches.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "support/file_size_limit.h"
#include "support/simulated_burner.h"
#include "support/ui_waits.h"
#include "windows/Forms.h"
#include "windows/class_SonorelApplication.h"
#include "windows/form_Main.h"

using namespace sonorel_test;

namespace {

std::string ImagePath() { return GetAppDataFolder() + "/sonorel_cdimage_temp.wav"; }

uint32_t Le32(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

class MainBurnTest : public testing::Test {
protected:
    void SetUp() override
    {
        WriteSettingString(OutputFrequency, "48000");
        WriteSettingString(LoadLast, "0");
        WriteSettingString(ShowHelp, "0");
        SetCommandLine({"sonorel"});
        CreateForms();
        FormMain->show();
        WAIT_TRUE(!FormMain->FirstActivation);
        snl.mixdata.Clear();
        QFile::remove(QString::fromStdString(ImagePath()));
        messages.Clear();
    }
    void TearDown() override
    {
        snl.WavProducer.Stop();
        snl.mixdata.Clear();
        DestroyForms();
        WriteSettingString(OutputFrequency, "44100");
    }

    // A 3-second mix of two rows of sweep and noise that overlap by half a second.
    static void MakeThreeSecondMix()
    {
        const std::string folder = FixtureFolder();
        for (uint32_t seed : {1u, 2u}) {
            const std::string path = folder + "/source" + std::to_string(seed) + ".wav";
            ASSERT_TRUE(WriteAudioFile(path, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 3.0, seed}), 44100, 2));
            cMixRow* row = snl.mixdata.Add();
            row->filename = path;
            row->length = 1.75f;
            row->overlap = seed == 1;
            row->overlaplen = 0.5f;
        }
        ASSERT_FLOAT_EQ(snl.mixdata.TotalLength(), 3.0f);
    }

    ui::MessageRecorder messages;
};

} // namespace

TEST_F(MainBurnTest, ImageIsCdAudioWhateverTheOutputFrequency)
{
    MakeThreeSecondMix();
    ASSERT_EQ(snl.WavProducer.WavMix.Format.Frequency, 48000);
    FormMain->RenderCDImage(FormCDBurn);
    ASSERT_EQ(FormCDBurn->ImageFileName, ImagePath());
    EXPECT_EQ(snl.WavProducer.WavMix.Format.Frequency, 48000) << "the live format comes back";

    const std::string bytes = ReadBytes(ImagePath());
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(Le32(bytes, 24), 44100u);
    EXPECT_EQ(bytes[22], 2);
    EXPECT_EQ(bytes[34], 16);
    const int64_t expectedBytes = 3 * 44100 * 4;
    ASSERT_EQ(Le32(bytes, 40), uint32_t(expectedBytes)) << "the image ends with the mix";

    // The same mix rendered directly at 44100 Hz.
    snl.WavProducer.WavMix.Format = SoundFormat{2, 44100, 16, 0};
    snl.WavProducer.SetNeedlePos(snl.mixdata, 0.0f, false, -1);
    std::string direct(size_t(expectedBytes), '\0');
    for (int64_t at = 0; at < expectedBytes; at += TEncoderNode::BlockBytes)
        snl.WavProducer.RenderStep(direct.data() + at, std::min<int64_t>(TEncoderNode::BlockBytes, expectedBytes - at));
    EXPECT_TRUE(bytes.compare(44, std::string::npos, direct) == 0) << "image and direct render differ";
}

TEST_F(MainBurnTest, EmptyProjectAndFullDiskLeaveNoImage)
{
    FormCDBurn->ImageFileName.clear();
    FormMain->RenderCDImage(FormCDBurn);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Empty project. Nothing to burn."});
    EXPECT_TRUE(FormCDBurn->ImageFileName.empty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(ImagePath())));

    MakeThreeSecondMix();
    {
        FileSizeLimit limit(100000);
        FormMain->RenderCDImage(FormCDBurn);
    }
    EXPECT_TRUE(FormCDBurn->ImageFileName.empty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(ImagePath()))) << "a failed render removes its partial image";
    EXPECT_EQ(snl.WavProducer.WavMix.Format.Frequency, 48000);
}

// Clicks the burn button and walks the wizard through its steps; the wizard's log at the end.
std::vector<std::string> BurnThroughTheWizard()
{
    std::vector<std::string> log;
    QTimer::singleShot(0, FormCDBurn, [&log] {
        for (int step = 0; step < 3; ++step)
            FormCDBurn->NextClick();
        for (const QString& line : FormCDBurn->Log->toPlainText().split('\n'))
            log.push_back(line.toStdString());
        FormCDBurn->CloseBtnClick();
    });
    QTest::mouseClick(FormMain->cdburn, Qt::LeftButton);
    return log;
}

TEST_F(MainBurnTest, BurnButtonRendersAndBurnsThroughTheWizard)
{
    SimulatedBurner sim;
    sim.drives = {SimulatedDrive{}};
    CDevice::PollIntervalMs = 0;
    MakeThreeSecondMix();
    const std::vector<std::string> log = BurnThroughTheWizard();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Success!");
    // The render's progress replaces one line: "Rendering: " with the whole percent.
    const auto rendering = std::find_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("Rendering: ", 0) == 0; });
    ASSERT_NE(rendering, log.end());
    const std::string percent = rendering->substr(11);
    EXPECT_TRUE(percent.size() >= 2 && percent.size() <= 4 && percent.back() == '%' &&
                percent.find_first_not_of("0123456789") == percent.size() - 1)
        << *rendering;
    EXPECT_EQ(std::find_if(rendering + 1, log.end(), [](const std::string& l) { return l.rfind("Rendering: ", 0) == 0; }), log.end());
    ASSERT_EQ(sim.jobs.size(), 1u);
    EXPECT_EQ(sim.jobs[0].tracks[0].wavPath, ImagePath());
    EXPECT_EQ(sim.jobs[0].discTitle, "Sonorel");
    EXPECT_EQ(sim.ejected.size(), 1u);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(ImagePath()))) << "the image is deleted after the burn";
    EXPECT_EQ(sim.grabbed, 0);
    std::ifstream file(FileLogPath());
    const std::string fileLog((std::istreambuf_iterator<char>(file)), {});
    EXPECT_NE(fileLog.find("CD Burn"), std::string::npos);
}

TEST_F(MainBurnTest, EmptyProjectEndsTheBurnWithoutWriting)
{
    SimulatedBurner sim;
    sim.drives = {SimulatedDrive{}};
    const std::vector<std::string> log = BurnThroughTheWizard();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Failure. Burning error.");
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Empty project. Nothing to burn."});
    EXPECT_TRUE(sim.jobs.empty());
    EXPECT_TRUE(sim.ejected.empty());
    EXPECT_EQ(sim.grabbed, 0);
}

TEST_F(MainBurnTest, CdburnSwitchOpensTheWizardAtStartUp)
{
    DestroyForms();
    SetCommandLine({"sonorel", "cdburn"});
    CreateForms();
    // The wizard is modal: a timer closes it once it shows (or gives up after 10 s).
    bool shown = false;
    QTimer watch;
    int ticks = 0;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (FormCDBurn->isVisible()) {
            shown = FormCDBurn->Step() == 0;
            FormCDBurn->CancelClick();
        }
        if (shown || ++ticks > 1000)
            watch.stop();
    });
    watch.start(10);
    FormMain->show();
    WAIT_TRUE(!FormMain->FirstActivation);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(FormCDBurn->isVisible());
}
