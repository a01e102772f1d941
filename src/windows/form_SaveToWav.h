#pragma once

#include <QDialog>

#include <string>

#include "GraphControls/class_SkinPicture.h"
#include "engine/class_EncoderNode.h"
#include "model/class_Application.h"
#include "model/class_MixRender.h"
#include "windows/class_ProjectFileDialog.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QTimer;

// The export of the whole mix into one WAV or MP3 file. The main window stops the live mix, calls
// SetMode, shows the window modally and stops the mix again after it closes. The export renders
// the mix from 0 s with triggers ignored, through the same render step as live playback, at the
// encoder's 44100 Hz stereo 16-bit format; the file is exactly as long as the mix.
class TFormSaveToWav : public QDialog {
    Q_OBJECT
public:
    explicit TFormSaveToWav(QWidget* parent = nullptr);
    ~TFormSaveToWav() override;

    // Set by the main window before the window is shown.
    cmixdata* mixdata = nullptr;
    cWavProducer* WavProducer = nullptr;
    bool WavMode = true; // true WAV, false MP3

    // The mode's settings: WavMode, the MP3 picture, the project's rows and producer, the browse
    // dialog's filter, the caption, the "tomp3" switch; a file name of the other kind is emptied.
    void SetMode(bool wavMode);

    QLabel* towav = nullptr;
    QLabel* tomp3 = nullptr;
    QLineEdit* filename = nullptr;
    TSkinPicture* Image3 = nullptr; // browse
    TSkinPicture* Image2 = nullptr; // export
    TSkinPicture* Image6 = nullptr; // cancel
    QProgressBar* ProgressBar1 = nullptr;
    cProjectFileDialog SaveDialog1{cProjectFileDialog::Mode::Save};
    QTimer* AutoMode = nullptr;
    TEncoderNode EncoderNode1;

    void saveClick();
    void EncoderNode1QueryData(void* buffer, int length);
    void EncoderNode1EncodeProgress();
    void AutoModeTimer();
    void Button1Click(); // browse
    void Button3Click(); // cancel: closes; during an export stops it and discards the file

    bool Exporting() const { return exporting_; }

    // The sound format of an export: what the encoder node declares (44100 Hz stereo 16-bit).
    SoundFormat ExportFormat() const;

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Every way of closing (Esc, Cancel, the window's close) ends here.
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormActivate();
    bool Export(const std::string& path);
    void UseExportFormat();
    void RestoreFormat();

    bool exporting_ = false;
    bool closeAfterExport_ = false;
    bool activatedSinceShow_ = false;
    cMixRender render_;
};

// Length of the mix being exported, seconds.
extern float ExportTotalLength;

extern TFormSaveToWav* FormSaveToWav;
