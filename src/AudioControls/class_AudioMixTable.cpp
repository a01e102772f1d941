#include "AudioControls/class_AudioMixTable.h"

#include "AudioControls/class_AudioView.h"

#include <cassert>
#include <memory>

TAudioMixTable::TAudioMixTable(QWidget* parent) : TStreamMixTable(parent) {}

TAudioMixTable::~TAudioMixTable()
{
    views.clear();
}

void TAudioMixTable::AddAudioStream(const std::string& file, float zoneStart, float zoneLen, double start,
                                    double len, int channel, const std::string& caption)
{
    // Owned here until its stream exists: a file that cannot be opened leaves nothing behind.
    auto view = std::make_unique<TAudioView>(this);
    view->hide();
    view->Tag = AudioViewCount();
    view->SetColorBack(0x888888);
    view->SetColorPCM(0xFFFFFF);
    view->Locked = true;
    view->CacheAudioImage = true;
    view->DisplayFileZone(file, zoneStart, zoneLen);
    if (!caption.empty()) {
        cMarker* marker = view->Markers.Add();
        marker->Caption = caption;
        marker->CaptionFitted = true; // a stream partly out of view still shows its title's beginning
        marker->Pos = view->LenSec() > 0.0f ? zoneStart / view->LenSec() : 0.0f;
    }
    StreamAdd(start, len, channel);
    cMixTableStream* stream = Stream(StreamCount() - 1);
    assert(stream->Panel && "mixstream->Panel");
    TAudioView* added = view.release();
    views.push_back(added);
    added->setParent(stream->Panel);
    FitPanelChildren(StreamCount() - 1);
    added->show();
    added->OnMouseClick = [this](QObject* sender) { AudioViewClick(sender); };
}

void TAudioMixTable::UpdateAudioStream(int index, const std::string& file, float zoneStart, float zoneLen,
                                       double start, double len, int channel)
{
    if (TAudioView* view = GetAudioView(index))
        view->DisplayFileZone(file, zoneStart, zoneLen);
    StreamUpdate(index, start, len, channel);
}

void TAudioMixTable::Rebuild()
{
    TStreamMixTable::Rebuild();
    if (RebuildLocked)
        return;
    // The streams may have moved against the table's edges, and their titles keep to what shows.
    for (TAudioView* view : views)
        view->Redraw();
}

TAudioView* TAudioMixTable::GetAudioView(int index) const
{
    return index >= 0 && index < AudioViewCount() ? views[index] : nullptr;
}

void TAudioMixTable::DestroyAudioViews()
{
    views.clear();
    Streams_Clear();
}

void TAudioMixTable::AudioViewClick(QObject* Sender)
{
    if (OnAudioViewClick)
        OnAudioViewClick(this, static_cast<TAudioView*>(Sender));
    if (OnStreamClick)
        OnStreamClick(this);
}
