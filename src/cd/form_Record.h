#pragma once

#include <QDialog>

#include <string>

#include "AudioControls/class_AudioMeter.h"
#include "GraphControls/class_SkinPicture.h"
#include "engine/class_EncoderNode.h"
#include "engine/class_RecorderNode.h"
#include "model/class_Application.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;

// The record wizard: records the user's own material from a sound input into a new numbered MP3
// file in the record folder. The meter is live as soon as the window shows; start records until
// stop, done or cancel. The caller shows the window modally and, on result 1, takes the file
// named in Edit1 (empty when nothing was recorded).
class TFormRecord : public QDialog {
    Q_OBJECT
public:
    // Destroyed while recording (the application ends inside the encoder's loop), the encoder
    // node discards the unfinished file and capture ends with the recorder node.
    explicit TFormRecord(QWidget* parent = nullptr);

    TSkinPicture* Image1 = nullptr;  // background; drags the window
    TSkinPicture* Image4 = nullptr;  // start
    TSkinPicture* Image5 = nullptr;  // stop
    TSkinPicture* Image3 = nullptr;  // done
    TSkinPicture* Image2 = nullptr;  // cancel
    TSkinPicture* Image6 = nullptr;  // browse (hidden)
    QLabel* Recording = nullptr;     // "Recording..." while recording
    QLabel* CutShort = nullptr;      // "Cut short" after a recording the encoder could not finish
    QLabel* Label1 = nullptr;        // elapsed recording time
    QLineEdit* Edit1 = nullptr;      // hidden: the file of the current recording
    QComboBox* ComboBox1 = nullptr;  // recording device; item 0 "Default Device"
    TAudioMeter* AudioMeter1 = nullptr;
    QTimer* Timer1 = nullptr;        // meter and time, every 100 ms while shown
    cProjectFileDialog SaveDialog1{cProjectFileDialog::Mode::Save};
    TRecorderNode RecorderNode1;
    TEncoderNode EncoderNode1; // pulls from RecorderNode1

    void FormShow();
    void FormClose();
    void ComboBox1Change();
    void Button4Click(); // start: stays inside the encoder's loop until the recording stops
    void stopClick();
    void Button2Click() { stopClick(); }
    void Timer1Timer();
    void Image2Click(); // cancel
    void Image3Click(); // done
    void Button1Click(); // browse
    void Edit1Change() {}

    // "Record n.mp3" with the smallest n from 1 whose name is free in the record folder.
    static std::string MakeRecordFileName();

    bool IsRecording() const { return recording_; }

protected:
    void showEvent(QShowEvent* event) override;
    // Every way of closing (done, cancel, Esc, the window's close) ends here.
    void done(int result) override;

private:
    void FormCreate();
    void EndRecording(bool written);
    void ShowCutShort(double keptSeconds);
    void ClearCutShort();
    void DeleteRecording();
    void CloseNow(int result);

    bool recording_ = false;  // Button4Click is inside Encode
    double keptSeconds_ = -1; // the length kept of a recording cut short; -1 for none
    int pendingResult_ = -1;  // a close asked for while recording, done when the loop has ended
    bool placed_ = false;     // centred on the screen at the first showing
};

extern TFormRecord* FormRecord;
