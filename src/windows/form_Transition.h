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

// The editor of the junction between row RowIndex (outgoing, A) and the next row (incoming, B):
// volume, tempo and pitch of each, A's fade-out and overlap, B's fade-in and an automatic
// crossfade. Every change goes into the rows at once. A preview shows both rows as waveforms on a
// time line and plays the mix, looping over the visible window.
class TFormTransition : public QDialog {
    Q_OBJECT
public:
    explicit TFormTransition(QWidget* parent = nullptr);

    int RowIndex = 0;

    // The opener's steps before the modal call: an empty preview, no crossfade picked, the pair
    // of the selected row laid out, its stream 0 selected, the controls loaded.
    void Prepare();
    void RebuildPreview();
    void SelectRowView(int k);
    void LoadRowControls();

    // Control handlers.
    void volumeChange();
    void volume2Change();
    void pitchChange(int k);
    void stretchChange(int k);
    void fadeinlistChange();
    void fadeoutlistChange();
    void overlaplistChange();
    void fadexlistChange();
    void PlayClick();
    void StopClick();
    void MixPPosChanged();
    void PosTimerTimer();
    void MixViewChange();

    TAudioMixTable* Mix;
    QScrollBar* ScrollBar1;
    TTimeLine* TimeLine;
    QScrollBar *volume, *volume2, *pitch, *pitch2, *stretch, *stretch2;
    QLabel *volumelb, *volume2lb, *pitchlb, *pitch2lb, *stretchlb, *stretch2lb;
    QPushButton *Button2, *Button1, *pitchreset, *Button3, *Button4, *Button5;
    TSecondsList *fadeinlist, *fadeoutlist, *overlaplist, *fadexlist;
    TSpinButton *CSpinButton1, *CSpinButton2, *CSpinButton3;
    TPreviewLoop* Preview; // closing stops what plays
    TSkinPicture *Image, *Image1, *Image2, *Image3, *Image4, *Image6;

private:
    void Push(int row);
    void RedrawView(int k);
};

extern TFormTransition* FormTransition;
