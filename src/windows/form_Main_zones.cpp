// The zone editor page: the waveform view of the current bin's file, playing its selection and
// zones, saving and renaming zones, and dragging zone bounds (rows made from a zone follow it).
#include "windows/form_Main.h"

#include "AudioControls/class_AudioView.h"
#include "GraphControls/class_SkinPicture.h"
#include "model/class_FileLog.h"
#include "platform/trace/Trace.h"
#include "platform/ui/MessageBox.h"
#include "windows/frame_reposedit.h"

#include <QListWidget>
#include <QScrollBar>
#include <QStackedWidget>

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

void TFormMain::ConnectZoneEditor()
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

cBinItem* TFormMain::CurrentZone() const
{
    return bingrid->data ? bingrid->data->Items.Get(bingrid->StringGrid1->Row()) : nullptr;
}

float TFormMain::ZonePos(float seconds) const
{
    const float length = LoopView->LenSec();
    return length > 0 ? seconds / length : 0.0f;
}

// A zone of length 0 plays nothing: the player would read a length of 0 as "to the end".
void TFormMain::PlayZoneRange(float start, float length)
{
    if (length > 0)
        LoopView->Player().Play(start, length, true, false);
    else
        LoopView->Stop();
}

void TFormMain::ZoneEditPlayClick()
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

void TFormMain::Image13Click()
{
    LogToFile("Zone Stop", true, true);
    PlayMode = 0;
    LoopView->Stop();
}

void TFormMain::ZoomInClick()
{
    LogToFile("Zone Zoom In", true, true);
    LoopView->ZoomIn();
}

void TFormMain::ZoomOutClick()
{
    LogToFile("Zone Zoom Out", true, true);
    LoopView->ZoomOut();
}

void TFormMain::ZoomIn1Click()
{
    if (Pages->currentIndex() == PageBinEditIndex)
        ZoomInClick();
}

void TFormMain::ZoomOut1Click()
{
    if (Pages->currentIndex() == PageBinEditIndex)
        ZoomOutClick();
}

// Space on the zone editor page.
void TFormMain::ToggleZonePlay()
{
    if (LoopView->Player().IsPlaying())
        LoopView->Stop();
    else
        ZoneEditPlayClick();
}

void TFormMain::UpdateSelectionColour()
{
    LoopView->ColorSelectionBack = PlayMode == 3 && LoopView->GetSelLen() == 0 ? kCursorToZoneEndBack : kSelectionBack;
    LoopView->Redraw();
}

void TFormMain::LoopToZoneEndClick()
{
    // Elsewhere it would start a preview in a hidden view that nothing there stops.
    if (Pages->currentIndex() != PageBinEditIndex)
        return;
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

void TFormMain::Button1Click()
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
    if (snl.OnChange)
        snl.OnChange(nullptr);
    bingrid->StringGrid1->SetRow(bingrid->StringGrid1->rowCount() - 1);
}

void TFormMain::Image24Click()
{
    LogToFile("Rename Zone", true, true);
    const cBin* bin = snl.Bins.Get(snl.SelectedBin);
    cBinItem* item = bin ? bin->Items.Get(snl.SelectedZone) : nullptr;
    if (!item)
        return;
    const cBinItem oldItem = *item;
    const std::optional<std::string> name = ui::InputBox("Zone Name", "New Zone Name", item->title);
    if (!name)
        return;
    item->title = *name;
    bingrid->AssignBin(bingrid->data);
    bingrid->StringGrid1->viewport()->update();
    FixPlaylistAfterRename(snl.mixdata, oldItem, *item);
}

void TFormMain::LoopViewSelChange()
{
    UpdateSelectionColour();
}

void TFormMain::LoopViewSelEnd()
{
    cZone* selection = LoopView->Zones.At(0);
    selection->Start->Pos = LoopView->SelStart();
    selection->End->Pos = LoopView->SelStart() + LoopView->SelLen();
    if (LoopView->Player().IsPlaying())
        ZoneEditPlayClick();
    ShowZoneMarkers(selection, LoopView->SelLen() != 0);
    LoopView->Redraw();
}

void TFormMain::LoopViewMarkerMoveStart(cMarker* marker)
{
    const int k = marker->ZoneIndex;
    if (k < 1)
        return;
    ShowZoneMarkers(LoopView->Zones.At(0), false);
    const cBin* bin = snl.Bins.Get(snl.SelectedBin);
    if (const cBinItem* item = bin ? bin->Items.Get(k - 1) : nullptr)
        ZoneBeforeMove = *item;
}

void TFormMain::LoopViewMarkerMove(cMarker* marker)
{
    const int k = marker->ZoneIndex;
    LoopView->OptionMarkerZoneSelect = k == 0;
    if (k >= 1) {
        const cZone* zone = LoopView->Zones.At(k);
        auto* item = static_cast<cBinItem*>(zone->Link);
        const int i = bingrid->data ? bingrid->data->Items.IndexOf(item) : -1;
        if (i == -1)
            throw std::logic_error("Assertion failed: i!=-1, file form_Main_zones.cpp");
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

void TFormMain::LoopViewMarkerMoveEnd(cMarker* marker)
{
    const int k = marker->ZoneIndex;
    if (k == -1)
        return;
    const cBin* bin = snl.Bins.Get(snl.SelectedBin);
    if (k >= 1 && bin && bin->Items.Get(snl.SelectedZone))
        if (const cBinItem* item = bin->Items.Get(k - 1))
            FixPlaylistAfterRename(snl.mixdata, ZoneBeforeMove, *item);
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

void TFormMain::bingridAssignDataClick()
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
void TFormMain::ReposEdit2StringGrid1Click()
{
    snl.SelectedZone = bingrid->StringGrid1->Row();
    bingrid->StringGrid1Click();
    const cBinItem* zone = CurrentZone();
    if (!zone)
        return;
    LoadBinFile(*bingrid->data, zone->filename);
    trace("Zone " + std::to_string(snl.SelectedZone) + " change selection");
    LoopView->SetSelStart(ZonePos(zone->start));
    LoopView->SetSelLen(ZonePos(zone->length));
    LoopView->SelectedZoneIndex = snl.SelectedZone + 1;
    UpdateSelectionColour();
    if (cZone* selection = LoopView->Zones.Get(0))
        ShowZoneMarkers(selection, false);
}

void TFormMain::LoopEditorClick()
{
    LogToFile("Zone Editor", true, true);
    if (!HasSourceFiles())
        return;
    if (Pages->currentIndex() == PagePlaylistIndex) {
        for (int k = 0; k < 3; ++k) {
            if (!ReposEdits[k]->StringGrid1->hasFocus())
                continue;
            FilesList->setCurrentRow(BinsScroll->value() + k);
            FilesListClick();
        }
    }
    ShowPage(PageBinEditIndex);
    ReposEdit2StringGrid1Click();
}
