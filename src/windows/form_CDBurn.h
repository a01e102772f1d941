#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>

#include "disc/class_Device.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QRadioButton;
class QTimer;
class QTreeWidget;
class TSkinPicture;

// The CD-burn wizard: four steps on one skinned window (the interface, the burner, the speed, the
// burn). The burn has the main window render the mix into a temporary WAV image (OnImageRender),
// writes it as one track with CD-TEXT, deletes it and ejects the disc. The wizard lets go of its
// drives when it closes, so the ripper can open them.
class TFormCDBurn : public QDialog {
    Q_OBJECT
public:
    explicit TFormCDBurn(QWidget* parent = nullptr);
    ~TFormCDBurn() override;

    std::function<void(QObject* sender)> OnImageRender; // set by the main window before every showing
    std::string ImageFileName;                          // set by the render

    QLabel* Image1 = nullptr;
    TSkinPicture* Back = nullptr;
    TSkinPicture* Next = nullptr;
    TSkinPicture* Cancel = nullptr;
    TSkinPicture* CloseBtn = nullptr;
    TSkinPicture* Burn = nullptr;
    QWidget* PanelInterface = nullptr;
    QWidget* PanelCDBurner = nullptr;
    QWidget* PanelSpeed = nullptr;
    QWidget* PanelBurn = nullptr;
    QRadioButton* rbSPTI = nullptr;
    QRadioButton* rbASPI = nullptr;
    QTreeWidget* DeviceLV = nullptr;
    QLabel* Refreshing = nullptr;
    QComboBox* speed_combo = nullptr;
    QPlainTextEdit* Log = nullptr;
    QProgressBar* Progress = nullptr;
    QTimer* UpdateTimer = nullptr;

    static constexpr int StepCount = 4;
    int Step() const { return step_; }
    bool Burning() const { return burning_; }

    void ShowWizardStep(int step);
    void WizardStepBack();
    void WizardStepNext();

    void NextClick(); // also Burn
    void BackClick();
    void CancelClick();
    void CloseBtnClick();
    void RefreshDevices();
    void UpdateTimerTimer();
    void FillSpeeds();
    void BurnProject();

    // The log sink on channel 0: a "<n>% " line moves the progress bar.
    static void OnRenderProgress(void* context, uint8_t severity, const char* text);
    void LogSink(const std::string& text);
    // The render's progress line replaces the last line of Log.
    void ReplaceLastLogLine(const std::string& text);

    static const char* MediaText(TMediaType media);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormClose();
    CDevice* SelectedBurner(); // the selected row's burner, else the first; null when none
    bool RenderImage();        // false (with the failure line logged) when no image came of it
    bool WriteImage(CDevice& burner, TBurnOptions& options);

    QWidget* panels_[StepCount] = {};
    int step_ = 0;
    bool burning_ = false;
};

extern TFormCDBurn* FormCDBurn;
