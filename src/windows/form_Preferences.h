#pragma once

#include <QDialog>
#include <QPixmap>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class TDeviceList;

// The preferences: output device, output sample rate, and whether the last project is loaded at
// start. The choices are stored as settings when the user confirms them.
class TFormPreferences : public QDialog {
    Q_OBJECT
public:
    explicit TFormPreferences(QWidget* parent = nullptr);

    void FormCreate();
    // Fills the controls from the settings and shows the window modally; the modal result
    // (QDialog::Accepted for OK).
    int FillControls();
    // Index in the device list of the item whose text is the stored OutputDevice; 0 when none is.
    int GetStoredDeviceIndex();

    // The preferences button of the main window: runs the window and, when the user confirmed a
    // new device or rate, re-initialises the sound output; a running mix goes on from its
    // position on the new output. True when the output was re-initialised.
    bool ChangeOutputSettings();

    void OutputDeviceChange();
    void FrequencyChange();
    void OKBtnClick();

    QLabel* Label1;
    TDeviceList* OutputDevice;
    QLabel* Label2;
    QComboBox* Frequency;
    QCheckBox* cbLoadLast;
    QLabel* Label3;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    bool SettingsChanged = false;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap background_;
};

extern TFormPreferences* FormPreferences;
