#pragma once

#include <QDialog>

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;
class QScrollBar;
class TAudioMixTable;
class TPreviewLoop;
class TTimeLine;

// The whole mix at once: every row as a waveform at its start in the mix, in two alternating
// channel rows, on a scrollable, zoomable time line. Plays from any point, loops between the L
// and R marks, selects a row by a click on its waveform; edits nothing.
class TFormMixView : public QDialog {
    Q_OBJECT
public:
    explicit TFormMixView(QWidget* parent = nullptr);

    // The opener's step before the modal call.
    void ShowWholeMix();
    void FillMixView(TAudioMixTable& table, bool setTotal);

    void PlayClick();
    void StopClick();
    void TogglePlay1Click();
    void MixPPosChanged();
    void PosTimerTimer();
    void cbLoopClick();

    TAudioMixTable* Mix;
    QScrollBar* MixPosition;
    TTimeLine* TimeLine;
    QWidget* Panel1;
    QPushButton *SpeedButton1, *SpeedButton2, *Play, *Stop, *SpeedButton3;
    QCheckBox* cbLoop;
    QLabel *Label1, *Label2;
    TPreviewLoop* Preview; // loops between L and R while Loop is checked; closing stops nothing
    QAction* TogglePlay1;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowStat();
};

extern TFormMixView* FormMixView;
