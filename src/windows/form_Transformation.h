#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QScrollBar;
class TAudioMixTable;
class TSecondsList;
class TPreviewLoop;
class TSkinPicture;
class TSpinButton;
class TTimeLine;

// The editor of one row, RowIndex: volume, tempo, pitch, fade-in and fade-out, written into the
// row at once. A preview shows the row at its place in the mix and plays it alone, looping over
// the visible window.
class TFormTransformation : public QDialog {
    Q_OBJECT
public:
    explicit TFormTransformation(QWidget* parent = nullptr);

    int RowIndex = 0;

    // The opener's steps before the modal call: the selected row alone in the preview, framed
    // exactly, and the controls loaded.
    void Prepare();
    void LoadRowControls();

    void volumeChange();
    void pitchChange();
    void stretchChange();
    void fadeinlistChange();
    void fadeoutlistChange();
    void PlayClick();
    void StopClick();
    void MixPPosChanged();
    void PosTimerTimer();
    void MixViewChange();

    TAudioMixTable* Mix;
    QScrollBar* ScrollBar1;
    TTimeLine* TimeLine;
    QScrollBar *volume, *pitch, *stretch;
    QLabel *volumelb, *pitchlb, *stretchlb;
    QPushButton *Button2, *pitchreset, *Button4;
    TSecondsList *fadeinlist, *fadeoutlist;
    TSpinButton *CSpinButton1, *CSpinButton2;
    // Plays the row alone until Stop; closing stops it, but not a mix started before the editor
    // opened.
    TPreviewLoop* Preview;
    TSkinPicture *Image1, *Image2, *Image3, *Image4, *Image6, *Image7;

private:
    void Push();
    void RedrawView();
    void RefreshCurrentRow();
};

extern TFormTransformation* FormTransformation;
