// The export window: the file it writes (length, header, the live render's samples, the MP3's
// length and level), its messages and overwrite question, the switches, and closing or destroying
// it while it exports.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "windows/form_SaveToWav.h"
#include "model/class_Switches.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "support/file_size_limit.h"
#include "support/ui_waits.h"

using namespace sonorel_test;
namespace fs = std::filesystem;

namespace {

constexpr int64_t kTenSecondsBytes = 10 * 44100 * 4;

uint32_t Le32(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

std::vector<int16_t> Samples(const std::string& bytes, size_t from)
{
    std::vector<int16_t> samples((bytes.size() - from) / 2);
    std::memcpy(samples.data(), bytes.data() + from, samples.size() * 2);
    return samples;
}

double RmsDb(const std::vector<int16_t>& samples)
{
    double sum = 0;
    for (int16_t s : samples)
        sum += double(s) * s;
    return 10 * std::log10(sum / samples.size() + 1e-9);
}

std::vector<int16_t> Decode(const std::string& path)
{
    std::vector<int16_t> all;
    const BassHandle stream = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    if (!stream)
        return all;
    std::vector<int16_t> block(32768);
    for (int32_t got; (got = BASS_ChannelGetData(stream, block.data(), 65536)) >= 0;)
        all.insert(all.end(), block.begin(), block.begin() + got / 2);
    BASS_StreamFree(stream);
    return all;
}

class SaveToWavTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sources = new std::vector<std::string>;
        const std::string folder = FixtureFolder();
        for (uint32_t seed : {1u, 2u}) {
            const std::string path = folder + "/source " + std::to_string(seed) + ".wav";
            ASSERT_TRUE(WriteAudioFile(path, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 8.0, seed}), 44100, 2));
            sources->push_back(path);
        }
    }
    static void TearDownTestSuite() { delete sources; }

    void SetUp() override
    {
        folder = FixtureFolder() + "/out";
        fs::create_directories(folder);
        SetCommandLine({"sonorel"});
        snl.WavProducer.Stop();
        snl.mixdata.Clear();
        snl.WavProducer.WavMix.Format = SoundFormat{2, 44100, 16, 0};
        form = new TFormSaveToWav;
    }
    void TearDown() override
    {
        delete form;
        snl.WavProducer.Stop();
        snl.mixdata.Clear();
        fs::remove_all(folder);
    }

    // Two rows that overlap by a second and fade across it: 6 + 5 - 1 = 10.0 s of mix.
    static void MakeTenSecondMix()
    {
        cMixRow* first = snl.mixdata.Add();
        first->filename = (*sources)[0];
        first->start = 1.0f;
        first->length = 6.0f;
        first->overlap = true;
        first->overlaplen = 1.0f;
        first->MixParams.fadeout = true;
        first->MixParams.fadeoutlength = 1.0f;
        cMixRow* second = snl.mixdata.Add();
        second->filename = (*sources)[1];
        second->length = 5.0f;
        second->MixParams.volume = 80;
        second->MixParams.fadein = true;
        second->MixParams.fadeinlength = 1.0f;
        ASSERT_FLOAT_EQ(snl.mixdata.TotalLength(), 10.0f);
    }

    // The same mix rendered by the live render step, in blocks of `block` bytes.
    static std::vector<int16_t> LiveRender(int64_t bytes, int64_t block)
    {
        snl.WavProducer.WavMix.Format = SoundFormat{2, 44100, 16, 0};
        snl.WavProducer.SetNeedlePos(snl.mixdata, 0.0f, false, -1);
        std::vector<int16_t> all(static_cast<size_t>(bytes / 2));
        for (int64_t at = 0; at < bytes; at += block)
            snl.WavProducer.RenderStep(all.data() + at / 2, std::min(block, bytes - at));
        snl.WavProducer.Stop();
        return all;
    }

    void Open(bool wavMode, const std::string& name)
    {
        form->SetMode(wavMode);
        form->filename->setText(QString::fromStdString(name));
    }

    std::string Path(const std::string& name) const { return folder + "/" + name; }

    std::vector<std::string> Names() const { return FileNames(folder); }

    static std::vector<std::string>* sources;
    std::string folder;
    TFormSaveToWav* form = nullptr;
    ui::MessageRecorder messages;
};
std::vector<std::string>* SaveToWavTest::sources = nullptr;

TEST_F(SaveToWavTest, WindowIsBuiltFromTheSkinAndTheModeSetsItUp)
{
    EXPECT_EQ(form->size(), QSize(483, 140));
    EXPECT_EQ(form->windowTitle(), "Save to wav");
    EXPECT_FALSE(form->towav->pixmap().isNull());
    EXPECT_EQ(form->tomp3->pos(), QPoint(0, 0));
    EXPECT_TRUE(form->ProgressBar1->isHidden());
    EXPECT_EQ(form->EncoderNode1.SampleRate, 44100);
    EXPECT_TRUE(form->EncoderNode1.OutputMP3());

    form->filename->setText("/music/kept.mp3");
    form->SetMode(false);
    EXPECT_EQ(form->windowTitle(), "Save to mp3");
    EXPECT_FALSE(form->tomp3->isHidden());
    EXPECT_EQ(form->SaveDialog1.Filter, "MP3 file|*.mp3");
    EXPECT_EQ(form->SaveDialog1.DefaultExt, "mp3");
    EXPECT_EQ(form->filename->text(), "/music/kept.mp3") << "a name of the same kind stays";
    EXPECT_EQ(form->mixdata, &snl.mixdata);
    EXPECT_EQ(form->WavProducer, &snl.WavProducer);
    form->SetMode(true);
    EXPECT_TRUE(form->tomp3->isHidden());
    EXPECT_EQ(form->SaveDialog1.Filter, "WAV file|*.wav");
    EXPECT_EQ(form->filename->text(), "") << "a name of the other kind is emptied";
}

TEST_F(SaveToWavTest, TenSecondMixGivesExactlyTenSecondsOfTheLiveRender)
{
    MakeTenSecondMix();
    // Live output at another rate: the export still renders at the encoder's 44100 Hz.
    snl.WavProducer.WavMix.Format = SoundFormat{2, 48000, 16, 0};
    Open(true, Path("mix.wav"));
    form->show();
    form->saveClick();
    EXPECT_TRUE(messages.Texts().empty()) << messages.Texts().front();
    EXPECT_TRUE(form->isHidden()) << "the window closes after the export";
    EXPECT_EQ(snl.WavProducer.WavMix.Format.Frequency, 48000) << "the live format comes back";
    EXPECT_FLOAT_EQ(ExportTotalLength, 10.0f);

    const std::string bytes = ReadBytes(Path("mix.wav"));
    ASSERT_EQ(bytes.size(), 44u + kTenSecondsBytes);
    EXPECT_EQ(Le32(bytes, 4), 36u + kTenSecondsBytes);
    EXPECT_EQ(Le32(bytes, 24), 44100u);
    EXPECT_EQ(Le32(bytes, 40), static_cast<uint32_t>(kTenSecondsBytes));
    const std::vector<int16_t> exported = Samples(bytes, 44);
    EXPECT_GT(RmsDb(exported), 60) << "there is sound in it";
    // Fades move on block by block, so the comparison renders in the encoder's block size.
    EXPECT_EQ(exported, LiveRender(kTenSecondsBytes, TEncoderNode::BlockBytes));
    EXPECT_EQ(Names(), std::vector<std::string>{"mix.wav"});
}

TEST_F(SaveToWavTest, Mp3ExportHasTheMixLengthAndTheWavLevel)
{
    MakeTenSecondMix();
    Open(true, Path("mix.wav"));
    form->saveClick();
    Open(false, Path("mix.mp3"));
    form->saveClick();
    ASSERT_TRUE(messages.Texts().empty()) << messages.Texts().front();
    const std::vector<int16_t> wav = Samples(ReadBytes(Path("mix.wav")), 44);
    const std::vector<int16_t> mp3 = Decode(Path("mix.mp3"));
    EXPECT_NEAR(static_cast<double>(mp3.size()) / 2, 441000.0, 1152.0);
    EXPECT_NEAR(RmsDb(mp3), RmsDb(wav), 0.5);
}

TEST_F(SaveToWavTest, NamesAndExtensionsDecideTheFormat)
{
    MakeTenSecondMix();
    const std::string oldCwd = fs::current_path();
    fs::current_path(folder);
    Open(false, "no extension");
    form->saveClick();
    EXPECT_EQ(form->filename->text(), "no extension.mp3");
    Open(true, "Wav Window.MP3");
    form->saveClick();
    Open(true, Path("odd \"name\"; x ü.ogg"));
    form->saveClick();
    fs::current_path(oldCwd);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Only output to wav or mp3 supported."});
    EXPECT_EQ(Names(), (std::vector<std::string>{"Wav Window.MP3", "no extension.mp3"}));
    EXPECT_NE(ReadBytes(Path("Wav Window.MP3")).substr(0, 4), "RIFF") << "the extension, not the mode, decides";
}

TEST_F(SaveToWavTest, NamesWithoutAFileNameAreRefused)
{
    MakeTenSecondMix();
    const std::string oldCwd = fs::current_path();
    fs::current_path(folder);
    for (const std::string& name : {std::string(), std::string("   "), Path(""), std::string(".wav"), Path(".mp3"),
                                    std::string("./"), std::string("..")}) {
        messages.Clear();
        Open(true, name);
        form->saveClick();
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Enter the name of the file to export the mix to."})
            << "\"" << name << "\"";
    }
    fs::current_path(oldCwd);
    EXPECT_TRUE(Names().empty());
}

TEST_F(SaveToWavTest, EmptyMixIsRefused)
{
    Open(true, Path("empty.wav"));
    form->saveClick();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Empty project. Nothing to export."});
    EXPECT_TRUE(Names().empty());
}

TEST_F(SaveToWavTest, ExistingFileIsOverwrittenOnlyAfterYes)
{
    MakeTenSecondMix();
    const std::string path = Path("it's there; already.wav");
    WriteBytes(path, "keep me");
    form->show();
    Open(true, path);
    messages.QueueAnswer(ui::MsgResult::No);
    form->saveClick();
    ASSERT_EQ(messages.Messages().size(), 1u);
    const ui::RecordedMessage question = messages.Messages()[0];
    EXPECT_EQ(question.text, "Target file " + path + " already exists. Do you want to overwrite it?");
    EXPECT_EQ(question.buttons, ui::MsgButtons::YesNo);
    EXPECT_EQ(ReadBytes(path), "keep me");
    EXPECT_TRUE(form->isVisible()) << "No keeps the window open";

    messages.Clear();
    messages.QueueAnswer(ui::MsgResult::Yes);
    form->saveClick();
    EXPECT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(fs::file_size(path), 44u + kTenSecondsBytes);
}

// Browse only picks the name: the question about an existing file is the export's, asked once.
TEST_F(SaveToWavTest, BrowseToAnExistingFileAsksNothingYet)
{
    const std::string path = Path("there already.wav");
    WriteBytes(path, "keep me");
    auto qtAsked = std::make_shared<bool>(false);
    QTimer::singleShot(0, [path, qtAsked] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // A question of the file dialog's own would open inside its accept: note it and say Yes.
        QTimer::singleShot(0, [qtAsked] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                *qtAsked = true;
                box->button(QMessageBox::Yes)->click();
            }
        });
        dialog->selectFile(QString::fromStdString(path));
        static_cast<QDialog*>(dialog)->accept(); // runs the file dialog's own accept
    });
    form->show();
    QTest::mouseClick(form->Image3, Qt::LeftButton);
    EXPECT_EQ(form->filename->text().toStdString(), path);
    QTest::qWait(0);
    EXPECT_FALSE(*qtAsked);
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(ReadBytes(path), "keep me");
}

TEST_F(SaveToWavTest, FailuresAreShownAndLeaveTheOldFile)
{
    MakeTenSecondMix();
    const std::string path = Path("full.wav");
    WriteBytes(path, "old");
    Open(true, path);
    form->show();
    messages.QueueAnswer(ui::MsgResult::Yes);
    {
        FileSizeLimit limit(300000);
        form->saveClick();
    }
    ASSERT_EQ(messages.Texts().size(), 2u);
    EXPECT_EQ(messages.Texts()[1].rfind("Can't write the output file.\r\nFile name: " + path + "\r\n", 0), 0u)
        << messages.Texts()[1];
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_TRUE(form->isVisible()) << "the window stays for another try";

    messages.Clear();
    const std::string savedPath = getenv("PATH");
    setenv("PATH", folder.c_str(), 1);
    Open(false, Path("no lame.mp3"));
    form->saveClick();
    setenv("PATH", savedPath.c_str(), 1);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0].rfind("Can't start MP3 encoder.\r\nFile name: " + Path("no lame.mp3"), 0), 0u)
        << messages.Texts()[0];
    EXPECT_EQ(Names(), std::vector<std::string>{"full.wav"});
}

TEST_F(SaveToWavTest, TowavtestExportsOnActivationWithoutAsking)
{
    MakeTenSecondMix();
    SetCommandLine({"sonorel", "towavtest"});
    WriteBytes(Path("self test.wav"), "old");
    Open(true, Path("self test.wav"));
    form->show();
    form->activateWindow();
    WAIT_TRUE(form->isHidden());
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(fs::file_size(Path("self test.wav")), 44u + kTenSecondsBytes);
}

TEST_F(SaveToWavTest, Tomp3SwitchExportsByItsTimerAskingFirstAndCloses)
{
    MakeTenSecondMix();
    const std::string path = Path("auto.mp3");
    WriteBytes(path, "old");
    SetCommandLine({"sonorel", "tomp3", path});
    form->SetMode(false);
    EXPECT_EQ(form->filename->text().toStdString(), path);
    EXPECT_TRUE(form->AutoMode->isActive());
    messages.QueueAnswer(ui::MsgResult::Yes);
    form->show();
    WAIT_TRUE(form->isHidden());
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"Target file " + path + " already exists. Do you want to overwrite it?"});
    EXPECT_NEAR(Decode(path).size() / 2.0, 441000.0, 1152.0);
}

TEST_F(SaveToWavTest, ClosingDuringTheExportStopsItAndDiscardsTheFile)
{
    MakeTenSecondMix();
    struct Way {
        const char* what;
        std::function<void(TFormSaveToWav*)> close;
    } ways[] = {
        {"Esc", [](TFormSaveToWav* f) { QTest::keyClick(f, Qt::Key_Escape); }},
        {"Cancel", [](TFormSaveToWav* f) { QTest::mouseClick(f->Image6, Qt::LeftButton); }},
        {"close", [](TFormSaveToWav* f) { f->close(); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        Open(true, Path("closed.wav"));
        form->show();
        int blocks = 0;
        auto progress = form->EncoderNode1.OnEncodeProgress;
        form->EncoderNode1.OnEncodeProgress = [&, progress](TAudioTransformNode* sender) {
            if (++blocks == 3)
                QTimer::singleShot(0, form, [&] { way.close(form); });
            progress(sender);
        };
        form->saveClick();
        form->EncoderNode1.OnEncodeProgress = progress;
        EXPECT_TRUE(form->isHidden());
        EXPECT_FALSE(form->Exporting());
        EXPECT_LT(blocks, 6) << "the run ended early";
        EXPECT_TRUE(messages.Texts().empty());
        EXPECT_TRUE(Names().empty());
    }
}

TEST_F(SaveToWavTest, DestroyingTheWindowDuringTheExportIsSafe)
{
    MakeTenSecondMix();
    snl.WavProducer.WavMix.Format = SoundFormat{2, 48000, 16, 0};
    Open(true, Path("destroyed.wav"));
    form->show();
    int blocks = 0;
    auto progress = form->EncoderNode1.OnEncodeProgress;
    form->EncoderNode1.OnEncodeProgress = [&, progress](TAudioTransformNode* sender) {
        if (++blocks == 3)
            QTimer::singleShot(0, [&] {
                delete form;
                form = nullptr;
            });
        progress(sender);
    };
    form->saveClick();
    EXPECT_EQ(form, nullptr);
    EXPECT_EQ(snl.WavProducer.WavMix.Format.Frequency, 48000);
    EXPECT_TRUE(Names().empty());
}

// Under xvfb-run with SONOREL_SCREENSHOT_DIR set, the two modes are saved as pictures to look at.
TEST_F(SaveToWavTest, PicturesOfBothModes)
{
    MakeTenSecondMix();
    for (bool wavMode : {true, false}) {
        Open(wavMode, wavMode ? "/home/dj/Exports/Friday set – side A.wav" : "/home/dj/Exports/Friday set.mp3");
        form->show();
        form->ProgressBar1->setValue(42);
        form->ProgressBar1->setVisible(!wavMode);
        const QImage picture = form->grab().toImage();
        EXPECT_EQ(picture.size(), QSize(483, 140));
        if (const char* dir = getenv("SONOREL_SCREENSHOT_DIR"))
            picture.save(QString(dir) + (wavMode ? "/export_wav_window.png" : "/export_mp3_window.png"));
        form->ProgressBar1->hide();
    }
}

} // namespace
