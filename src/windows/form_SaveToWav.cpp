#include "windows/form_SaveToWav.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

#include <sys/stat.h>

#include <cstring>
#include <cstdio>
#include <mutex>
#include <vector>

#include "GraphControls/class_SkinPicture.h"
#include "model/class_Switches.h"
#include "model/class_XMLStorage.h"
#include "platform/trace/Trace.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/SkinImage.h"
#include "platform/ui/WindowHelpers.h"

float ExportTotalLength = 0;
TFormSaveToWav* FormSaveToWav = nullptr;

namespace {

constexpr const char* kTraceSource = ".\\form_savetowav";

bool FileExists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// A path whose last part has a name before any extension: "", "   ", "/tmp/" and ".wav" would
// become hidden files or folders.
bool NamesAFile(const std::string& path)
{
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const std::string stem = name.substr(0, name.rfind('.'));
    return stem.find_first_not_of(" \t") != std::string::npos && stem != ".";
}

std::string FormatText(const char* format, const std::string& value)
{
    std::vector<char> text(std::strlen(format) + value.size() + 1);
    std::snprintf(text.data(), text.size(), format, value.c_str());
    return text.data();
}

QLabel* Background(QWidget* parent, const char* name, const char* skinName)
{
    auto* picture = new QLabel(parent);
    picture->setObjectName(name);
    picture->setPixmap(ui::SkinPixmap(skinName));
    picture->setGeometry(0, 0, 483, 140);
    return picture;
}

// A picture button that keeps its name in the window and shows the hand over it.
} // namespace

TFormSaveToWav::TFormSaveToWav(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormSaveToWav");
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowTitle("Save to wav");
    setModal(true);

    towav = Background(this, "towav", "export_wav");
    tomp3 = Background(this, "tomp3", "export_mp3");
    tomp3->hide();
    for (QLabel* picture : {towav, tomp3})
        picture->installEventFilter(this);

    filename = new QLineEdit(this);
    filename->setObjectName("filename");
    filename->setFrame(false);
    filename->setGeometry(26, 62, 380, 20);
    filename->setStyleSheet("QLineEdit { color: #e8ebf0; background: #0e1014; border: none;"
                            " font-family: 'DejaVu Sans'; font-size: 9pt; selection-background-color: #1d3346; }");

    Image3 = MakeSkinButton(this, "export_browse", "Image3", 418, 55);
    Image2 = MakeSkinButton(this, "export_start", "Image2", 283, 98);
    Image6 = MakeSkinButton(this, "export_cancel", "Image6", 379, 98);
    Image3->OnClick = [this] { Button1Click(); };
    Image2->OnClick = [this] { saveClick(); };
    Image6->OnClick = [this] { Button3Click(); };

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(20, 106, 250, 14);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setStyleSheet("QProgressBar { background: #0e1014; border: none; }"
                                " QProgressBar::chunk { background: #4cc2ff; }");
    ProgressBar1->hide();

    SaveDialog1.DefaultExt = "wav";
    SaveDialog1.Filter = "WAV file|*.wav";
    SaveDialog1.ConfirmOverwrite = false; // the export asks itself, once the file is final

    AutoMode = new QTimer(this);
    AutoMode->setInterval(100);
    AutoMode->setSingleShot(true);
    connect(AutoMode, &QTimer::timeout, this, [this] { AutoModeTimer(); });

    // The node's defaults are the format every wizard writes: 256 kbit/s stereo MP3 of 44.1 kHz PCM.
    EncoderNode1.SetOutputMP3(true);
    EncoderNode1.SetOutputFileName("c:\\out.mp3");
    EncoderNode1.OnQueryData = [this](TAudioTransformNode*, void* buffer, int length) {
        EncoderNode1QueryData(buffer, length);
    };
    EncoderNode1.OnEncodeProgress = [this](TAudioTransformNode*) { EncoderNode1EncodeProgress(); };

    FormCreate();
}

TFormSaveToWav::~TFormSaveToWav()
{
    // Destroyed while an export processes messages: the encoder node's own destructor cancels the
    // run and discards the file; the mixer gets its format back from render_.
}

void TFormSaveToWav::FormCreate()
{
    tomp3->move(0, 0);
    setFixedSize(towav->size());
    ui::SetRoundWindowRegion(this, 6);
}

void TFormSaveToWav::SetMode(bool wavMode)
{
    WavMode = wavMode;
    tomp3->setVisible(!wavMode);
    mixdata = &snl.mixdata;
    WavProducer = &snl.WavProducer;
    SaveDialog1.FileName.clear();
    if (wavMode) {
        AutoMode->stop();
        SaveDialog1.Filter = "WAV file|*.wav";
        SaveDialog1.DefaultExt = "wav";
        setWindowTitle("Save to wav");
    } else {
        setWindowTitle("Save to mp3");
        SaveDialog1.Filter = "MP3 file|*.mp3";
        SaveDialog1.DefaultExt = "mp3";
        if (IsSwitch("tomp3")) {
            filename->setText(QString::fromStdString(SwitchValue("tomp3")));
            AutoMode->start();
        }
    }
    if (LowerFileExtension(filename->text().toStdString()) != (wavMode ? ".wav" : ".mp3"))
        filename->clear();
}

void TFormSaveToWav::showEvent(QShowEvent* event)
{
    activatedSinceShow_ = false;
    QDialog::showEvent(event);
}

void TFormSaveToWav::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TFormSaveToWav::FormActivate()
{
    static bool firstActivation = true;
    if (firstActivation) {
        firstActivation = false;
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            QRect placed = frameGeometry();
            placed.moveCenter(screen->availableGeometry().center());
            move(placed.topLeft() + QPoint(50, 30));
        }
    }
    // Once per showing: a message box closing activates the window again and must not start a
    // second export.
    if (activatedSinceShow_)
        return;
    activatedSinceShow_ = true;
    if (IsSwitch("towavtest"))
        QTimer::singleShot(0, this, [this] { saveClick(); });
}

void TFormSaveToWav::saveClick()
{
    if (exporting_)
        return;
    std::string path = filename->text().toStdString();
    if (!NamesAFile(path)) {
        ui::ShowMessage("Enter the name of the file to export the mix to.");
        return;
    }
    std::string ext = LowerFileExtension(path);
    if (ext.empty()) {
        ext = WavMode ? ".wav" : ".mp3";
        path += ext;
        filename->setText(QString::fromStdString(path));
    } else if (ext != ".mp3" && ext != ".wav") {
        ui::ShowMessage("Only output to wav or mp3 supported.");
        return;
    }
    repaint();
    // An empty mix has no length to stop at: the export would never end.
    const float totalLength = mixdata ? mixdata->TotalLength() : 0.0f;
    if (!WavProducer || !(totalLength > 0)) {
        ui::ShowMessage("Empty project. Nothing to export.");
        return;
    }
    if (FileExists(path) && !IsSwitch("towavtest")) {
        const std::string question = FormatText("Target file %s already exists. Do you want to overwrite it?", path);
        const QString title = QGuiApplication::applicationDisplayName();
        if (!ui::AskYesNo(question, title.isEmpty() ? "Sonorel" : title.toStdString()))
            return;
    }
    QPointer<TFormSaveToWav> self(this);
    QCoreApplication::processEvents();
    if (!self)
        return;
    EncoderNode1.SetOutputFileName(path);
    EncoderNode1.EncodeTimeLimit = totalLength;
    ExportTotalLength = totalLength;
    if (ext == ".mp3")
        EncoderNode1.SetOutputMP3(true);
    else
        EncoderNode1.SetOutputWAV(true);
    const bool written = Export(path);
    if (!self)
        return;
    QCoreApplication::processEvents();
    if (!self)
        return;
    if (!written && !EncoderNode1.ErrorText().empty() && !closeAfterExport_) {
        ui::ShowMessage(EncoderNode1.ErrorText());
        return;
    }
    closeAfterExport_ = false;
    close();
}

// One run of the encoder, with the mixer at the export's format and the needle at 0 s.
bool TFormSaveToWav::Export(const std::string& path)
{
    QPointer<TFormSaveToWav> self(this);
    exporting_ = true;
    Image2->setEnabled(false);
    Image3->setEnabled(false);
    filename->setReadOnly(true);
    UseExportFormat();
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    const bool written = EncoderNode1.Encode();
    if (!self)
        return false;
    EncoderNode1.Stop();
    ProgressBar1->hide();
    RestoreFormat();
    exporting_ = false;
    Image2->setEnabled(true);
    Image3->setEnabled(true);
    filename->setReadOnly(false);
    trace(written ? "Exported " + path : "Export not written: " + path);
    return written;
}

SoundFormat TFormSaveToWav::ExportFormat() const
{
    return SoundFormat{EncoderNode1.Channels, EncoderNode1.SampleRate, 16, 0};
}

void TFormSaveToWav::UseExportFormat()
{
    render_.Begin(*WavProducer, *mixdata, ExportFormat());
}

void TFormSaveToWav::RestoreFormat()
{
    render_.End();
}

void TFormSaveToWav::EncoderNode1QueryData(void* buffer, int length)
{
    WavProducer->RenderStep(buffer, length);
}

void TFormSaveToWav::EncoderNode1EncodeProgress()
{
    if (WavProducer && !WavProducer->Stopped) {
        const float mainTime = WavProducer->MainTime;
        trace(TraceValueLine("WavProducer->MainTime", kTraceSource, FloatText(mainTime)));
        if (ExportTotalLength > 0)
            ProgressBar1->setValue(static_cast<int>(100 * mainTime / ExportTotalLength));
    }
    // Keeps the window painted and lets Esc, Cancel and closing stop the export.
    QCoreApplication::processEvents();
}

void TFormSaveToWav::AutoModeTimer()
{
    AutoMode->stop();
    QPointer<TFormSaveToWav> self(this);
    saveClick();
    if (self)
        close();
}

void TFormSaveToWav::Button1Click()
{
    if (exporting_)
        return;
    if (SaveDialog1.Execute(this))
        filename->setText(QString::fromStdString(SaveDialog1.FileName));
}

void TFormSaveToWav::Button3Click() { close(); }

void TFormSaveToWav::done(int result)
{
    if (exporting_) {
        // Esc, Cancel or closing during an export: the run ends after the block in hand, the
        // partial file is discarded, and saveClick closes the window then.
        EncoderNode1.Cancel();
        closeAfterExport_ = true;
        return;
    }
    QDialog::done(result);
}

bool TFormSaveToWav::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == towav || watched == tomp3) && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        ui::DragWindowByControl(this);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
