// The record wizard with the manual sound input, the real `lame` and the message recorder: the
// numbered files, start / stop / done / cancel, closing while recording, the device list and the
// meter, and a missing encoder or device.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

#include "windows/form_Record.h"
#include "model/class_Folders.h"
#include "platform/sound/SoundRecord.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "support/file_size_limit.h"
#include "platform/sound/sound_test_util.h"

using namespace sonorel_test;
namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;

std::vector<int16_t> Tone(double seconds, double amplitude = 0.5)
{
    return MakeTone(440, {kRate, 2, seconds}, amplitude);
}

std::vector<int16_t> Decode(const std::string& path)
{
    const BassHandle stream = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    if (!stream)
        return {};
    std::vector<int16_t> all = sound_test::DecodeAll(stream);
    BASS_StreamFree(stream);
    return all;
}

void Push(const std::vector<int16_t>& samples)
{
    ASSERT_EQ(BASS_ManualInputPush(samples.data(), uint32_t(samples.size() * 2)), samples.size() * 2);
}

class RecordWizardTest : public testing::Test {
protected:
    void SetUp() override
    {
        // The tests empty the record folder, which lies in the test program's own fresh home.
        BASS_ManualInputEnable(true);
        folder = GetRecordFolder();
        for (const auto& entry : fs::directory_iterator(folder))
            fs::remove_all(entry.path());
        form = std::make_unique<TFormRecord>();
    }
    void TearDown() override
    {
        form.reset();
        BASS_RecordFree();
        BASS_ManualInputEnable(false);
        BASS_ManualInputRefuse(false);
    }
    std::string Path(const std::string& name) const { return folder + "/" + name; }
    std::string Edit1() const { return form->Edit1->text().toStdString(); }

    // Starts a recording; `during` runs inside the encoder's loop, as the user's clicks do.
    void Record(std::function<void()> during)
    {
        QTimer::singleShot(0, form.get(), during);
        form->Button4Click();
    }
    // Pushes the samples, then, once the encoder has pulled them all, runs `then`.
    void RecordThen(const std::vector<int16_t>& samples, std::function<void()> then)
    {
        Record([this, samples, then] {
            Push(samples);
            WhenDrained(then);
        });
    }
    // Feeds `seconds` of tone in two-second steps, each once the encoder has pulled the last, for as
    // long as the recording runs; when all is fed and pulled, stops it.
    void FeedWhileRecording(double seconds)
    {
        if (!form->IsRecording())
            return;
        if (form->RecorderNode1.Recorded() > 0) {
            QTimer::singleShot(10, form.get(), [this, seconds] { FeedWhileRecording(seconds); });
            return;
        }
        if (seconds <= 0) {
            form->stopClick();
            return;
        }
        Push(Tone(std::min(2.0, seconds)));
        QTimer::singleShot(0, form.get(), [this, seconds] { FeedWhileRecording(seconds - 2.0); });
    }
    void WhenDrained(std::function<void()> then)
    {
        if (form->RecorderNode1.Recorded() == 0)
            then();
        else
            QTimer::singleShot(10, form.get(), [this, then] { WhenDrained(then); });
    }

    ui::MessageRecorder messages;
    std::string folder;
    std::unique_ptr<TFormRecord> form;
};

TEST_F(RecordWizardTest, RecordFileNamesTakeTheFirstFreeNumber)
{
    struct Case {
        std::vector<std::string> files;
        std::vector<std::string> folders;
        std::string next;
    };
    for (const Case& c : {Case{{}, {}, "Record 1.mp3"}, Case{{"Record 1.mp3", "Record 2.mp3"}, {}, "Record 3.mp3"},
                          Case{{"Record 2.mp3"}, {}, "Record 1.mp3"},
                          Case{{"Record 1.mp3", "Record 2.mp3"}, {"Record 3.mp3"}, "Record 4.mp3"}}) {
        SCOPED_TRACE(c.next);
        for (const auto& entry : fs::directory_iterator(folder))
            fs::remove_all(entry.path());
        for (const std::string& name : c.files)
            WriteBytes(Path(name), "x");
        for (const std::string& name : c.folders)
            fs::create_directory(Path(name));
        EXPECT_EQ(TFormRecord::MakeRecordFileName(), c.next);
    }
}

TEST_F(RecordWizardTest, RecordedToneDecodesToTheCapturedLengthAtItsPitch)
{
    WriteBytes(Path("Record 1.mp3"), "x");
    WriteBytes(Path("Record 2.mp3"), "x");
    form->show();
    ASSERT_TRUE(form->RecorderNode1.Active());
    RecordThen(Tone(1.0), [this] {
        EXPECT_TRUE(form->Recording->isVisible());
        form->Timer1Timer();
        EXPECT_EQ(form->Label1->text(), "1.00 sec");
        form->Image3Click();
    });
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), 1);
    EXPECT_EQ(Edit1(), Path("Record 3.mp3"));
    const std::vector<int16_t> decoded = Decode(Path("Record 3.mp3"));
    EXPECT_NEAR(double(decoded.size()) / 2, kRate, 1152) << "within one MP3 frame";
    EXPECT_NEAR(sound_test::MeasureFrequency(decoded, 2, kRate, 2000), 440.0, 1.0);
    EXPECT_FALSE(form->RecorderNode1.Active()) << "closing ends capture";
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(RecordWizardTest, StartingAgainReplacesTheRecordingOfThisWindow)
{
    form->show();
    RecordThen(Tone(0.5), [this] { form->stopClick(); });
    ASSERT_EQ(Edit1(), Path("Record 1.mp3"));
    ASSERT_TRUE(fs::exists(Path("Record 1.mp3")));
    RecordThen(Tone(1.0), [this] { form->stopClick(); });
    EXPECT_EQ(Edit1(), Path("Record 1.mp3")) << "the first file was deleted, so its number is free again";
    EXPECT_EQ(FileNames(folder), std::vector<std::string>{"Record 1.mp3"});
    EXPECT_NEAR(double(Decode(Path("Record 1.mp3")).size()) / 2, kRate, 1152) << "the second recording";
}

TEST_F(RecordWizardTest, DoneWithoutRecordingHandsOverNoFile)
{
    form->show();
    form->Image3Click();
    EXPECT_EQ(form->result(), 1);
    EXPECT_EQ(Edit1(), "");
    EXPECT_TRUE(FileNames(folder).empty());

    // Started, but done before any sound came in: a file without sound is no recording.
    form->show();
    Record([this] { form->Image3Click(); });
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), 1);
    EXPECT_EQ(Edit1(), "");
    EXPECT_TRUE(FileNames(folder).empty());
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(RecordWizardTest, CancelDeletesTheRecording)
{
    form->show();
    RecordThen(Tone(0.3), [this] { form->stopClick(); });
    ASSERT_TRUE(fs::exists(Path("Record 1.mp3")));
    form->Image2Click();
    EXPECT_EQ(form->result(), 2);
    EXPECT_TRUE(FileNames(folder).empty());

    // Cancelled while recording: the window closes once the encoder has ended, and nothing stays.
    form->show();
    RecordThen(Tone(0.3), [this] {
        form->Image2Click();
        EXPECT_TRUE(form->isVisible()) << "not before the encoder's loop has ended";
    });
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), 2);
    EXPECT_TRUE(FileNames(folder).empty());
}

TEST_F(RecordWizardTest, StartDuringARecordingIsIgnored)
{
    form->show();
    int starts = 0;
    RecordThen(Tone(0.5), [this, &starts] {
        form->Button4Click(); // returns at once instead of nesting a second run
        ++starts;
        form->stopClick();
    });
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(FileNames(folder), std::vector<std::string>{"Record 1.mp3"});
    EXPECT_NEAR(double(Decode(Path("Record 1.mp3")).size()) / 2, kRate / 2, 1152);
}

TEST_F(RecordWizardTest, ClosingWhileRecordingCompletesTheFile)
{
    form->show();
    RecordThen(Tone(0.5), [this] {
        form->close();
        EXPECT_TRUE(form->isVisible());
    });
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->RecorderNode1.Active());
    EXPECT_FALSE(BASS_RecordGetInfo().running) << "capture ended after the recording stopped";
    EXPECT_NEAR(double(Decode(Path("Record 1.mp3")).size()) / 2, kRate / 2, 1152);
}

TEST_F(RecordWizardTest, UnpluggedDeviceKeepsWhatWasCaptured)
{
    form->show();
    RecordThen(Tone(0.5), [this] {
        BASS_ManualInputUnplug();
        form->Timer1Timer();
        EXPECT_EQ(form->AudioMeter1->Position(), 0.0f) << "the meter drops";
        form->stopClick();
    });
    EXPECT_NEAR(double(Decode(Path("Record 1.mp3")).size()) / 2, kRate / 2, 1152);
    form->Button4Click();
    ASSERT_EQ(messages.Texts().size(), 1u) << "start without capture says so";
    EXPECT_NE(messages.Texts()[0].find("stopped delivering"), std::string::npos);
}

TEST_F(RecordWizardTest, DeviceListAndChangeRestartCaptureWithTheMeterAtZero)
{
    form->show();
    ASSERT_GE(form->ComboBox1->count(), 2);
    EXPECT_EQ(form->ComboBox1->itemText(0), "Default Device");
    Push(Tone(0.1, 1.0));
    EXPECT_EQ(form->AudioMeter1->Position(), 0.0f) << "the recording thread never touches the meter";
    form->Timer1Timer();
    EXPECT_GT(form->AudioMeter1->Position(), 0.99f);
    form->ComboBox1->setCurrentIndex(form->ComboBox1->count() - 1);
    form->ComboBox1Change();
    EXPECT_EQ(form->AudioMeter1->Position(), 0.0f);
    EXPECT_EQ(BASS_RecordGetInfo().device, form->ComboBox1->count() - 2);
    EXPECT_TRUE(BASS_RecordGetInfo().running);
    Push(Tone(0.1, 0.5));
    form->Timer1Timer();
    EXPECT_NEAR(form->AudioMeter1->Position(), 0.5f, 0.01f);
}

TEST_F(RecordWizardTest, FailuresAreShownAndLeaveNoFile)
{
    // No encoder program.
    form->show();
    const std::string savedPath = getenv("PATH");
    setenv("PATH", FixtureFolder().c_str(), 1);
    Record([] {});
    setenv("PATH", savedPath.c_str(), 1);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0].rfind("Can't start MP3 encoder.", 0), 0u);
    EXPECT_EQ(Edit1(), "");
    EXPECT_FALSE(form->Recording->isVisible());
    EXPECT_TRUE(FileNames(folder).empty());

    // A disk full before lame wrote any sound: there is nothing to keep.
    messages.Clear();
    {
        FileSizeLimit limit(1000);
        RecordThen(Tone(2.0), [this] { form->stopClick(); });
    }
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0].rfind("MP3 encoding failed.", 0), 0u) << messages.Texts()[0];
    EXPECT_EQ(Edit1(), "");
    EXPECT_TRUE(FileNames(folder).empty());

    // A record folder that can't be written into (here: a file stands where the folder should).
    messages.Clear();
    fs::remove_all(folder);
    WriteBytes(folder, "not a folder");
    Record([] {});
    fs::remove(folder);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0].rfind("Can't start MP3 encoder.", 0), 0u) << messages.Texts()[0];
    EXPECT_EQ(Edit1(), "");
    folder = GetRecordFolder();
    EXPECT_TRUE(FileNames(folder).empty());

    // A device that refuses to open.
    messages.Clear();
    form->close();
    BASS_ManualInputRefuse(true);
    form->show();
    EXPECT_FALSE(form->RecorderNode1.Active());
    form->Button4Click();
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_NE(messages.Texts()[0].find("can't be opened"), std::string::npos);
    EXPECT_FALSE(form->Recording->isVisible());
    EXPECT_TRUE(FileNames(folder).empty());
}

// The disk fills part way through: the sound lame wrote before is kept, cut back to whole frames,
// the user is told, and done hands it over as the recording.
TEST_F(RecordWizardTest, FullDiskKeepsTheSoundWrittenBeforeAndHandsItOver)
{
    constexpr uint64_t kLimit = 200000; // about 6 s of 256 kbit/s MP3
    form->show();
    {
        FileSizeLimit limit(kLimit);
        Record([this] { FeedWhileRecording(12.0); });
    }
    const std::string path = Path("Record 1.mp3");
    EXPECT_EQ(Edit1(), path);
    ASSERT_TRUE(fs::exists(path));
    EXPECT_GT(fs::file_size(path), kLimit - 2 * 836) << "no more than the frame lame could not finish is lost";
    EXPECT_EQ(DecoderComplaints(path), "");
    const double kept = double(Decode(path).size()) / 2 / kRate;
    EXPECT_GT(kept, 5.5);
    EXPECT_LT(kept, 6.5);

    ASSERT_EQ(messages.Texts().size(), 1u);
    const std::string message = messages.Texts()[0];
    const std::string shownLength = form->Label1->text().toStdString();
    EXPECT_EQ(message.rfind("The recording stopped early: the MP3 file could not be written any further.\r\n"
                            "The first " + shownLength + " are kept and become the recording.\r\n\r\n"
                            "MP3 encoding failed.\r\nFile name: " + path + "\r\n", 0), 0u) << message;
    EXPECT_NEAR(std::stod(shownLength), kept, 0.1) << "the window shows the length kept, not the length captured";
    EXPECT_TRUE(form->CutShort->isVisible());
    EXPECT_FALSE(form->Recording->isVisible());
    form->Timer1Timer();
    EXPECT_EQ(form->Label1->text().toStdString(), shownLength) << "and goes on showing it";
    if (const char* dir = getenv("SONOREL_SCREENSHOT_DIR"))
        form->grab().save(QString(dir) + "/record_window_cut_short.png");

    form->Image3Click();
    EXPECT_EQ(form->result(), 1);
    EXPECT_EQ(Edit1(), path) << "handed over as the recording";
    form->show();
    EXPECT_FALSE(form->CutShort->isVisible()) << "a new session starts clean";
}

// Under xvfb-run with SONOREL_SCREENSHOT_DIR set, the window with a live meter is saved to look at.
TEST_F(RecordWizardTest, PictureWithALiveMeter)
{
    form->show();
    Push(Tone(0.1, 0.3));
    form->Timer1Timer();
    form->Recording->show();
    const QImage picture = form->grab().toImage();
    EXPECT_EQ(picture.size(), QSize(445, 200));
    if (const char* dir = getenv("SONOREL_SCREENSHOT_DIR"))
        picture.save(QString(dir) + "/record_window.png");
}

} // namespace
