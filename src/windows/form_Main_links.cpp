// Where the main window meets the windows and frames built beside it: the playlist frame, the
// trigger window, the preferences window, the export window, the CD rip window and the record wizard.
#include "windows/form_Main.h"

#include "GraphControls/class_SkinPicture.h"
#include "windows/form_CDRip.h"
#include "windows/form_Record.h"
#include "windows/form_SaveToWav.h"
#include "model/class_FileLog.h"
#include "platform/ui/DragController.h"
#include "platform/ui/MessageBox.h"
#include "windows/form_Preferences.h"
#include "windows/form_Trigger.h"
#include "windows/frame_mixedit.h"
#include "windows/frame_reposedit.h"

#include <QAction>
#include <QCoreApplication>
#include <QActionGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>

#include <filesystem>

namespace {

constexpr int kPictureDragThreshold = 4;

// A trigger picture can be dragged onto a playlist row; dropped on itself it does nothing.
void MakeDraggablePicture(TSkinPicture* picture)
{
    picture->OnMouseDown = [picture](QMouseEvent* press) { ui::BeginDrag(picture, *press, kPictureDragThreshold); };
    ui::SetDropTarget(picture, {[picture](QWidget* source, QPoint, ui::DragState, bool& accept) { accept = source == picture; },
                                [](QWidget*, QPoint) {}});
}

} // namespace

void TFormMain::PlacePlaylistFrame()
{
    PlaylistEdit = new TFramePlaylist(PagePlaylist);
    PlaylistEdit->setGeometry(171, 124, 372, 236);
    PlaylistEdit->data = &snl.mixdata;
    PlaylistEdit->Grid->setColumnWidth(0, 110);
    // Wide enough for "0m 16s" in the fallback font (DejaVu is wider than the designed one).
    PlaylistEdit->Grid->setColumnWidth(1, 46);
    PlaylistEdit->Grid->OnClick = [this] { PlaylistStringGridClick(); };
    PlaylistEdit->DragDrop.OnClick = [this](QObject* sender) { mixedit1DragDropClick(sender); };
    WatchHelp(PlaylistEdit->Grid, 15);

    PlaylistPopup = new QMenu(this);
    Playfromthisposition1 = PlaylistPopup->addAction("Play from Here", this, &TFormMain::Playfromthisposition1Click);
    PlaylistPopup->addSeparator();
    auto* triggers = new QActionGroup(PlaylistPopup);
    auto addTrigger = [&](const char* caption, void (TFormMain::*handler)()) {
        QAction* item = PlaylistPopup->addAction(caption, this, handler);
        item->setCheckable(true);
        triggers->addAction(item);
        return item;
    };
    TriggerNone = addTrigger("No Trigger", &TFormMain::TriggerNoneClick);
    TriggerMouse = addTrigger("Trigger by Mouse", &TFormMain::TriggerMouseClick);
    TriggerKeyboard = addTrigger("Trigger by Keyboard", &TFormMain::TriggerKeyboardClick);
    connect(PlaylistPopup, &QMenu::aboutToShow, this, &TFormMain::PlaylistPopupPopup);
    PlaylistEdit->Grid->PopupMenu = PlaylistPopup;

    MakeDraggablePicture(MouseWait);
    MakeDraggablePicture(KeyboardWait);
    // The page background takes every drop: a row's icon dropped there resets its parameter.
    for (QWidget* background : {static_cast<QWidget*>(PlaylistBack), static_cast<QWidget*>(NavigationTop),
                                static_cast<QWidget*>(NavigationImage)})
        ui::SetDropTarget(background, {[](QWidget*, QPoint, ui::DragState, bool& accept) { accept = true; },
                                       [this](QWidget* source, QPoint) { PlaylistBackDragDrop(source); }});
}

void TFormMain::PlaylistPopupPopup()
{
    const cMixRow* row = snl.mixdata.Get(snl.SelectedRow);
    const int trigger = row ? row->trigger : ::TriggerNone;
    TriggerNone->setChecked(trigger != ::TriggerMouse && trigger != TriggerKey);
    TriggerMouse->setChecked(trigger == ::TriggerMouse);
    TriggerKeyboard->setChecked(trigger == TriggerKey);
}

void ResetGrabbedParameter(cMixRow& row, int dragPart)
{
    ::MixParams& params = row.MixParams;
    switch (dragPart) {
    case TFramePlaylist::PartVolume: params.volume = 100; break;
    case TFramePlaylist::PartSpeed: params.speed = 0; break;
    case TFramePlaylist::PartPitch: params.pitch = 0; break;
    case TFramePlaylist::PartTime: row.trigger = ::TriggerNone; break;
    case TFramePlaylist::PartOverlap:
        row.overlap = false;
        row.overlaplen = 0;
        break;
    case TFramePlaylist::PartFadeIn:
        params.fadein = false;
        params.fadeinlength = 0;
        break;
    case TFramePlaylist::PartFadeOut:
        params.fadeout = false;
        params.fadeoutlength = 0;
        break;
    default: break; // a whole row, or nothing grabbed
    }
}

// A zone dropped on the playlist becomes a row there; a trigger picture dropped on a row gives
// that row the trigger (a row that waits for a trigger never overlaps the row before it); an
// editor picture opens its editor for the row.
void TFormMain::mixedit1DragDropClick(QObject* sender)
{
    // The sound thread reads the rows while the mix plays: no drop may change them then.
    if (!snl.WavProducer.Stopped) {
        ui::ShowMessage("Can't drag and drop while playing.");
        return;
    }
    auto* source = qobject_cast<QWidget*>(sender);
    if (auto* bin = source ? qobject_cast<TFrameReposEdit*>(source->parentWidget()) : nullptr) {
        const cBinItem* item = bin->data ? bin->data->Items.Get(bin->StringGrid1->Row()) : nullptr;
        if (item && PlaylistEdit->DropRow == -1)
            PlaylistEdit->AddRow(*item);
        else if (item)
            PlaylistEdit->InsertRow(*item);
    }
    if (snl.mixdata.Count() == 0)
        return;
    if (sender == MouseWait || sender == KeyboardWait) {
        if (cMixRow* row = snl.mixdata.Get(snl.SelectedRow)) {
            row->trigger = sender == MouseWait ? ::TriggerMouse : TriggerKey;
            RefreshPlaylistRow(PlaylistCurrentRow());
            if (cMixRow* previous = snl.mixdata.Get(snl.SelectedRow - 1)) {
                previous->overlap = false;
                previous->overlaplen = 0;
                RefreshPlaylistRow(snl.SelectedRow - 1);
            }
        }
    }
    if (sender == Transition)
        TransitionDblClick();
    if (sender == Transformation)
        TransformationDblClick();
}

void TFormMain::PlaylistBackDragDrop(QWidget* source)
{
    if (!snl.WavProducer.Stopped) {
        ui::ShowMessage("Can't modify playlist while playing.");
        return;
    }
    if (source != PlaylistEdit->Grid)
        return;
    cMixRow* row = snl.mixdata.Get(snl.SelectedRow);
    if (!row)
        return;
    ResetGrabbedParameter(*row, PlaylistEdit->DragPart);
    RefreshPlaylistRow(PlaylistCurrentRow());
}

int TFormMain::PlaylistCurrentRow() const
{
    return PlaylistEdit->Grid->Row();
}

void TFormMain::RefreshPlaylistRow(int row)
{
    PlaylistEdit->RefreshRow(row);
}

int TFormMain::PlaylistHighlightRow() const
{
    return PlaylistEdit->HighlightRow;
}

void TFormMain::SetPlaylistHighlightRow(int row)
{
    PlaylistEdit->HighlightRow = row;
}

void TFormMain::SetPlaylistRows()
{
    PlaylistEdit->data = &snl.mixdata;
    PlaylistEdit->Grid->setRowCount(std::max(snl.mixdata.Count(), 1));
    PlaylistEdit->Grid->viewport()->update();
}

void TFormMain::FocusPlaylist()
{
    PlaylistEdit->Grid->setFocus();
}

void TFormMain::ShowTriggerWindow(int waitState)
{
    if (!FormTrigger)
        return;
    if (waitState != 1 && waitState != 2) {
        if (FormTrigger->isVisible())
            FormTrigger->hide();
        return;
    }
    const bool keyWait = waitState == 1;
    FormTrigger->IconAnyKey->setVisible(keyWait);
    FormTrigger->IconMouse->setVisible(!keyWait);
    const QString prompt = keyWait ? "Mix was stopped. Press space bar to resume."
                                   : "Mix was stopped. Click with mouse to resume.";
    if (FormTrigger->Label->text() != prompt)
        FormTrigger->Label->setText(prompt);
    if (!FormTrigger->isVisible()) {
        FormTrigger->show();
        FormTrigger->raise();
        FormTrigger->activateWindow();
    }
}

int TFormMain::StoredDeviceIndex()
{
    return FormPreferences ? FormPreferences->GetStoredDeviceIndex() : 0;
}

void TFormMain::Image40Click()
{
    LogToFile("Preferences", true, true);
    FormPreferences->ChangeOutputSettings();
}

void TFormMain::ToWavClick()
{
    OpenExport(true);
}

void TFormMain::Image30Click()
{
    OpenExport(false);
}

void TFormMain::OpenExport(bool wavMode)
{
    LogToFile(wavMode ? "Out to wav" : "Out to mp3", true, true);
    StopMix();
    FormSaveToWav->SetMode(wavMode);
    FormSaveToWav->exec();
    StopMix();
}

bool TFormMain::cdtrackClick()
{
    LogToFile("Rip CD Track", true, true);
    if (FormCDRip->exec() != QDialog::Accepted)
        return false;
    QCoreApplication::processEvents();
    const CDRipResult rip = FormCDRip->Result();
    AddWizardSources(rip.files, rip.oneBin, rip.trackEnds);
    return true;
}

void TFormMain::recordClick()
{
    LogToFile("Record My Own", true, true);
    if (FormRecord->exec() != QDialog::Accepted)
        return;
    const std::string fileName = FormRecord->Edit1->text().toStdString();
    std::error_code missing;
    if (!fileName.empty() && std::filesystem::exists(fileName, missing))
        OpenSourceFile(fileName, true);
}

void TFormMain::ExportTo(const std::string& path)
{
    FormSaveToWav->filename->setText(QString::fromStdString(path));
    ToWavClick();
}
