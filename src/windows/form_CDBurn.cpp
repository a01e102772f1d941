#include "windows/form_CDBurn.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

#include "GraphControls/class_SkinPicture.h"
#include "disc/class_BurnLog.h"
#include "model/class_Switches.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/SkinImage.h"
#include "platform/ui/WindowHelpers.h"

TFormCDBurn* FormCDBurn = nullptr;

namespace {

constexpr const char* kPanelStyle =
    "QWidget#panel { background: #15181d; }"
    " QLabel { color: #e8ebf0; background: transparent; font-family: 'DejaVu Sans'; font-size: 9pt; }"
    " QLabel#title { font-weight: bold; }"
    " QRadioButton { color: #e8ebf0; font-family: 'DejaVu Sans'; font-size: 9pt; }"
    " QTreeWidget, QPlainTextEdit, QComboBox { color: #e8ebf0; background: #0e1014; border: 1px solid #2a2f38;"
    " font-family: 'DejaVu Sans'; font-size: 9pt; selection-background-color: #1d3346; }"
    " QHeaderView::section { color: #8d96a6; background: #1b1f26; border: none; padding: 2px 4px; }"
    " QProgressBar { background: #0e1014; border: none; } QProgressBar::chunk { background: #4cc2ff; }";

const QRect kPanelRect(16, 56, 468, 182);

QWidget* Panel(QWidget* parent, const char* name, const char* title)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    panel->setGeometry(kPanelRect);
    panel->setAttribute(Qt::WA_StyledBackground);
    panel->setStyleSheet(QString(kPanelStyle).replace("QWidget#panel", QString("QWidget#") + name));
    if (title) {
        auto* caption = new QLabel(title, panel);
        caption->setObjectName("title");
        caption->setGeometry(12, 8, 444, 20);
    }
    return panel;
}

// "1,234.57": thousands separators and two decimals, whatever the locale.
std::string Megabytes(double bytes)
{
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.2f", bytes / 1048576.0);
    const std::string text(digits);
    const size_t first = text[0] == '-' ? 1 : 0;
    const size_t point = text.find('.');
    std::string grouped = text.substr(0, first);
    for (size_t i = first; i < point; ++i) {
        if (i > first && (point - i) % 3 == 0)
            grouped += ',';
        grouped += text[i];
    }
    return grouped + text.substr(point);
}

bool FileExists(const std::string& path)
{
    return !path.empty() && QFile::exists(QString::fromStdString(path));
}

} // namespace

TFormCDBurn::TFormCDBurn(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormCDBurn");
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowTitle("CD Burning");
    setModal(true);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(ui::SkinPixmap("cdburn_back"));
    Image1->setGeometry(0, 0, 500, 300);
    Image1->installEventFilter(this);

    PanelInterface = Panel(this, "PanelInterface", "1/3 Specify CD burner interface:");
    rbSPTI = new QRadioButton("SPTI (will work in most cases)", PanelInterface);
    rbSPTI->setObjectName("rbSPTI");
    rbSPTI->setGeometry(24, 48, 400, 22);
    rbSPTI->setChecked(true);
    rbASPI = new QRadioButton("ASPI", PanelInterface);
    rbASPI->setObjectName("rbASPI");
    rbASPI->setGeometry(24, 76, 400, 22);

    PanelCDBurner = Panel(this, "PanelCDBurner", "2/3 Select CD burner:");
    DeviceLV = new QTreeWidget(PanelCDBurner);
    DeviceLV->setObjectName("DeviceLV");
    DeviceLV->setGeometry(12, 36, 444, 136);
    DeviceLV->setHeaderLabels({"Drive", "Disc", "Size (MB)"});
    DeviceLV->setColumnWidth(0, 200);
    DeviceLV->setColumnWidth(1, 80);
    DeviceLV->setColumnWidth(2, 80);
    DeviceLV->setRootIsDecorated(false);
    DeviceLV->setSelectionBehavior(QAbstractItemView::SelectRows);
    DeviceLV->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Refreshing = new QLabel("Refreshing ...", PanelCDBurner);
    Refreshing->setObjectName("Refreshing");
    Refreshing->setGeometry(360, 8, 96, 20);
    Refreshing->hide();

    PanelSpeed = Panel(this, "PanelSpeed", "3/3 Specify burning speed (maximum speed by default):");
    speed_combo = new QComboBox(PanelSpeed);
    speed_combo->setObjectName("speed_combo");
    speed_combo->setGeometry(12, 40, 160, 24);
    speed_combo->setMaxVisibleItems(20);

    PanelBurn = Panel(this, "PanelBurn", nullptr);
    Log = new QPlainTextEdit(PanelBurn);
    Log->setObjectName("Log");
    Log->setGeometry(12, 8, 444, 144);
    Log->setReadOnly(true);
    Log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Progress = new QProgressBar(PanelBurn);
    Progress->setObjectName("Progress");
    Progress->setGeometry(12, 160, 444, 14);
    Progress->setRange(0, 100);
    Progress->setTextVisible(false);
    Progress->hide();

    Back = MakeSkinButton(this, "cdburn_previous", "Back", 212, 256);
    Next = MakeSkinButton(this, "cdburn_next", "Next", 306, 256);
    Cancel = MakeSkinButton(this, "cdburn_cancel", "Cancel", 400, 256);
    CloseBtn = MakeSkinButton(this, "cdburn_close", "CloseBtn", 0, 0);
    Burn = MakeSkinButton(this, "cdburn_burn", "Burn", 0, 0);
    Back->OnClick = [this] { BackClick(); };
    Next->OnClick = [this] { NextClick(); };
    Burn->OnClick = [this] { NextClick(); };
    Cancel->OnClick = [this] { CancelClick(); };
    CloseBtn->OnClick = [this] { CloseBtnClick(); };

    UpdateTimer = new QTimer(this);
    UpdateTimer->setInterval(2500);
    connect(UpdateTimer, &QTimer::timeout, this, [this] { UpdateTimerTimer(); });

    FormCreate();
}

TFormCDBurn::~TFormCDBurn()
{
    RemoveLogSinks(this);
    BurnerList.clear();
}

void TFormCDBurn::FormCreate()
{
    CloseBtn->move(Cancel->pos());
    Burn->move(Next->pos());
    panels_[0] = PanelInterface;
    panels_[1] = PanelCDBurner;
    panels_[2] = PanelSpeed;
    panels_[3] = PanelBurn;
    setFixedSize(Image1->size());
    ui::SetRoundWindowRegion(this, 6);
}

const char* TFormCDBurn::MediaText(TMediaType media)
{
    switch (media) {
    case 0: return "Uknown";
    case 1: case 10: return "CDROM";
    case 2: case 11: return "CD-R";
    case 3: case 12: return "CD-RW";
    case 4: return "DVD-ROM";
    case 5: return "DVD-R";
    case 6: return "DVD-RAM";
    case 7: case 8: return "DVD-RW";
    case 9: return "DVD+RW";
    case 13: return "DVD+R";
    case 14: return "No disc in drive";
    default: return "Media Type Unknown";
    }
}

// ---- steps -------------------------------------------------------------------------------------

void TFormCDBurn::ShowWizardStep(int step)
{
    for (int i = 0; i < StepCount; ++i)
        panels_[i]->setVisible(i == step);
    Back->setVisible(step != 0);
    Next->setVisible(step != StepCount - 1);
    step_ = step;
    // The burner list refreshes itself only while a burner is being chosen.
    if (step == 1)
        UpdateTimer->start();
    else
        UpdateTimer->stop();
}

void TFormCDBurn::WizardStepBack() { ShowWizardStep(std::max(step_ - 1, 0)); }

void TFormCDBurn::WizardStepNext() { ShowWizardStep(std::min(step_ + 1, StepCount - 1)); }

void TFormCDBurn::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TFormCDBurn::FormShow()
{
    ShowWizardStep(0);
    Next->show();
    Cancel->show();
    Back->hide();
    CloseBtn->hide();
    Burn->hide();
}

void TFormCDBurn::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TFormCDBurn::FormActivate() { QCoreApplication::processEvents(); }

void TFormCDBurn::done(int result)
{
    // The burn processes messages while it renders and writes: a close then would pull the window
    // from under it.
    if (burning_)
        return;
    FormClose();
    QDialog::done(result);
}

void TFormCDBurn::FormClose()
{
    UpdateTimer->stop();
    BurnerList.clear(); // lets go of the drives
    DeviceLV->clear();
}

void TFormCDBurn::NextClick()
{
    if (burning_)
        return;
    if (step_ == 0) {
        RefreshDevices();
        if (DeviceLV->topLevelItemCount() == 0) {
            ui::ShowMessage("No CD burners found for this interface.");
            return;
        }
        DeviceLV->setCurrentItem(DeviceLV->topLevelItem(0));
    } else if (step_ == 1) {
        CDevice* burner = SelectedBurner();
        if (!burner) {
            ui::ShowMessage("No CD burners found for this interface.");
            return;
        }
        if (!burner->IsDiscBlank()) {
            ui::ShowMessage("Media is not blank.");
            return;
        }
        if (burner->GetMediaType() != burner::MediaCdR && burner->GetMediaType() != burner::MediaCdRw) {
            ui::ShowMessage("Only CD-R or CD-RW allowed.");
            return;
        }
        FillSpeeds();
    }
    WizardStepNext();
    if (step_ == 1) {
        DeviceLV->setFocus();
    } else if (step_ == 2) {
        speed_combo->setFocus();
        Burn->show();
        Next->hide();
    } else if (step_ == 3) {
        for (QWidget* hidden : {static_cast<QWidget*>(Progress), static_cast<QWidget*>(Next), static_cast<QWidget*>(Back),
                                static_cast<QWidget*>(Cancel), static_cast<QWidget*>(Burn)})
            hidden->hide();
        repaint();
        QPointer<TFormCDBurn> self(this);
        BurnProject();
        if (!self)
            return;
        CloseBtn->show();
        Cancel->hide();
    }
}

void TFormCDBurn::BackClick()
{
    WizardStepBack();
    Next->show();
    Burn->hide();
}

void TFormCDBurn::CancelClick()
{
    if (step_ != StepCount - 1)
        close();
}

void TFormCDBurn::CloseBtnClick() { close(); }

// ---- burners and speeds ------------------------------------------------------------------------

void TFormCDBurn::RefreshDevices()
{
    if (rbASPI->isChecked())
        CDevice::FindASPIDevices();
    else
        CDevice::FindSPTIDevices();
    DeviceLV->clear();
    for (const auto& burner : BurnerList) {
        burner->RefreshDeviceInfo();
        burner->RefreshMedia();
        burner->RefreshReadWriteModes();
    }
    for (const auto& burner : BurnerList) {
        std::string disc;
        MediaTypeName(*burner, disc);
        std::string size;
        if (burner->GetMediaType() != burner::MediaEmpty)
            size = burner->IsDiscBlank() ? "Blank" : Megabytes(burner->GetFreeSize());
        auto* row = new QTreeWidgetItem(DeviceLV);
        row->setText(0, QString::fromStdString(burner->GetVendor() + burner->GetProduct() + burner->GetRevision()));
        row->setText(1, QString::fromStdString(disc));
        row->setText(2, QString::fromStdString(size));
    }
}

void TFormCDBurn::UpdateTimerTimer()
{
    if (step_ != 1 || burning_)
        return;
    Refreshing->show();
    Refreshing->repaint();
    UpdateTimer->stop();
    const int selected = DeviceLV->currentItem() ? DeviceLV->indexOfTopLevelItem(DeviceLV->currentItem()) : -1;
    RefreshDevices();
    if (selected >= 0 && selected < DeviceLV->topLevelItemCount())
        DeviceLV->setCurrentItem(DeviceLV->topLevelItem(selected));
    Refreshing->hide();
    if (step_ == 1)
        UpdateTimer->start();
}

CDevice* TFormCDBurn::SelectedBurner()
{
    const int row = DeviceLV->currentItem() ? DeviceLV->indexOfTopLevelItem(DeviceLV->currentItem()) : 0;
    if (row >= 0 && row < static_cast<int>(BurnerList.size()))
        return BurnerList[static_cast<size_t>(row)].get();
    return BurnerList.empty() ? nullptr : BurnerList.front().get();
}

void TFormCDBurn::FillSpeeds()
{
    CDevice* burner = SelectedBurner();
    if (!burner)
        return;
    burner->GetWriteSpeeds();
    speed_combo->clear();
    for (const TSpeed& speed : burner->Speeds)
        speed_combo->addItem(speed.Text);
    speed_combo->setCurrentIndex(speed_combo->count() - 1);
}

// ---- the burn ----------------------------------------------------------------------------------

void TFormCDBurn::OnRenderProgress(void* context, uint8_t, const char* text)
{
    const std::string line(text);
    if (line.size() < 2 || line[line.size() - 2] != '%')
        return;
    auto* form = static_cast<TFormCDBurn*>(context);
    bool ok = false;
    const int percent = QString::fromStdString(line.substr(0, line.size() - 2)).trimmed().toInt(&ok);
    form->Progress->setValue(ok ? percent : 0);
    form->Progress->repaint();
    QCoreApplication::processEvents();
}

void TFormCDBurn::LogSink(const std::string& text)
{
    Log->appendPlainText(QString::fromStdString(text));
    Log->repaint();
}

void TFormCDBurn::ReplaceLastLogLine(const std::string& text)
{
    QTextCursor cursor(Log->document()->lastBlock());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(QString::fromStdString(text));
    Log->repaint();
}

void TFormCDBurn::BurnProject()
{
    AddLogSink(&TFormCDBurn::OnRenderProgress, this, 0);
    if (BurnerList.empty()) {
        LogSink("ERROR:Recording driver wasn't found");
        return;
    }
    burning_ = true;
    UpdateTimer->stop();
    CDevice& burner = *SelectedBurner();
    burner.RefreshDeviceInfo();
    burner.RefreshMedia();
    if (rbASPI->isChecked())
        LogSink("Interface: ASPI");
    if (rbSPTI->isChecked())
        LogSink("Interface: SPTI");
    LogSink("CD Drive: " + burner.GetVendor() + burner.GetProduct());
    LogSink(std::string("Media Type: ") + MediaText(burner.GetMediaType()));
    bool refused = false;
    if (burner.GetMediaType() == burner::MediaEmpty) {
        LogSink("ERROR: Insert empty CD-R or CD-RW.");
        refused = true;
    } else if (!IsSwitch("nocdchecking")) {
        if (burner.IsDiscBlank()) {
            LogSink("Found blank media.");
        } else {
            LogSink(Megabytes(burner.GetFreeSize()) + " MB");
            LogSink("ERROR: Media is not blank.");
            refused = true;
        }
        if (!refused && burner.GetMediaType() != burner::MediaCdR && burner.GetMediaType() != burner::MediaCdRw) {
            LogSink("ERROR: Only CD-R or CD-RW allowed.");
            refused = true;
        }
    }
    if (refused) {
        burning_ = false;
        return;
    }

    TBurnOptions options;
    options.SendOPC = false;
    options.TestWrite = IsSwitch("burnemulate");
    const int chosen = speed_combo->currentIndex();
    if (chosen >= 0 && chosen < static_cast<int>(burner.Speeds.size())) {
        options.Speed = burner.Speeds[static_cast<size_t>(chosen)].KBps;
        options.SpeedText = burner.Speeds[static_cast<size_t>(chosen)].Text;
    } else {
        options.Speed = 0; // no speed offered: the drive's maximum
        options.SpeedText = "max";
    }
    LogSink(std::string("Speed: ") + options.SpeedText);
    options.WriteMode = 3;

    QPointer<TFormCDBurn> self(this);
    const bool written = RenderImage() && self && WriteImage(burner, options);
    if (!self)
        return;
    if (written) {
        LogSink("Success!");
        if (!IsSwitch("noeject"))
            burner.Eject();
    } else {
        LogSink("Failure. Burning error.");
    }
    burning_ = false;
}

bool TFormCDBurn::RenderImage()
{
    LogSink("Rendering cd image...");
    LogSink("Rendering: 0%");
    repaint();
    // A name left from an earlier burn (or its file, kept by "leavetemp") must never be burned.
    ImageFileName.clear();
    if (OnImageRender)
        OnImageRender(this);
    return FileExists(ImageFileName);
}

bool TFormCDBurn::WriteImage(CDevice& burner, TBurnOptions& options)
{
    const TBurnFileList files{{ImageFileName, "", ""}};
    Progress->setValue(0);
    Progress->show();
    repaint();
    QCoreApplication::processEvents();
    bool written = false;
    if (IsSwitch("noburning")) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        Progress->setValue(100);
        written = true;
    } else {
        LogSink("Burning");
        if (!IsSwitch("emulateburnerror"))
            written = burner.BurnAudioCD(options, files, "Sonorel", "Performance");
        if (written)
            Progress->setValue(100);
    }
    if (written) {
        Progress->hide();
        QCoreApplication::processEvents();
    }
    if (!IsSwitch("leavetemp")) {
        LogSink("Deleting temporary cd image file.");
        QFile::remove(QString::fromStdString(ImageFileName));
    }
    return written;
}

bool TFormCDBurn::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Image1 && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        ui::DragWindowByControl(this);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
