#pragma once

// The waveform view of a sound file: builds the file's low-rate image in the background, shows
// it with markers and zones, previews the file or its selection and moves a play marker.

#include <functional>
#include <string>

#include <QTimer>

#include "AudioControls/class_MarkersWavView.h"
#include "AudioControls/class_PlayStream.h"
#include "AudioControls/class_WavDataStore.h"

class TAudioView : public TMarkersWavView {
    Q_OBJECT
public:
    explicit TAudioView(QWidget* parent = nullptr);
    ~TAudioView() override;

    bool CacheAudioImage = false;  // copied into the store before each load
    bool PlayMarkerUpdate = true;  // the refresh moves the play marker
    bool FileLocked = false;       // while true, SetFileName ignores every call
    std::function<void(QObject* Sender)> OnFileOpen;

    const std::string& FileName() const { return fileName; }
    // Loads the image and the player (a name already shown does nothing). When either cannot
    // open the file its exception passes on; the view then shows no waveform but the exception's
    // message ("File not found <path>."), plays nothing and has no file name.
    void SetFileName(const std::string& path);
    // The message the view shows in place of the waveform; empty while a file (or none) is set.
    const std::string& LoadFailure() const { return loadFailure; }
    // The file, its view from `start` for `len` seconds, and no selection.
    void DisplayFileZone(const std::string& path, float start, float len);

    float LenSec() const override { return player.LenSec(); }
    float SecToPos(float seconds) const { return seconds / player.LenSec(); }
    float PosToSec(float position) const { return player.LenSec() * position; }

    // From `start` (a fraction; -1.0: the selection's start) to the end of the file.
    void Play(float start = -1.0f);
    void PlaySelection();
    void LoopSelection(bool seek);
    void SetLoop(float start, float end); // fractions
    void Stop();

    cMarker* PlayMarker() const { return Markers.Get(0); } // always Markers entry 0

    TWavDataStore& Store() { return store; }
    TPlayStream& Player() { return player; }

    // Every 30 ms: the play marker follows the player, and the picture follows the image as it
    // fills; nothing is drawn when neither changed.
    void OnRefreshTimer();

    bool RefreshRunning() const { return refreshTimer.isActive(); }

protected:
    void PostDraw(QPainter& canvas) override;

private:
    void WakeRefresh();

    std::string fileName;
    std::string loadFailure;
    QTimer refreshTimer;
    bool refreshLoading = true;       // the image was filling at the last refresh
    float refreshMarkerPos = -2.0f;   // where the last refresh drew the play marker
    TWavDataStore store;
    TPlayStream player; // destroyed first: no sync of it runs while the rest goes
};
