#include "cd/form_Record.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <filesystem>
#include <system_error>

#include "model/class_Folders.h"
#include "platform/trace/Trace.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WindowHelpers.h"

TFormRecord* FormRecord = nullptr;

namespace {

// Any entry counts, also a folder or a dangling link of that name: the encoder must not write there.
bool PathTaken(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

QLabel* Text(QWidget* parent, const char* name, const QString& text, const QRect& place, const char* style)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(place);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setStyleSheet(style);
    return label;
}

} // namespace

TFormRecord::TFormRecord(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormRecord");
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowTitle("Record");
    setModal(true);

    Image1 = new TSkinPicture(this, "record_back", 0, 0);
    Image1->setObjectName("Image1");
    Image1->OnMouseDown = [this](QMouseEvent* event) {
        if (event->button() == Qt::LeftButton)
            ui::DragWindowByControl(this);
    };

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setGeometry(20, 62, 252, 24);
    ComboBox1->setStyleSheet("QComboBox { color: #e8ebf0; background: #0e1014; border: none; padding-left: 6px;"
                             " font-family: 'DejaVu Sans'; font-size: 9pt; }"
                             " QComboBox QAbstractItemView { color: #e8ebf0; background: #0e1014;"
                             " selection-background-color: #1d3346; }");
    connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });

    AudioMeter1 = new TAudioMeter(this);
    AudioMeter1->setObjectName("AudioMeter1");
    AudioMeter1->SetHorizontal(true);
    AudioMeter1->setGeometry(20, 112, 252, 11);
    AudioMeter1->AmplitudeDB = 48;
    AudioMeter1->SetThresholdNormal(0.73f);
    AudioMeter1->SetThresholdMax(0.91f);
    AudioMeter1->SetColorNormal(0x00FF00);
    AudioMeter1->SetColorMiddle(0x00FFFF);
    AudioMeter1->SetColorTop(0x0000FF);
    AudioMeter1->SetColorBackNormal(32512);
    AudioMeter1->SetColorBackMiddle(32639);
    AudioMeter1->SetColorBackTop(127);

    Label1 = Text(this, "Label1", "0.00 sec", QRect(300, 62, 119, 24),
                  "QLabel { color: #e8ebf0; background: transparent; font-family: 'DejaVu Sans';"
                  " font-size: 15px; font-weight: bold; }");
    Recording = Text(this, "Recording", "Recording...", QRect(300, 108, 125, 16),
                     "QLabel { color: #ff5c5f; background: transparent; font-family: 'DejaVu Sans';"
                     " font-size: 12px; font-weight: bold; }");
    Recording->hide();
    CutShort = Text(this, "CutShort", "Cut short", QRect(300, 108, 125, 16),
                    "QLabel { color: #ffb347; background: transparent; font-family: 'DejaVu Sans';"
                    " font-size: 12px; font-weight: bold; }");
    CutShort->hide();
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->hide();
    connect(Edit1, &QLineEdit::textEdited, this, [this] { Edit1Change(); });

    Image4 = MakeSkinButton(this, "record_start", "Image4", 20, 154);
    Image5 = MakeSkinButton(this, "record_stop", "Image5", 132, 154);
    Image3 = MakeSkinButton(this, "record_done", "Image3", 249, 154);
    Image2 = MakeSkinButton(this, "record_cancel", "Image2", 345, 154);
    // Browsing for another file is not offered; the button stays hidden (its picture is the export's).
    Image6 = MakeSkinButton(this, "export_browse", "Image6", 380, 96);
    Image6->hide();
    Image4->OnClick = [this] { Button4Click(); };
    Image5->OnClick = [this] { stopClick(); };
    Image3->OnClick = [this] { Image3Click(); };
    Image2->OnClick = [this] { Image2Click(); };
    Image6->OnClick = [this] { Button1Click(); };

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    SaveDialog1.Filter = "WAV file|*.wav|MP3 file|*.mp3";
    SaveDialog1.DefaultExt = "wav";

    RecorderNode1.Frequency = 44100;
    RecorderNode1.Channels = 2;
    EncoderNode1.SourceNode = &RecorderNode1;
    // The node's defaults are the format every wizard writes: 256 kbit/s stereo MP3 of 44.1 kHz PCM.
    EncoderNode1.SetOutputMP3(true);
    // A recording cannot be made again: when the encoder fails (a full disk), what it wrote is kept.
    EncoderNode1.KeepPartOnFailure = true;

    FormCreate();
}

void TFormRecord::FormCreate()
{
    setFixedSize(Image1->size());
    ui::SetRoundWindowRegion(this, 6);
}

void TFormRecord::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!placed_) {
        placed_ = true;
        if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
            QRect placed = frameGeometry();
            placed.moveCenter(screen->availableGeometry().center());
            move(placed.topLeft());
        }
    }
    FormShow();
}

void TFormRecord::FormShow()
{
    int index = ComboBox1->currentIndex();
    ComboBox1->clear();
    for (const std::string& device : RecorderNode1.GetDevices())
        ComboBox1->addItem(QString::fromStdString(device));
    if (index < 0 || index >= ComboBox1->count())
        index = 0;
    ComboBox1->setCurrentIndex(index);
    RecorderNode1.Device = index;
    RecorderNode1.SetActive(true);
    Edit1->clear();
    ClearCutShort();
    Timer1->start();
}

void TFormRecord::FormClose()
{
    RecorderNode1.SetActive(false);
    Timer1->stop();
    AudioMeter1->SetPosition(0);
}

void TFormRecord::ComboBox1Change()
{
    RecorderNode1.Device = ComboBox1->currentIndex();
    RecorderNode1.SetActive(true);
    AudioMeter1->SetPosition(0);
}

void TFormRecord::Timer1Timer()
{
    AudioMeter1->SetPosition(RecorderNode1.amp_mid);
    const double seconds = keptSeconds_ >= 0 ? keptSeconds_ : RecorderNode1.RecordTime();
    Label1->setText(QString::number(seconds, 'f', 2) + " sec");
}

std::string TFormRecord::MakeRecordFileName()
{
    const std::string folder = GetRecordFolder();
    for (int n = 1;; ++n) {
        std::string name = "Record " + std::to_string(n) + ".mp3";
        if (!PathTaken(folder + "/" + name))
            return name;
    }
}

void TFormRecord::Button4Click()
{
    if (recording_)
        return; // a second start would delete the file being written
    if (!RecorderNode1.Active()) {
        const std::string reason = RecorderNode1.ErrorText().empty()
                                       ? "The recording device stopped delivering sound."
                                       : RecorderNode1.ErrorText();
        ui::ShowMessage(reason + "\r\nChoose a recording device in the list and start again.");
        return;
    }
    DeleteRecording();
    ClearCutShort();
    Recording->show();
    RecorderNode1.SetRecord(true);
    const std::string path = GetRecordFolder() + "/" + MakeRecordFileName();
    EncoderNode1.SetOutputFileName(path);
    Edit1->setText(QString::fromStdString(path));
    EncoderNode1.OutputFormatDetect();
    recording_ = true;
    QPointer<TFormRecord> self(this);
    const bool written = EncoderNode1.Encode();
    if (!self)
        return;
    EndRecording(written);
}

void TFormRecord::EndRecording(bool written)
{
    recording_ = false;
    Recording->hide();
    RecorderNode1.SetRecord(false);
    if (written && RecorderNode1.RecordTime() <= 0.0f) {
        // No sound was captured: the file is an MP3 without frames that no decoder opens, and done
        // would hand it over as a source that cannot be loaded. It counts as no recording.
        DeleteRecording();
        written = false;
    }
    if (!written && EncoderNode1.KeptSeconds() > 0) {
        ShowCutShort(EncoderNode1.KeptSeconds());
        written = true; // handed over as the recording
    }
    trace(written ? "Recorded " + Edit1->text().toStdString() : "Recording not written: " + Edit1->text().toStdString());
    if (!written) {
        // Nothing was kept under the name: done must not hand over a file that does not exist.
        Edit1->clear();
        if (!EncoderNode1.ErrorText().empty())
            ui::ShowMessage(EncoderNode1.ErrorText());
    }
    if (pendingResult_ >= 0) {
        const int result = pendingResult_;
        pendingResult_ = -1;
        CloseNow(result);
    }
}

// The encoder failed part way: the sound it wrote before is the recording, and the user learns
// that it ends early.
void TFormRecord::ShowCutShort(double keptSeconds)
{
    keptSeconds_ = keptSeconds;
    CutShort->show();
    Timer1Timer();
    const std::string kept = QString::number(keptSeconds, 'f', 2).toStdString() + " sec";
    ui::ShowMessage("The recording stopped early: the MP3 file could not be written any further.\r\n"
                    "The first " + kept + " are kept and become the recording.\r\n\r\n" + EncoderNode1.ErrorText());
}

void TFormRecord::ClearCutShort()
{
    keptSeconds_ = -1;
    CutShort->hide();
}

void TFormRecord::stopClick()
{
    Recording->hide();
    EncoderNode1.Stop();
    RecorderNode1.SetRecord(false);
}

void TFormRecord::DeleteRecording()
{
    const std::string path = Edit1->text().toStdString();
    std::error_code error;
    if (!path.empty() && !std::filesystem::is_directory(path, error) && PathTaken(path) &&
        !std::filesystem::remove(path, error))
        trace("Can't delete the recording " + path + ": " + error.message());
}

void TFormRecord::Image2Click()
{
    if (recording_) {
        // The encoder discards the file itself once its loop has ended and the encoder has exited.
        EncoderNode1.Cancel();
        stopClick();
        pendingResult_ = 2;
        return;
    }
    stopClick();
    DeleteRecording();
    done(2);
}

void TFormRecord::Image3Click()
{
    stopClick();
    done(1);
}

void TFormRecord::done(int result)
{
    if (recording_) {
        // Closed while recording: the recording stops as stop does and its file is completed;
        // the window closes when the encoder's loop has ended.
        stopClick();
        if (pendingResult_ < 0)
            pendingResult_ = result;
        return;
    }
    CloseNow(result);
}

void TFormRecord::CloseNow(int result)
{
    FormClose();
    QDialog::done(result);
}

void TFormRecord::Button1Click()
{
    if (SaveDialog1.Execute(this))
        Edit1->setText(QString::fromStdString(SaveDialog1.FileName));
}
