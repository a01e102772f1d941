// The playlist page's commands on the selected row: the editors (transition, transformation, mix
// view), editing the row's zone, removing a row and clearing the playlist, with the pop-up items,
// the deferred double click and the two editor pictures that are dragged onto rows.
#include "windows/form_Main.h"

#include "GraphControls/class_SkinPicture.h"
#include "model/class_FileLog.h"
#include "platform/ui/DragController.h"
#include "platform/ui/MessageBox.h"
#include "windows/form_MixView.h"
#include "windows/form_Transformation.h"
#include "windows/form_Transition.h"
#include "windows/frame_mixedit.h"
#include "windows/frame_reposedit.h"

#include <QAction>
#include <QCoreApplication>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QTableWidget>

namespace {

constexpr int kPictureDragThreshold = 4;

} // namespace

void TFormMain::BuildEditorLinks()
{
    auto item = [this](const char* caption, const QKeySequence& key, void (TFormMain::*handler)()) {
        auto* action = new QAction(caption, PlaylistPopup);
        action->setShortcut(key);
        // The grid owns the pop-up: its keys act while the grid has the focus.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, handler);
        PlaylistEdit->Grid->addAction(action);
        return action;
    };
    EditZone = item("Edit Zone", {}, &TFormMain::EditZoneClick);
    EditTransformation2 = item("Edit Transformation", Qt::Key_F4, &TFormMain::TransformationDblClick);
    EditTransformation1 = item("Edit Transition", Qt::Key_F5, &TFormMain::TransitionDblClick);
    Delete1 = item("Remove", Qt::Key_Delete, &TFormMain::Delete1Click);
    ClearPlaylist1 = item("Clear Playlist", {}, &TFormMain::ClearPlaylist1Click);
    PlaylistPopup->insertActions(TriggerNone, {EditZone, EditTransformation2, EditTransformation1});
    PlaylistPopup->insertSeparator(TriggerNone);
    PlaylistPopup->addSeparator();
    PlaylistPopup->addAction(Delete1);
    PlaylistPopup->addAction(ClearPlaylist1);

    PlaylistEdit->DoubleClick.OnClick = [this](QObject*) { PlaylistEditDoubleClickClick(); };
    connect(MixViewMenu, &QAction::triggered, this, &TFormMain::MixViewMenuClick);

    Transition->OnDblClick = [this] { TransitionDblClick(); };
    Transformation->OnDblClick = [this] { TransformationDblClick(); };
    for (TSkinPicture* picture : {Transition, Transformation}) {
        picture->OnMouseDown = [picture](QMouseEvent* press) { ui::BeginDrag(picture, *press, kPictureDragThreshold); };
        ui::SetDropTarget(picture, {[picture](QWidget* source, QPoint, ui::DragState, bool& accept) { accept = source == picture; },
                                    [this, picture](QWidget* source, QPoint) { EditorPictureDragDrop(picture, source); }});
    }
}

void TFormMain::PlaylistEditDoubleClickClick()
{
    switch (PlaylistEdit->DragPart) {
    case TFramePlaylist::PartOverlap:
        TransitionDblClick();
        break;
    case TFramePlaylist::PartVolume:
    case TFramePlaylist::PartSpeed:
    case TFramePlaylist::PartPitch:
    case TFramePlaylist::PartFadeIn:
    case TFramePlaylist::PartFadeOut:
        TransformationDblClick();
        break;
    default:
        EditZoneClick();
    }
}

void TFormMain::EditorPictureDragDrop(TSkinPicture* picture, QWidget* source)
{
    if (!snl.WavProducer.Stopped) {
        ui::ShowMessage("Can't do it while playing.");
        return;
    }
    if (source != picture)
        return;
    if (picture == Transition)
        TransitionDblClick();
    else
        TransformationDblClick();
}

namespace {

// Ends a drag of the picture (one not yet started included) and lets its events pass.
void EndPictureDrag(QWidget* picture, bool drop)
{
    if (ui::Dragging() && ui::DragSource() == picture)
        ui::EndDrag(drop);
    QCoreApplication::processEvents();
}

} // namespace

void TFormMain::TransitionDblClick()
{
    if (snl.SelectedRow >= snl.mixdata.Count() || snl.SelectedRow < 0)
        return;
    EndPictureDrag(Transition, false);
    if (snl.SelectedRow < snl.mixdata.Count() - 1) {
        LogToFile("Transition editor", true, true);
        PlaceEditorForm(FormTransition);
        FormTransition->Prepare();
        FormTransition->exec();
    }
    EndPictureDrag(Transition, false);
    AfterTransitionEdited();
}

void TFormMain::AfterTransitionEdited()
{
    // A row that the one before overlaps starts inside it: it can't wait for a trigger.
    const cMixRow* row = snl.mixdata.Get(snl.SelectedRow);
    if (cMixRow* next = snl.mixdata.Get(snl.SelectedRow + 1); row && next && row->overlap) {
        next->trigger = ::TriggerNone;
        RefreshPlaylistRow(snl.SelectedRow + 1);
    }
}

void TFormMain::TransformationDblClick()
{
    if (snl.SelectedRow >= snl.mixdata.Count() || snl.SelectedRow < 0)
        return;
    EndPictureDrag(Transformation, true);
    LogToFile("Transformation editor", true, true);
    PlaceEditorForm(FormTransformation);
    FormTransformation->Prepare();
    FormTransformation->exec();
    EndPictureDrag(Transformation, true);
}

void TFormMain::EditZoneClick()
{
    const cMixRow* row = snl.mixdata.Get(snl.SelectedRow);
    if (!row)
        return;
    for (int b = 0; b < snl.Bins.Count(); ++b) {
        const cBin* bin = snl.Bins.Get(b);
        for (int z = 0; z < bin->Items.Count(); ++z) {
            const cBinItem* zone = bin->Items.Get(z);
            if (zone->filename == row->filename && zone->start == row->start && zone->length == row->length) {
                ShowPage(PageBinEditIndex);
                PageBinEdit->FilesList->setCurrentRow(b);
                PageBinEdit->FilesListClick();
                PageBinEdit->bingrid->StringGrid1->SetRow(z);
                return;
            }
        }
    }
    ui::ShowMessage("Can't find the zone in bins.");
}

void TFormMain::Delete1Click()
{
    if (snl.SelectedRow >= snl.mixdata.Count() || snl.SelectedRow < 0)
        return;
    if (snl.Playing) {
        ui::ShowMessage("Can't delete while playing.");
        return;
    }
    const int index = PlaylistCurrentRow();
    if (index >= 0 && index < snl.mixdata.Count())
        snl.mixdata.Delete(index);
    if (PlaylistEdit->Grid->rowCount() > 1)
        PlaylistEdit->Grid->setRowCount(PlaylistEdit->Grid->rowCount() - 1);
    PlaylistEdit->Grid->viewport()->update();
}

void TFormMain::ClearPlaylist1Click()
{
    if (!snl.WavProducer.Stopped) {
        ui::ShowMessage("Can't do it while playing.");
        return;
    }
    snl.mixdata.Clear();
    PlaylistEdit->Grid->setRowCount(1);
    PlaylistEdit->Grid->viewport()->update();
}

void TFormMain::MixViewMenuClick()
{
    FormMixView->ShowWholeMix();
    FormMixView->exec();
}
