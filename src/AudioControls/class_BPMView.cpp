#include "AudioControls/class_BPMView.h"

#include <cmath>

namespace {

constexpr int kBeatMarker = 1;
constexpr int kTickMarker = 2;
constexpr float kMaxBPM = 480.0f;
// More than a 3-hour file at the dragged tempo's cap; a tempo set from code beyond it would
// otherwise build a grid without end.
constexpr float kMaxBeatMarkers = 200000.0f;

} // namespace

TBPMView::TBPMView(QWidget* parent) : TAudioView(parent)
{
    SetBPM(0.0f);
    SetBPMStartCue(0.0f);
    OnMarkerMove = [this](QObject* s, cMarker* m) { MarkerMove(s, m); };
    OnMarkerMoveStart = [this](QObject* s, cMarker* m) { MarkerMoveStart(s, m); };
    OnMarkerMoveEnd = [this](QObject* s, cMarker* m) { MarkerMoveEnd(s, m); };
}

void TBPMView::SetBPM(float value)
{
    bpm = value;
    UpdateBPMMarkers(true);
    if (OnBPMChange)
        OnBPMChange(this);
}

void TBPMView::SetBPMStartCue(float seconds)
{
    bpmStartCue = seconds;
    SetBPM(bpm);
}

void TBPMView::SetBPMMarkerColor(TColor color)
{
    bpmMarkerColor = color;
    SetBPM(bpm);
}

void TBPMView::SetBeatsPerMarker(int beats)
{
    beatsPerMarker = beats;
    SetBPM(bpm);
}

void TBPMView::SetBPMStartCueToCursor()
{
    SetBPMStartCue(LenSec() * GetSelStart());
}

float TBPMView::BeatLength() const
{
    return static_cast<float>(beatsPerMarker) * 60.0f / bpm;
}

bool TBPMView::HasGrid() const
{
    // A zero, negative or non-finite tempo, beat count or file length would give no grid or an
    // endless one; so would a beat too short for the markers to be counted.
    const float beat = BeatLength();
    const float length = LenSec();
    return std::isfinite(beat) && beat > 0.0f && std::isfinite(length) && length > 0.0f &&
           length / beat <= kMaxBeatMarkers;
}

void TBPMView::DeleteMarkersOfKind(int kind)
{
    for (int i = Markers.Count() - 1; i >= 0; --i)
        if (Markers.At(i)->MarkerKind == kind)
            Markers.Delete(i);
}

void TBPMView::AddBeatMarker(int number, const std::string& caption)
{
    cMarker* marker = Markers.Add();
    // Each position comes from its own number, so rounding never accumulates along the file.
    marker->Pos = (static_cast<float>(number) * BeatLength() + bpmStartCue) / LenSec();
    marker->MarkerKind = kBeatMarker;
    marker->Caption = caption;
    marker->BeatNumber = number;
    marker->Color = bpmMarkerColor;
}

void TBPMView::UpdateBPMMarkers(bool rebuild)
{
    const float length = LenSec();
    if (!rebuild) {
        if (!HasGrid())
            return;
        for (int i = 0; i < Markers.Count(); ++i)
            if (cMarker* marker = Markers.At(i); marker->MarkerKind == kBeatMarker)
                marker->Pos = (static_cast<float>(marker->BeatNumber) * BeatLength() + bpmStartCue) / length;
        Redraw();
        return;
    }
    DeleteMarkersOfKind(kBeatMarker);
    if (bpm != 0.0f && HasGrid()) {
        const float step = BeatLength() / length;
        const float start = bpmStartCue / length;
        for (int n = 0; start + static_cast<float>(n) * step <= 1.0f; ++n)
            AddBeatMarker(n, "  " + std::to_string(n) + "  ");
        // The first one left of beat 0 is kept even outside the file.
        int n = -1;
        do {
            AddBeatMarker(n, std::to_string(n));
            --n;
        } while (start + static_cast<float>(n) * step >= 0.0f);
    }
    Redraw();
}

cMarker* TBPMView::BeatMarker(int number) const
{
    for (int i = 0; i < Markers.Count(); ++i)
        if (cMarker* marker = Markers.At(i); marker->MarkerKind == kBeatMarker && marker->BeatNumber == number)
            return marker;
    return nullptr;
}

void TBPMView::MarkerMoveStart(QObject*, cMarker* Marker)
{
    if (Marker->MarkerKind != kBeatMarker || beatsPerMarker < 2)
        return;
    const cMarker* next = BeatMarker(Marker->BeatNumber + 1);
    const cMarker* previous = BeatMarker(Marker->BeatNumber - 1);
    if (!next || !previous)
        return;
    ticksShown = true;
    const float step = (next->Pos - Marker->Pos) / static_cast<float>(beatsPerMarker);
    const float previousPos = previous->Pos;
    for (int i = -beatsPerMarker + 1; i <= beatsPerMarker - 1; ++i) {
        if (i == 0)
            continue;
        cMarker* tick = Markers.Add();
        tick->Pos = previousPos + static_cast<float>(i + beatsPerMarker) * step;
        tick->MarkerKind = kTickMarker;
        tick->Color = 0x808080;
        tick->TicksOnly = true;
        tick->Dotted = false;
    }
}

void TBPMView::MarkerMove(QObject* Sender, cMarker* Marker)
{
    if (Marker->MarkerKind != kBeatMarker)
        return;
    MarkerMoveEnd(nullptr, Marker);
    const int beat = Marker->BeatNumber;
    const float t = LenSec() * Marker->Pos;
    if (beat == 0) {
        bpmStartCue = t;
        UpdateBPMMarkers(false);
    } else {
        const float interval = beat > 0 ? (t - bpmStartCue) / static_cast<float>(beat)
                                        : (bpmStartCue - t) / static_cast<float>(-beat);
        // A marker dragged onto or past beat 0 gives no tempo: the grid stays as it was.
        if (!(interval > 0.0f))
            return;
        const float tempo = 60.0f / (interval / static_cast<float>(beatsPerMarker));
        if (tempo > kMaxBPM) {
            // The rebuild frees the dragged marker: the drag ends here and nothing touches it again.
            EndMarkerDrag();
            SetBPM(kMaxBPM);
            return;
        }
        bpm = tempo;
        UpdateBPMMarkers(false);
        if (OnBPMChange)
            OnBPMChange(this);
    }
    if (Dragging())
        MarkerMoveStart(Sender, Marker);
}

void TBPMView::MarkerMoveEnd(QObject* Sender, cMarker* Marker)
{
    if (Marker && Marker->MarkerKind != kBeatMarker)
        return;
    if (Sender)
        UpdateBPMMarkers(true);
    if (ticksShown) {
        ticksShown = false;
        DeleteMarkersOfKind(kTickMarker);
    }
}

void TBPMView::JumpToBeat(int beat, bool forward)
{
    float target = (static_cast<float>(beat) * BeatLength() + bpmStartCue) / LenSec();
    target = forward ? std::min(target, 1.0f) : std::max(target, 0.0f);
    Play(target);
}

void TBPMView::NextBeat()
{
    if (!Player().IsPlaying() || !HasGrid())
        return;
    const int k = static_cast<int>((LenSec() * Player().GetPos() - bpmStartCue) / BeatLength());
    JumpToBeat(k >= 0 ? k + 1 : k, true);
}

void TBPMView::PrevBeat()
{
    if (!Player().IsPlaying() || !HasGrid())
        return;
    const int k = static_cast<int>((LenSec() * Player().GetPos() - bpmStartCue) / BeatLength());
    JumpToBeat(k == 0 ? -2 : (k < 0 ? k - 2 : k - 1), false);
}

void TBPMView::GotoStart()
{
    if (Player().IsPlaying())
        Play(bpmStartCue / LenSec());
}
