#pragma once

#include "AudioControls/class_AudioView.h"

#include <functional>

// An audio view with a beat grid: from a tempo and the time of beat 0 it places a beat marker
// every `BeatsPerMarker` beats across the file, lets a beat marker be dragged to re-time the grid
// (sub-beat ticks show while dragging) and jumps playback to the next or previous grid line.
class TBPMView : public TAudioView {
    Q_OBJECT
public:
    explicit TBPMView(QWidget* parent = nullptr);

    void SetBPM(float bpm);
    float BPM() const { return bpm; }
    void SetBPMStartCue(float seconds);
    float GetBPMStartCue() const { return bpmStartCue; }
    void SetBPMMarkerColor(TColor color);
    TColor BPMMarkerColor() const { return bpmMarkerColor; }
    void SetBeatsPerMarker(int beats);
    int BeatsPerMarker() const { return beatsPerMarker; }
    // Kept for the published interface; they carry no behaviour and always read 0.
    void SetInCue(float) {}
    void SetOutCue(float) {}
    float InCue() const { return 0.0f; }
    float OutCue() const { return 0.0f; }

    void SetBPMStartCueToCursor();
    // Rebuilt: beat markers made anew; else the existing ones are moved to the current grid.
    void UpdateBPMMarkers(bool rebuild);
    // Only while the file plays.
    void NextBeat();
    void PrevBeat();
    void GotoStart();

    std::function<void(QObject* Sender)> OnBPMChange;

private:
    // Seconds between two beat markers; the grid exists only when it and the file's length are
    // positive and finite.
    float BeatLength() const;
    bool HasGrid() const;
    void AddBeatMarker(int number, const std::string& caption);
    void DeleteMarkersOfKind(int kind);
    cMarker* BeatMarker(int number) const;
    void JumpToBeat(int beat, bool forward);

    void MarkerMoveStart(QObject* Sender, cMarker* Marker);
    void MarkerMove(QObject* Sender, cMarker* Marker);
    void MarkerMoveEnd(QObject* Sender, cMarker* Marker);

    float bpm = 0.0f;
    float bpmStartCue = 0.0f;
    TColor bpmMarkerColor = 0x0000FF;
    int beatsPerMarker = 4;
    bool ticksShown = false;
};
