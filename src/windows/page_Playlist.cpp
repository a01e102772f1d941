#include "windows/page_Playlist.h"

#include "GraphControls/class_SkinPicture.h"
#include "model/class_FileLog.h"
#include "platform/trace/Trace.h"
#include "platform/ui/DragController.h"
#include "platform/ui/FittedText.h"
#include "platform/ui/MessageBox.h"
#include "windows/editor_controls.h"
#include "windows/form_Transformation.h"
#include "windows/form_Transition.h"
#include "windows/frame_mixedit.h"
#include "windows/frame_reposedit.h"
#include "windows/page_Pictures.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QString>

#include <algorithm>
#include <functional>

namespace {

constexpr int kPictureDragThreshold = 4;

QString SecondsText(float seconds)
{
    return QString::asprintf("%.1fs", seconds);
}

QLabel* NewTimeLabel(QWidget* parent, int left, int top, int width, Qt::Alignment alignment)
{
    auto* label = new QLabel(parent);
    label->setGeometry(left, top, width, 20);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setStyleSheet("color: white; background: transparent; font-family: 'Trebuchet MS', 'DejaVu Sans';"
                         " font-weight: bold; font-size: 15px;");
    return label;
}

// A picture that can be dragged onto a playlist row; it takes only a drop of itself, and then
// does what `dropped` does.
void MakeDraggablePicture(TSkinPicture* picture, std::function<void(QWidget* source)> dropped = {})
{
    picture->OnMouseDown = [picture](QMouseEvent* press) { ui::BeginDrag(picture, *press, kPictureDragThreshold); };
    ui::SetDropTarget(picture, {[picture](QWidget* source, QPoint, ui::DragState, bool& accept) { accept = source == picture; },
                                [dropped](QWidget* source, QPoint) {
                                    if (dropped)
                                        dropped(source);
                                }});
}

// Ends a drag of the picture (one not yet started included) and lets its events pass.
void EndPictureDrag(QWidget* picture, bool drop)
{
    if (ui::Dragging() && ui::DragSource() == picture)
        ui::EndDrag(drop);
    QCoreApplication::processEvents();
}

} // namespace

void PlaceEditorForm(QWidget* form, const QWidget& mainWindow)
{
    // A main window near the top of the screen would push the editor's title strip, and with it
    // its Close button, off the screen.
    int top = mainWindow.y() - 40;
    if (const QScreen* screen = mainWindow.screen() ? mainWindow.screen() : QGuiApplication::primaryScreen())
        top = std::max(top, screen->availableGeometry().top());
    form->move(mainWindow.x(), top);
}

TPagePlaylist::TPagePlaylist(QWidget* parent, cSonorelApp& app) : QWidget(parent), app(app)
{
    BuildControls();
    BuildStrips();
    BuildPlaylistFrame();
    BuildEditorLinks();
}

void TPagePlaylist::BuildControls()
{
    PlacePictures(this, {
                            {&PlaylistBack, "main_playlist", 0, 0, 16},
                            {&Play, "play", 560, 124, 18},
                            {&Stop, "stop", 656, 124, 17},
                            {&Image12, "time_display", 752, 124},
                            {&MouseWait, "mouse_trigger", 560, 206, 19},
                            {&KeyboardWait, "key_trigger", 756, 206, 20},
                            {&Transformation, "transformation", 560, 262, 25},
                            {&Transition, "transition", 756, 262, 26},
                            {&ToWav, "out_wav", 560, 344, 23},
                            {&Image30, "out_mp3", 756, 344, 22},
                            {&loadrepos, "import_bins", 492, 407, 13},
                            {&Image22, "playlist_add_bin", 492, 463},
                            {&Image18, "playlist_zone_editor", 560, 500},
                            {&Image11, "playlist_start_page", 756, 500},
                        });
    lbPosition = NewTimeLabel(this, 760, 144, 86, Qt::AlignLeft);
    lbTotalLength = NewTimeLabel(this, 852, 144, 84, Qt::AlignRight);
    Play->OnClick = [this] { PlayClick(); };
    Stop->OnClick = [this] { StopClick(); };
    Image12->OnClick = [this] { Image12Click(); };
    MouseWait->OnDblClick = [this] { MouseWaitDblClick(); };
    KeyboardWait->OnDblClick = [this] { KeyboardWaitDblClick(); };
    MakeDraggablePicture(MouseWait);
    MakeDraggablePicture(KeyboardWait);
    // The page background takes every drop: a row's icon dropped there resets its parameter.
    ui::SetDropTarget(PlaylistBack, {[](QWidget*, QPoint, ui::DragState, bool& accept) { accept = true; },
                                     [this](QWidget* source, QPoint) { PlaylistBackDragDrop(source); }});
}

void TPagePlaylist::BuildStrips()
{
    const int stripLeft[3] = {171, 278, 379};
    const int stripWidth[3] = {105, 99, 99};
    BinPopup = new QMenu(this);
    BinPopup->addAction("Edit", this, &TPagePlaylist::ZoneEditorWanted);
    for (int k = 0; k < 3; ++k) {
        ReposTitles[k] = new QLabel(this);
        ReposTitles[k]->setGeometry(stripLeft[k] + 1, 391, 95, 13);
        ReposTitles[k]->setStyleSheet("color: white; font-weight: bold; font-size: 10px; background: transparent;");
        TFrameReposEdit* strip = ReposEdits[k] = new TFrameReposEdit(this);
        strip->setGeometry(stripLeft[k], 407, stripWidth[k], 104);
        strip->StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        SetHelpContext(strip->StringGrid1, 24);
        strip->StringGrid1->PopupMenu = BinPopup;
        strip->DoubleClick.OnClick = [this](QObject*) { emit ZoneEditorWanted(); };
        strip->DeleteItem->setVisible(false);
        strip->OnDeleteItemClick = nullptr;
        strip->AllowReorder = false;
    }
    BinsScroll = new QScrollBar(Qt::Horizontal, this);
    BinsScroll->setGeometry(171, 513, 307, 16);
    BinsScroll->hide();
    connect(BinsScroll, &QScrollBar::valueChanged, this, [this] { BinsScrollChange(); });
}

void TPagePlaylist::BuildPlaylistFrame()
{
    PlaylistEdit = new TFramePlaylist(this);
    PlaylistEdit->setGeometry(171, 124, 372, 236);
    PlaylistEdit->data = &app.mixdata;
    PlaylistEdit->Grid->setColumnWidth(0, 110);
    // Wide enough for "0m 16s" in the fallback font (DejaVu is wider than the designed one).
    PlaylistEdit->Grid->setColumnWidth(1, 46);
    PlaylistEdit->Grid->OnClick = [this] { PlaylistStringGridClick(); };
    PlaylistEdit->DragDrop.OnClick = [this](QObject* sender) { mixedit1DragDropClick(sender); };
    SetHelpContext(PlaylistEdit->Grid, 15);

    PlaylistPopup = new QMenu(this);
    Playfromthisposition1 = PlaylistPopup->addAction("Play from Here", this, &TPagePlaylist::Playfromthisposition1Click);
    PlaylistPopup->addSeparator();
    auto* triggers = new QActionGroup(PlaylistPopup);
    auto addTrigger = [&](const char* caption, void (TPagePlaylist::*handler)()) {
        QAction* item = PlaylistPopup->addAction(caption, this, handler);
        item->setCheckable(true);
        triggers->addAction(item);
        return item;
    };
    TriggerNone = addTrigger("No Trigger", &TPagePlaylist::TriggerNoneClick);
    TriggerMouse = addTrigger("Trigger by Mouse", &TPagePlaylist::TriggerMouseClick);
    TriggerKeyboard = addTrigger("Trigger by Keyboard", &TPagePlaylist::TriggerKeyboardClick);
    connect(PlaylistPopup, &QMenu::aboutToShow, this, &TPagePlaylist::PlaylistPopupPopup);
    PlaylistEdit->Grid->PopupMenu = PlaylistPopup;
}

void TPagePlaylist::BuildEditorLinks()
{
    auto item = [this](const char* caption, const QKeySequence& key, void (TPagePlaylist::*handler)()) {
        auto* action = new QAction(caption, PlaylistPopup);
        action->setShortcut(key);
        // The grid owns the pop-up: its keys act while the grid has the focus.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, handler);
        PlaylistEdit->Grid->addAction(action);
        return action;
    };
    EditZone = item("Edit Zone", {}, &TPagePlaylist::EditZoneWanted);
    EditTransformation2 = item("Edit Transformation", Qt::Key_F4, &TPagePlaylist::TransformationDblClick);
    EditTransformation1 = item("Edit Transition", Qt::Key_F5, &TPagePlaylist::TransitionDblClick);
    Delete1 = item("Remove", Qt::Key_Delete, &TPagePlaylist::Delete1Click);
    ClearPlaylist1 = item("Clear Playlist", {}, &TPagePlaylist::ClearPlaylist1Click);
    PlaylistPopup->insertActions(TriggerNone, {EditZone, EditTransformation2, EditTransformation1});
    PlaylistPopup->insertSeparator(TriggerNone);
    PlaylistPopup->addSeparator();
    PlaylistPopup->addAction(Delete1);
    PlaylistPopup->addAction(ClearPlaylist1);

    PlaylistEdit->DoubleClick.OnClick = [this](QObject*) { PlaylistEditDoubleClickClick(); };
    Transition->OnDblClick = [this] { TransitionDblClick(); };
    Transformation->OnDblClick = [this] { TransformationDblClick(); };
    for (TSkinPicture* picture : {Transition, Transformation})
        MakeDraggablePicture(picture, [this, picture](QWidget* source) { EditorPictureDragDrop(picture, source); });
}

void TPagePlaylist::ShowTimes()
{
    if (app.WavProducer.Stopped != 0) {
        if (!lbPosition->text().isEmpty())
            lbPosition->clear();
    } else {
        const float time = app.WavProducer.MainTime;
        lbPosition->setText(app.TimeDisplayMode ? QString::fromStdString(FormatMinutesSeconds(time - 0.08f))
                                                : SecondsText(time));
    }
    const float total = app.mixdata.TotalLength();
    lbTotalLength->setText(app.TimeDisplayMode ? QString::fromStdString(FormatMinutesSeconds(total)) : SecondsText(total));
}

void TPagePlaylist::ShowBins()
{
    const int bins = app.Bins.Count();
    {
        const QSignalBlocker quiet(BinsScroll);
        // The bar's maximum is its highest position: the last three bins fill the strips there.
        BinsScroll->setMaximum(bins > 3 ? bins - 3 : 0);
        BinsScroll->setPageStep(3);
        if (bins <= 3)
            BinsScroll->setValue(0);
    }
    BinsScroll->setVisible(bins > 3);
    BinsScrollChange();
}

void TPagePlaylist::DetachStrips()
{
    for (TFrameReposEdit* strip : ReposEdits)
        strip->AssignBin(nullptr);
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

std::string FormatMinutesSeconds(float seconds)
{
    const int minutes = static_cast<int>(seconds / 60);
    return QString::asprintf("%dm %.1fs", minutes, seconds - 60.0f * minutes).toStdString();
}

void TPagePlaylist::PlayClick()
{
    LogToFile("Playlist Play", true, true);
    Playfromthisposition1Click();
}

void TPagePlaylist::Playfromthisposition1Click()
{
    const float pos = app.mixdata.RowStart(PlaylistCurrentRow());
    trace("snl.play(pos)");
    app.WavProducer.SetNeedlePos(app.mixdata, pos, true, -1);
    app.Playing = 1;
    FocusPlaylist();
}

void TPagePlaylist::StopClick()
{
    LogToFile("Playlist Stop", true, true);
    StopPreview();
}

void TPagePlaylist::UpdateSoundingRow()
{
    const int playing = app.WavProducer.PlayingRowIndex;
    const int highlighted = PlaylistHighlightRow();
    if (!app.WavProducer.Stopped && playing != -1) {
        if (playing == highlighted)
            return;
        if (highlighted != -1)
            RefreshPlaylistRow(highlighted);
        SetPlaylistHighlightRow(playing);
        RefreshPlaylistRow(playing);
    } else if (highlighted != -1) {
        RefreshPlaylistRow(highlighted);
        SetPlaylistHighlightRow(-1);
    }
}

void TPagePlaylist::Image12Click()
{
    app.TimeDisplayMode = !app.TimeDisplayMode;
}

void TPagePlaylist::SetSelectedRowTrigger(int trigger)
{
    cMixRow* row = app.mixdata.Get(app.SelectedRow);
    if (!row)
        return;
    row->trigger = trigger;
    RefreshPlaylistRow(app.SelectedRow);
    RefreshPlaylistRow(app.SelectedRow - 1);
}

void TPagePlaylist::TriggerNoneClick()
{
    SetSelectedRowTrigger(::TriggerNone);
}

void TPagePlaylist::TriggerMouseClick()
{
    SetSelectedRowTrigger(::TriggerMouse);
}

void TPagePlaylist::TriggerKeyboardClick()
{
    SetSelectedRowTrigger(TriggerKey);
}

void TPagePlaylist::ToggleSelectedRowTrigger(int trigger)
{
    cMixRow* row = app.mixdata.Get(app.SelectedRow);
    if (!row)
        return;
    row->trigger = row->trigger == trigger ? ::TriggerNone : trigger;
    RefreshPlaylistRow(PlaylistCurrentRow());
}

void TPagePlaylist::MouseWaitDblClick()
{
    ToggleSelectedRowTrigger(::TriggerMouse);
}

void TPagePlaylist::KeyboardWaitDblClick()
{
    ToggleSelectedRowTrigger(TriggerKey);
}

void TPagePlaylist::PlaylistEditDoubleClickClick()
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
        emit EditZoneWanted();
    }
}

void TPagePlaylist::EditorPictureDragDrop(TSkinPicture* picture, QWidget* source)
{
    if (!app.WavProducer.Stopped) {
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

void TPagePlaylist::TransitionDblClick()
{
    if (app.SelectedRow >= app.mixdata.Count() || app.SelectedRow < 0)
        return;
    EndPictureDrag(Transition, false);
    if (app.SelectedRow < app.mixdata.Count() - 1) {
        LogToFile("Transition editor", true, true);
        PlaceEditorForm(FormTransition, *window());
        FormTransition->Prepare();
        FormTransition->exec();
    }
    EndPictureDrag(Transition, false);
    AfterTransitionEdited();
}

void TPagePlaylist::AfterTransitionEdited()
{
    // A row that the one before overlaps starts inside it: it can't wait for a trigger.
    const cMixRow* row = app.mixdata.Get(app.SelectedRow);
    if (cMixRow* next = app.mixdata.Get(app.SelectedRow + 1); row && next && row->overlap) {
        next->trigger = ::TriggerNone;
        RefreshPlaylistRow(app.SelectedRow + 1);
    }
}

void TPagePlaylist::TransformationDblClick()
{
    if (app.SelectedRow >= app.mixdata.Count() || app.SelectedRow < 0)
        return;
    EndPictureDrag(Transformation, true);
    LogToFile("Transformation editor", true, true);
    PlaceEditorForm(FormTransformation, *window());
    FormTransformation->Prepare();
    FormTransformation->exec();
    EndPictureDrag(Transformation, true);
}

void TPagePlaylist::Delete1Click()
{
    if (app.SelectedRow >= app.mixdata.Count() || app.SelectedRow < 0)
        return;
    if (app.Playing) {
        ui::ShowMessage("Can't delete while playing.");
        return;
    }
    const int index = PlaylistCurrentRow();
    if (index >= 0 && index < app.mixdata.Count())
        app.mixdata.Delete(index);
    if (PlaylistEdit->Grid->rowCount() > 1)
        PlaylistEdit->Grid->setRowCount(PlaylistEdit->Grid->rowCount() - 1);
    PlaylistEdit->Grid->viewport()->update();
}

void TPagePlaylist::ClearPlaylist1Click()
{
    if (!app.WavProducer.Stopped) {
        ui::ShowMessage("Can't do it while playing.");
        return;
    }
    app.mixdata.Clear();
    PlaylistEdit->Grid->setRowCount(1);
    PlaylistEdit->Grid->viewport()->update();
}

void TPagePlaylist::PlaylistPopupPopup()
{
    const cMixRow* row = app.mixdata.Get(app.SelectedRow);
    const int trigger = row ? row->trigger : ::TriggerNone;
    TriggerNone->setChecked(trigger != ::TriggerMouse && trigger != TriggerKey);
    TriggerMouse->setChecked(trigger == ::TriggerMouse);
    TriggerKeyboard->setChecked(trigger == TriggerKey);
}

// A zone dropped on the playlist becomes a row there; a trigger picture dropped on a row gives
// that row the trigger (a row that waits for a trigger never overlaps the row before it); an
// editor picture opens its editor for the row.
void TPagePlaylist::mixedit1DragDropClick(QObject* sender)
{
    // The sound thread reads the rows while the mix plays: no drop may change them then.
    if (!app.WavProducer.Stopped) {
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
    if (app.mixdata.Count() == 0)
        return;
    if (sender == MouseWait || sender == KeyboardWait) {
        if (cMixRow* row = app.mixdata.Get(app.SelectedRow)) {
            row->trigger = sender == MouseWait ? ::TriggerMouse : TriggerKey;
            RefreshPlaylistRow(PlaylistCurrentRow());
            if (cMixRow* previous = app.mixdata.Get(app.SelectedRow - 1)) {
                previous->overlap = false;
                previous->overlaplen = 0;
                RefreshPlaylistRow(app.SelectedRow - 1);
            }
        }
    }
    if (sender == Transition)
        TransitionDblClick();
    if (sender == Transformation)
        TransformationDblClick();
}

void TPagePlaylist::PlaylistBackDragDrop(QWidget* source)
{
    if (!app.WavProducer.Stopped) {
        ui::ShowMessage("Can't modify playlist while playing.");
        return;
    }
    if (source != PlaylistEdit->Grid)
        return;
    cMixRow* row = app.mixdata.Get(app.SelectedRow);
    if (!row)
        return;
    ResetGrabbedParameter(*row, PlaylistEdit->DragPart);
    RefreshPlaylistRow(PlaylistCurrentRow());
}

int TPagePlaylist::PlaylistCurrentRow() const
{
    return PlaylistEdit->Grid->Row();
}

void TPagePlaylist::RefreshPlaylistRow(int row)
{
    PlaylistEdit->RefreshRow(row);
}

int TPagePlaylist::PlaylistHighlightRow() const
{
    return PlaylistEdit->HighlightRow;
}

void TPagePlaylist::SetPlaylistHighlightRow(int row)
{
    PlaylistEdit->HighlightRow = row;
}

void TPagePlaylist::SetPlaylistRows()
{
    PlaylistEdit->data = &app.mixdata;
    PlaylistEdit->Grid->setRowCount(std::max(app.mixdata.Count(), 1));
    PlaylistEdit->Grid->viewport()->update();
}

void TPagePlaylist::FocusPlaylist()
{
    PlaylistEdit->Grid->setFocus();
}

void TPagePlaylist::PlaylistStringGridClick()
{
    const int row = PlaylistCurrentRow();
    if (app.mixdata.Get(row))
        app.SelectedRow = row;
}

void TPagePlaylist::BinsScrollChange()
{
    const int first = BinsScroll->value();
    for (int k = 0; k < 3; ++k) {
        cBin* bin = app.Bins.Get(first + k);
        ReposTitles[k]->setVisible(bin != nullptr);
        ReposEdits[k]->setVisible(bin != nullptr);
        if (bin)
            ui::ShowFittedTitle(ReposTitles[k], QString::fromStdString(bin->title));
        // A hidden strip keeps no bin that may go meanwhile.
        ReposEdits[k]->AssignBin(bin);
    }
}

// Scrolls the strips as little as needed to show the current bin, and focuses its strip.
void TPagePlaylist::FocusStripOfCurrentBin()
{
    const int current = app.SelectedBin;
    if (!app.Bins.Get(current))
        return;
    const int position = BinsScroll->value();
    const int wanted = std::clamp(position, current - 2, current);
    if (wanted != position)
        BinsScroll->setValue(wanted); // refills the strips
    const int strip = current - BinsScroll->value();
    if (strip >= 0 && strip < 3 && !ReposEdits[strip]->isHidden())
        ReposEdits[strip]->StringGrid1->setFocus();
}

