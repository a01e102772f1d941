// Where the main window meets the windows and frames built beside it: the playlist frame, the
// trigger window, the preferences window, the export window and the record wizard.
#include "windows/form_Main.h"

#include "GraphControls/class_SkinPicture.h"
#include "cd/form_Record.h"
#include "cd/form_SaveToWav.h"
#include "model/class_FileLog.h"
#include "platform/ui/DragController.h"
#include "windows/form_Preferences.h"
#include "windows/form_Trigger.h"
#include "windows/frame_mixedit.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>

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
}

void TFormMain::PlaylistPopupPopup()
{
    const cMixRow* row = snl.mixdata.Get(snl.SelectedRow);
    const int trigger = row ? row->trigger : ::TriggerNone;
    TriggerNone->setChecked(trigger != ::TriggerMouse && trigger != TriggerKey);
    TriggerMouse->setChecked(trigger == ::TriggerMouse);
    TriggerKeyboard->setChecked(trigger == TriggerKey);
}

// A trigger picture dropped on a row gives that row the trigger; a row that waits for a trigger
// never overlaps the row before it.
void TFormMain::mixedit1DragDropClick(QObject* sender)
{
    if (sender != MouseWait && sender != KeyboardWait)
        return;
    cMixRow* row = snl.mixdata.Get(snl.SelectedRow);
    if (!row)
        return;
    row->trigger = sender == MouseWait ? ::TriggerMouse : TriggerKey;
    RefreshPlaylistRow(PlaylistCurrentRow());
    if (cMixRow* previous = snl.mixdata.Get(snl.SelectedRow - 1)) {
        previous->overlap = false;
        previous->overlaplen = 0;
        RefreshPlaylistRow(snl.SelectedRow - 1);
    }
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

// The zone editor's view and its playback come with the zone editor page.
void TFormMain::ToggleZonePlay() {}

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

void TFormMain::recordClick()
{
    LogToFile("Record My Own", true, true);
    // The recorded file becomes a source once sources can be added to a project; until then the
    // navigation button is not connected, so no recording is made that would silently go nowhere.
    FormRecord->exec();
}

void TFormMain::ExportTo(const std::string& path)
{
    FormSaveToWav->filename->setText(QString::fromStdString(path));
    ToWavClick();
}
