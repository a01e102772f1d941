// The CD burn of the main window: opens the wizard and renders the mix into the image the wizard
// burns (44100 Hz stereo 16-bit, from 0 s, triggers ignored, through the live render step).
#include "windows/form_Main.h"

#include <QCoreApplication>
#include <QFile>
#include <QPlainTextEdit>

#include <algorithm>

#include "windows/form_CDBurn.h"
#include "model/class_FileLog.h"
#include "model/class_Folders.h"
#include "platform/ui/MessageBox.h"

namespace {

// The image beside the application's data, so that "leavetemp" leaves it where people look.
std::string CDImagePath() { return GetAppDataFolder() + "/sonorel_cdimage_temp.wav"; }

} // namespace

void TFormMain::cdburnClick()
{
    LogToFile("CD Burn", true, true);
    StopClick();
    FormCDBurn->OnImageRender = [this](QObject* sender) { RenderCDImage(sender); };
    FormCDBurn->Log->clear();
    FormCDBurn->exec();
}

void TFormMain::RenderCDImage(QObject*)
{
    const float length = snl.mixdata.TotalLength();
    if (!(length > 0)) {
        ui::ShowMessage("Empty project. Nothing to burn.");
        return;
    }
    repaint();
    const std::string path = CDImagePath();
    CDBurnRenderEncoder.SetOutputWAV(true);
    CDBurnRenderEncoder.SampleRate = 44100;
    CDBurnRenderEncoder.Channels = 2;
    CDBurnRenderEncoder.RealTimeProcess = true;
    // The mix's length bounds the render even when its end is never detected.
    CDBurnRenderEncoder.EncodeTimeLimit = length;
    CDBurnRenderEncoder.SetOutputFileName(path);
    CDBurnRenderEncoder.OnQueryData = [this](TAudioTransformNode*, void* buffer, int bytes) {
        CDBurnRenderEncoderQueryData(buffer, bytes);
    };
    CDBurnRenderEncoder.OnEncodeProgress = [this](TAudioTransformNode*) { CDBurnRenderEncoderEncodeProgress(); };
    CDBurnRenderLength = length;
    CDBurnRender.Begin(snl.WavProducer, snl.mixdata, SoundFormat{2, 44100, 16, 0});
    const bool written = CDBurnRenderEncoder.Encode();
    CDBurnRender.End();
    if (written)
        FormCDBurn->ImageFileName = path;
    else
        QFile::remove(QString::fromStdString(path)); // a failed render (disk full) leaves no image
}

void TFormMain::CDBurnRenderEncoderQueryData(void* buffer, int length)
{
    snl.WavProducer.RenderStep(buffer, length);
}

void TFormMain::CDBurnRenderEncoderEncodeProgress()
{
    if (snl.WavProducer.Stopped) {
        CDBurnRenderEncoder.Stop();
        return;
    }
    const float percent = std::min(100.0f, 100.0f * snl.WavProducer.MainTime / std::max(CDBurnRenderLength, 1e-6f));
    FormCDBurn->ReplaceLastLogLine("Rendering: " + std::to_string(static_cast<int>(percent)) + "%");
    QCoreApplication::processEvents();
}
