#include "windows/form_Preferences.h"

#include "AudioControls/class_DeviceList.h"
#include "model/class_Application.h"
#include "model/class_Settings.h"
#include "platform/ui/SkinImage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

TFormPreferences* FormPreferences = nullptr;

namespace {

// The standard controls on the dark skin: text, wells and the accent of the program's palette.
const char* const kStyle = R"(
QLabel { color: #e8ebf0; background: transparent; }
QLabel#Label3 { color: #8d96a6; }
QCheckBox { color: #e8ebf0; background: transparent; spacing: 8px; }
QCheckBox::indicator { width: 14px; height: 14px; border: 1px solid #2c323c; background: #0e1014; }
QCheckBox::indicator:checked { background: #4cc2ff; border-color: #4cc2ff; }
QComboBox { color: #e8ebf0; background: #0e1014; border: 1px solid #2c323c; padding: 1px 6px; }
QComboBox:focus { border-color: #4cc2ff; }
QComboBox QAbstractItemView { color: #e8ebf0; background: #0e1014; border: 1px solid #2c323c;
                              selection-background-color: #1d3346; selection-color: #e8ebf0; }
QPushButton { color: #e8ebf0; background: #1b1f26; border: 1px solid #2c323c; border-radius: 3px; }
QPushButton:default { border-color: #4cc2ff; }
QPushButton:hover { background: #242a33; }
QPushButton:pressed { background: #1d3346; }
)";

QLabel* NewLabel(QWidget* parent, const char* text, int left, int top, int width)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setGeometry(left, top, width, 16);
    return label;
}

} // namespace

TFormPreferences::TFormPreferences(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Preferences"));
    setFixedSize(393, 189);
    background_ = ui::SkinPixmap("preferences_back");
    setStyleSheet(QString::fromLatin1(kStyle));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(12);
    setFont(font);

    Label1 = NewLabel(this, "Output Device:", 20, 44, 116);
    OutputDevice = new TDeviceList(this);
    OutputDevice->setGeometry(140, 40, 233, 24);
    Label2 = NewLabel(this, "Output Frequency:", 20, 74, 116);
    Frequency = new QComboBox(this);
    Frequency->setGeometry(140, 70, 110, 24);
    Frequency->addItems({QStringLiteral("22050"), QStringLiteral("44100"), QStringLiteral("48000"),
                         QStringLiteral("96000")});
    cbLoadLast = new QCheckBox(QStringLiteral("load last project on start"), this);
    cbLoadLast->setGeometry(20, 128, 260, 20);
    Label3 = NewLabel(this, "Application Version:  1.01", 16, 164, 190);
    Label3->setObjectName(QStringLiteral("Label3"));
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setGeometry(216, 159, 80, 24);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setGeometry(301, 159, 80, 24);

    // Only the user's choices count as changes: filling the lists from code emits no `activated`.
    connect(OutputDevice, &QComboBox::activated, this, [this] { OutputDeviceChange(); });
    connect(Frequency, &QComboBox::activated, this, [this] { FrequencyChange(); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

void TFormPreferences::FormCreate()
{
    OutputDevice->GetDeviceNames();
}

int TFormPreferences::FillControls()
{
    OutputDevice->GetDeviceNames(); // devices may have come or gone since
    SettingsChanged = false;
    const int frequency = Frequency->findText(QString::fromStdString(ReadSettingString(OutputFrequency)));
    Frequency->setCurrentIndex(frequency < 0 ? 0 : frequency);
    OutputDevice->setCurrentIndex(GetStoredDeviceIndex());
    cbLoadLast->setChecked(ReadSettingBool(LoadLast));
    return exec();
}

int TFormPreferences::GetStoredDeviceIndex()
{
    const int index = OutputDevice->findText(QString::fromStdString(ReadSettingString(::OutputDevice)));
    return index < 0 ? 0 : index;
}

bool TFormPreferences::ChangeOutputSettings()
{
    if (FillControls() != QDialog::Accepted || !SettingsChanged)
        return false;
    snl.InitOutput(GetStoredDeviceIndex(), ReadSettingInt(OutputFrequency));
    return true;
}

void TFormPreferences::OutputDeviceChange()
{
    SettingsChanged = true;
}

void TFormPreferences::FrequencyChange()
{
    SettingsChanged = true;
}

void TFormPreferences::OKBtnClick()
{
    if (SettingsChanged) {
        WriteSettingString(::OutputDevice, OutputDevice->currentText().toStdString());
        WriteSettingInt(OutputDeviceIndex, OutputDevice->currentIndex());
        WriteSettingString(OutputFrequency, Frequency->currentText().toStdString());
    }
    WriteSettingBool(LoadLast, cbLoadLast->isChecked());
    accept();
}

void TFormPreferences::paintEvent(QPaintEvent*)
{
    QPainter(this).drawPixmap(0, 0, background_);
}
