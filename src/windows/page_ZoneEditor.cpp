#include "windows/page_ZoneEditor.h"

#include "AudioControls/class_AudioView.h"
#include "GraphControls/class_SkinPicture.h"
#include "model/class_FileLog.h"
#include "platform/trace/Trace.h"
#include "platform/ui/FittedText.h"
#include "platform/ui/MessageBox.h"
#include "windows/frame_reposedit.h"
#include "windows/page_Pictures.h"

#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>
#include <QAction>
#include <QScrollBar>

#include <cmath>
#include <stdexcept>

namespace {

constexpr TColor kCursorToZoneEndBack = 0xE9EC01;
constexpr TColor kSelectionBack = 0xFFFFFF;

bool NearlyEqual(float a, float b)
{
    return std::fabs(a - b) < 0.0001f;
}

bool InRange(float x, float a, float b)
{
    return (a <= x && x <= b) || (b <= x && x <= a);
}

void ShowZoneMarkers(cZone* zone, bool visible)
{
    zone->Start->Visible = visible;
    zone->End->Visible = visible;
}

} // namespace

TPageZoneEditor::TPageZoneEditor(QWidget* parent, cSonorelApp& app) : QWidget(parent), app(app)
{
    PlacePictures(this, {
                            {&Image8, "main_zone_editor", 0, 0, 38},
                            {&ZoomIn, "zone_zoom_in", 509, 268, 32},
                            {&ZoomOut, "zone_zoom_out", 573, 268, 33},
                            {&ZoneEditPlay, "zone_play", 509, 322, 35},
                            {&Image13, "zone_stop", 573, 322, 34},
                            {&Image38, "zone_save", 509, 366, 36},
                            {&Image24, "zone_rename", 509, 404, 37},
                            {&Image23, "zone_add_bin", 509, 442},
                            {&Image16, "zone_start_page", 509, 490},
                        });
    FilesList = new QListWidget(this);
    FilesList->setGeometry(509, 126, 124, 133);
    FilesList->setStyleSheet("QListWidget { font-family: Arial, 'DejaVu Sans'; font-weight: bold; }"
                             " QListWidget::item { height: 14px; }");
    ui::FitItemsToView(FilesList);
    SetHelpContext(FilesList, 30);
    bingrid = new TFrameReposEdit(this);
    bingrid->setGeometry(177, 318, 321, 204);
    SetHelpContext(bingrid->StringGrid1, 31);
    BuildView();
    ConnectView();
    ConnectSources();
    FilesList->setCurrentRow(0);
}

void TPageZoneEditor::BuildView()
{
    LoopView = new TAudioView(this);
    LoopView->setGeometry(177, 126, 321, 162);
    LoopView->DataStereo = true;
    LoopView->DataBytesPerSample = 2;
    LoopView->SetColorPCM(4775727);
    LoopView->SetColorPCMOrig(0x808080);
    LoopView->ColorSelectionBack = 0xFFFFFF;
    LoopView->ColorSelectionPCM = 3834646;
    LoopView->Scale = 1;
    LoopView->SetViewLen(1);
    LoopView->SetViewMargin(15);
    LoopView->RightButtonSelect = true;
    LoopView->TotalTime = -1;
    LoopView->FontColor = 0xFFFFFF;
    LoopView->SelectedZoneIndex = -1;
    LoopView->TimeLineShow = true;
    LoopView->TimeLineDist = 50;
    LoopView->CacheAudioImage = true;
    LoopView->OptionMarkerZoneSelect = false;
    ScrollBar1 = new QScrollBar(Qt::Horizontal, this);
    ScrollBar1->setGeometry(177, 290, 321, 14);
    LoopView->ConnectScrollbar(ScrollBar1);
}

void TPageZoneEditor::ConnectSources()
{
    FilesPopup = new QMenu(this);
    FilesPopup->addAction("Remove", this, &TPageZoneEditor::DeleteFile1Click);
    FilesPopup->addAction("Rename", this, &TPageZoneEditor::Rename2Click);
    FilesList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FilesList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { FilesPopup->exec(FilesList->viewport()->mapToGlobal(at)); });
    // The user's choice only: refills from code select without a click.
    connect(FilesList, &QListWidget::itemClicked, this, [this] { FilesListClick(); });

    bingridPopup = new QMenu(this);
    bingridPopup->addAction("Remove", this, &TPageZoneEditor::bingridDelete2Click);
    QAction* rename = bingridPopup->addAction("Rename", this, &TPageZoneEditor::Image24Click);
    rename->setShortcut(Qt::Key_F2);
    rename->setShortcutContext(Qt::WidgetShortcut);
    bingrid->StringGrid1->addAction(rename);
    bingrid->StringGrid1->PopupMenu = bingridPopup;
    bingrid->StringGrid1->OnClick = [this] { ReposEdit2StringGrid1Click(); };
    bingrid->StringGrid1->OnDblClick = [this] { bingridStringGrid1DblClick(); };
    bingrid->OnDoubleClickEventTimer = [this] { bingrid->DoubleClickEventTimer(); };
    bingrid->OnDeleteItemClick = [this] { bingridDelete2Click(); };
    bingrid->DoubleClick.OnClick = [this](QObject*) { bingridDoubleClickClick(); };
    bingrid->AssignData.OnClick = [this](QObject*) { bingridAssignDataClick(); };
    bingrid->SelectItem.OnClick = [this](QObject*) { bingridSelectItemClick(); };
}

void TPageZoneEditor::NotifyChange()
{
    if (app.OnChange)
        app.OnChange(nullptr);
}

void TPageZoneEditor::ShowSources()
{
    {
        const QSignalBlocker quiet(FilesList);
        const int remembered = FilesList->currentRow();
        FilesList->clear();
        for (const auto& bin : app.Bins)
            FilesList->addItem(QString::fromStdString(bin->title));
        FilesList->setCurrentRow(remembered < FilesList->count() ? remembered : -1);
        if (FilesList->currentRow() < 0 && app.Bins.Count() > 0)
            FilesList->setCurrentRow(0);
    }
    if (app.Bins.Count() == 0) {
        LoopView->SetFileName("");
        emit BinLeaving();
    }
    FilesListClick();
}

void TPageZoneEditor::DetachBin()
{
    bingrid->AssignBin(nullptr);
    LoopView->SelectedZoneIndex = -1;
}

std::string MakeUniqueZoneName(const cBin& bin)
{
    auto used = [&bin](const std::string& name) {
        for (const auto& item : bin.Items)
            if (item->title == name)
                return true;
        return false;
    };
    for (int n = bin.Items.Count() + 1;; ++n)
        if (const std::string name = bin.title + " #" + std::to_string(n); !used(name))
            return name;
}

void FixPlaylistAfterRename(cmixdata& mix, const cBinItem& oldItem, const cBinItem& newItem)
{
    for (int i = 0; i < mix.Count(); ++i) {
        cMixRow& row = *mix.At(i);
        if (row.name != oldItem.title || row.filename != oldItem.filename || row.start != oldItem.start ||
            row.length != oldItem.length)
            continue;
        row.name = newItem.title;
        row.start = newItem.start;
        row.length = newItem.length;
        trace("Fixing playlist " + std::to_string(i));
    }
}

void TPageZoneEditor::ConnectView()
{
    ZoneEditPlay->OnClick = [this] { ZoneEditPlayClick(); };
    Image13->OnClick = [this] { Image13Click(); };
    ZoomIn->OnClick = [this] { ZoomInClick(); };
    ZoomOut->OnClick = [this] { ZoomOutClick(); };
    Image38->OnClick = [this] { Button1Click(); };
    Image24->OnClick = [this] { Image24Click(); };
    LoopView->OnSelChange = [this](QObject*) { LoopViewSelChange(); };
    LoopView->OnSelEnd = [this](QObject*) { LoopViewSelEnd(); };
    LoopView->OnMarkerMoveStart = [this](QObject*, cMarker* marker) { LoopViewMarkerMoveStart(marker); };
    LoopView->OnMarkerMove = [this](QObject*, cMarker* marker) { LoopViewMarkerMove(marker); };
    LoopView->OnMarkerMoveEnd = [this](QObject*, cMarker* marker) { LoopViewMarkerMoveEnd(marker); };
}

cBinItem* TPageZoneEditor::CurrentZone() const
{
    return bingrid->data ? bingrid->data->Items.Get(bingrid->StringGrid1->Row()) : nullptr;
}

float TPageZoneEditor::ZonePos(float seconds) const
{
    const float length = LoopView->LenSec();
    return length > 0 ? seconds / length : 0.0f;
}

// A zone of length 0 plays nothing: the player would read a length of 0 as "to the end".
void TPageZoneEditor::PlayZoneRange(float start, float length)
{
    if (length > 0)
        LoopView->Player().Play(start, length, true, false);
    else
        LoopView->Stop();
}

void TPageZoneEditor::ZoneEditPlayClick()
{
    LogToFile("Zone Play", true, true);
    const float selStart = LoopView->GetSelStart();
    const float selLen = LoopView->GetSelLen();
    const cBinItem* zone = CurrentZone();
    if (selLen != 0) {
        LoopView->LoopSelection(true);
        PlayMode = 1;
        if (zone && NearlyEqual(ZonePos(zone->start), selStart) && NearlyEqual(ZonePos(zone->length), selLen))
            PlayMode = 2;
    } else if (!zone) {
        LoopView->Play(0.0f);
        LoopView->Player().SetPlayPosition(selStart);
        PlayMode = 4;
    } else {
        const float zs = ZonePos(zone->start);
        const float zl = ZonePos(zone->length);
        float start = zs;
        float length = zl;
        PlayMode = 2;
        if (LoopView->RightButtonSelection && InRange(selStart, zs, zs + zl)) {
            start = selStart;
            length = zs + zl - selStart;
            PlayMode = 3;
        }
        PlayZoneRange(start, length);
        // A cursor outside the looped range would send the player past the range's end.
        if (length > 0 && InRange(selStart, start, start + length))
            LoopView->Player().SetPlayPosition(selStart);
    }
    trace("PlayMode " + std::to_string(PlayMode));
    UpdateSelectionColour();
}

void TPageZoneEditor::Image13Click()
{
    LogToFile("Zone Stop", true, true);
    PlayMode = 0;
    LoopView->Stop();
}

void TPageZoneEditor::ZoomInClick()
{
    LogToFile("Zone Zoom In", true, true);
    LoopView->ZoomIn();
}

void TPageZoneEditor::ZoomOutClick()
{
    LogToFile("Zone Zoom Out", true, true);
    LoopView->ZoomOut();
}

// Space on the zone editor page.
void TPageZoneEditor::ToggleZonePlay()
{
    if (LoopView->Player().IsPlaying())
        LoopView->Stop();
    else
        ZoneEditPlayClick();
}

void TPageZoneEditor::UpdateSelectionColour()
{
    LoopView->ColorSelectionBack = PlayMode == 3 && LoopView->GetSelLen() == 0 ? kCursorToZoneEndBack : kSelectionBack;
    LoopView->Redraw();
}

void TPageZoneEditor::LoopToZoneEndClick()
{
    const cBinItem* zone = CurrentZone();
    if (!zone)
        return;
    const float cursor = LoopView->GetSelStart();
    const float length = ZonePos(zone->start) + ZonePos(zone->length) - cursor;
    if (length <= 0)
        return; // the cursor stands at or after the zone's end
    LoopView->Player().Play(cursor, length, true, false);
    TPlayStream& player = LoopView->Player();
    if (!(player.IsPlaying() && InRange(player.GetPos(), cursor, cursor + length)))
        player.SetPlayPosition(cursor);
}

void TPageZoneEditor::Button1Click()
{
    LogToFile("Save Zone", true, true);
    LoopView->Stop();
    cBin* bin = bingrid->data;
    if (!bin)
        return;
    const std::optional<std::string> name = ui::InputBox("Save Zone", "Zone Name", MakeUniqueZoneName(*bin));
    if (!name)
        return;
    cZone* zone = LoopView->AddZone("", -1.0f, -1.0f);
    cBinItem* item = bin->Items.Add();
    item->title = *name;
    item->filename = LoopView->FileName();
    item->start = LoopView->PosToSec(LoopView->GetSelStart());
    item->length = LoopView->PosToSec(LoopView->GetSelLen());
    trace("New zone length " + std::to_string(item->length));
    zone->Link = item;
    NotifyChange();
    bingrid->StringGrid1->SetRow(bingrid->StringGrid1->rowCount() - 1);
}

void TPageZoneEditor::Image24Click()
{
    LogToFile("Rename Zone", true, true);
    const cBin* bin = app.Bins.Get(app.SelectedBin);
    cBinItem* item = bin ? bin->Items.Get(app.SelectedZone) : nullptr;
    if (!item)
        return;
    const cBinItem oldItem = *item;
    const std::optional<std::string> name = ui::InputBox("Zone Name", "New Zone Name", item->title);
    if (!name)
        return;
    item->title = *name;
    bingrid->AssignBin(bingrid->data);
    bingrid->StringGrid1->viewport()->update();
    FixPlaylistAfterRename(app.mixdata, oldItem, *item);
}

void TPageZoneEditor::LoopViewSelChange()
{
    UpdateSelectionColour();
}

void TPageZoneEditor::LoopViewSelEnd()
{
    cZone* selection = LoopView->Zones.At(0);
    selection->Start->Pos = LoopView->SelStart();
    selection->End->Pos = LoopView->SelStart() + LoopView->SelLen();
    if (LoopView->Player().IsPlaying())
        ZoneEditPlayClick();
    ShowZoneMarkers(selection, LoopView->SelLen() != 0);
    LoopView->Redraw();
}

void TPageZoneEditor::LoopViewMarkerMoveStart(cMarker* marker)
{
    const int k = marker->ZoneIndex;
    if (k < 1)
        return;
    ShowZoneMarkers(LoopView->Zones.At(0), false);
    const cBin* bin = app.Bins.Get(app.SelectedBin);
    if (const cBinItem* item = bin ? bin->Items.Get(k - 1) : nullptr)
        ZoneBeforeMove = *item;
}

void TPageZoneEditor::LoopViewMarkerMove(cMarker* marker)
{
    const int k = marker->ZoneIndex;
    LoopView->OptionMarkerZoneSelect = k == 0;
    if (k >= 1) {
        const cZone* zone = LoopView->Zones.At(k);
        auto* item = static_cast<cBinItem*>(zone->Link);
        const int i = bingrid->data ? bingrid->data->Items.IndexOf(item) : -1;
        if (i == -1)
            throw std::logic_error("Assertion failed: i!=-1, file page_ZoneEditor.cpp");
        if (bingrid->StringGrid1->Row() != i)
            bingrid->StringGrid1->SetRow(i);
        const float t = marker->Pos * LoopView->LenSec();
        if (marker == zone->Start) {
            item->length -= t - item->start;
            item->start = t;
            LoopView->SetSelStart(marker->Pos);
            LoopView->SetSelLen(0);
            PlayMode = 2;
        } else {
            LoopView->SetSelLen(0);
            item->length = t - item->start;
        }
    }
    UpdateSelectionColour();
}

void TPageZoneEditor::LoopViewMarkerMoveEnd(cMarker* marker)
{
    const int k = marker->ZoneIndex;
    if (k == -1)
        return;
    const cBin* bin = app.Bins.Get(app.SelectedBin);
    if (k >= 1 && bin && bin->Items.Get(app.SelectedZone))
        if (const cBinItem* item = bin->Items.Get(k - 1))
            FixPlaylistAfterRename(app.mixdata, ZoneBeforeMove, *item);
    const cZone* zone = LoopView->Zones.At(k);
    TPlayStream& player = LoopView->Player();
    if (player.IsPlaying() && PlayMode >= 1 && PlayMode <= 3) {
        LoopView->ColorSelectionBack = kSelectionBack;
        const float selStart = LoopView->GetSelStart();
        float start = 0;
        float length = 0;
        if (k == 0) {
            if (LoopView->GetSelLen() != 0) {
                start = selStart;
                length = LoopView->GetSelLen();
            }
        } else if (const cBinItem* current = CurrentZone()) {
            const float zs = ZonePos(current->start);
            const float zl = ZonePos(current->length);
            start = zs;
            length = zl;
            PlayMode = 2;
            if (selStart != zs && InRange(selStart, zs, zs + zl)) {
                start = selStart;
                length = zs + zl - selStart;
                PlayMode = 3;
            }
        }
        if (length > 0) {
            player.Play(start, length, true, false);
            const bool endMarker = marker == zone->End;
            if (!endMarker || !InRange(player.GetPos(), start, start + length))
                player.SetPlayPosition(start);
        }
    }
    UpdateSelectionColour();
}

void TPageZoneEditor::bingridAssignDataClick()
{
    while (LoopView->Markers.Count() > 1)
        LoopView->Markers.Delete(LoopView->Markers.Count() - 1);
    LoopView->Zones.Clear();
    ShowZoneMarkers(LoopView->AddZone("", -1.0f, -1.0f, false), false);
    // A bin whose source is missing has no time line to place its zones on.
    if (const cBin* bin = LoopView->FileName().empty() ? nullptr : bingrid->data) {
        for (int i = 0; i < bin->Items.Count(); ++i) {
            cBinItem* item = bin->Items.At(i);
            const float start = ZonePos(item->start);
            LoopView->AddZone(std::to_string(i + 1), start, ZonePos(item->length), false)->Link = item;
        }
    }
    if (LoopView->SelectedZoneIndex >= LoopView->Zones.Count())
        LoopView->SelectedZoneIndex = -1;
    LoopView->Redraw();
}

// Selects the zone of the zone grid's current row in the view.
void TPageZoneEditor::ReposEdit2StringGrid1Click()
{
    app.SelectedZone = bingrid->StringGrid1->Row();
    bingrid->StringGrid1Click();
    const cBinItem* zone = CurrentZone();
    if (!zone)
        return;
    LoadBinFile(*bingrid->data, zone->filename);
    trace("Zone " + std::to_string(app.SelectedZone) + " change selection");
    LoopView->SetSelStart(ZonePos(zone->start));
    LoopView->SetSelLen(ZonePos(zone->length));
    LoopView->SelectedZoneIndex = app.SelectedZone + 1;
    UpdateSelectionColour();
    if (cZone* selection = LoopView->Zones.Get(0))
        ShowZoneMarkers(selection, false);
}

void TPageZoneEditor::FilesListClick()
{
    const int index = FilesList->currentRow();
    cBin* bin = app.Bins.Get(index);
    if (!bin)
        return;
    std::string loadFailure;
    try {
        app.SelectedBin = index;
        try {
            LoadBinFile(*bin, bin->filename);
        } catch (const std::exception& error) {
            // A source that went since the load is named once; its zones stay in reach.
            loadFailure = error.what();
            bin->SourceMissing = true;
        }
        LoopView->SetViewStart(0);
        LoopView->SetViewLen(1);
        bingrid->AssignBin(bin);
        if (bin->Items.Count() == 0) {
            LoopView->SetSelStart(0);
            LoopView->SetSelLen(0);
        } else {
            ReposEdit2StringGrid1Click();
        }
    } catch (const std::exception& error) {
        ui::ShowMessage(error.what());
    }
    if (!loadFailure.empty())
        ui::ShowMessage(loadFailure); // over the bin as it now shows
}

// A source found missing was named in a message once, when the project loaded or when its bin
// was selected since; from then on the view alone names it, in place of the waveform.
void TPageZoneEditor::LoadBinFile(const cBin& bin, const std::string& path)
{
    try {
        LoopView->SetFileName(path);
    } catch (const std::exception&) {
        if (!bin.SourceMissing)
            throw;
    }
}

void TPageZoneEditor::Rename2Click()
{
    cBin* bin = app.Bins.Get(FilesList->currentRow());
    if (!bin)
        return;
    const std::optional<std::string> name = ui::InputBox("Rename", "New Name", bin->title);
    if (!name)
        return;
    bin->title = *name;
    NotifyChange();
}

void TPageZoneEditor::DeleteFile1Click()
{
    const int index = FilesList->currentRow();
    if (app.Bins.Get(index)) {
        emit BinLeaving(); // no frame or zone may keep the bin that goes
        app.Bins.Delete(index);
    }
    NotifyChange();
}

void TPageZoneEditor::bingridStringGrid1DblClick()
{
    bingrid->StringGrid1DblClick();
    ZoneEditPlayClick();
}

void TPageZoneEditor::bingridDoubleClickClick()
{
    if (const cBinItem* zone = CurrentZone())
        LoadBinFile(*bingrid->data, zone->filename);
}

void TPageZoneEditor::bingridSelectItemClick()
{
    if (const cBinItem* zone = CurrentZone())
        LoadBinFile(*bingrid->data, zone->filename);
}

void TPageZoneEditor::bingridDelete2Click()
{
    bingrid->DeleteItemClick();
    LoopView->SetSelLen(0);
    ReposEdit2StringGrid1Click();
}
