#pragma once

#include "engine/class_AnyList.h"
#include "engine/class_WavMixer.h"
#include "model/class_MixData.h"
#include "model/class_PreparedSources.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

// The mix cursor: turns the playlist into timed sound events for the live mixer. The fields that
// the user-interface thread reads or writes while the sound thread renders are atomic; everything
// else is touched only under the mixer's lock (SetNeedlePos, AddEvents, Advance, RenderStep and
// Stop hold it).
//
// Opening a file takes milliseconds (an MP3 is scanned for its exact length), far too long for the
// sound thread. So the rows about to start are opened ahead: those under way at the needle by
// SetNeedlePos on its caller's thread, the next ones by a worker thread of the producer, and a row
// takes its prepared source at its start when it was opened as the row would open it then; the
// sound is the same either way. The worker looks ahead by the mix time that a couple of seconds
// cover at the pace the mix is rendered. Off the live mix (the export, the CD image) a start that
// finds no prepared source opens its file there. In the live mix it never does: the row is late.
// It is counted and traced, the worker opens it positioned a little further on, and it joins the
// mix on that frame, sounding from there as it would have had it started in time.
class cWavProducer {
public:
    cWavProducer() = default;
    ~cWavProducer();
    cWavProducer(const cWavProducer&) = delete;
    cWavProducer& operator=(const cWavProducer&) = delete;

    cmixdata* mixdata = nullptr;               // rows being rendered; bound by SetNeedlePos
    cAnyList<cMixRowPosition> MixRowPositions; // one entry per row, at the row's index
    std::atomic<uint8_t> MouseClicked{0};
    std::atomic<uint8_t> KeyPressed{0};
    std::atomic<uint8_t> ObeyTriggers{1};
    std::atomic<int32_t> PlayingRowIndex{0};
    std::atomic<int32_t> CursorRow{-1};
    cWavMixer WavMix;
    std::atomic<uint8_t> Stopped{1};
    std::atomic<float> MainTime{0};           // mix time at the start of the next block, seconds
    std::atomic<int32_t> WaitState{0};        // 0 running, 1 waiting for a key, 2 for a mouse click
    std::atomic<uint8_t> JustStarted{0};

    std::atomic<bool> PrepareSources{true};     // off: every row opens its file at its start, live too
    std::atomic<int64_t> PreparedRowStarts{0};  // row starts that took a prepared source
    std::atomic<int64_t> OpenedRowStarts{0};    // row starts that opened their file there (never live)
    std::atomic<int64_t> LateRowStarts{0};      // live row starts whose source was not ready
    std::atomic<int64_t> LateRowsJoined{0};     // late rows that joined the mix
    std::atomic<int64_t> LongestLockWaitNs{0};  // the render step's longest wait for the mixer's lock

    // Binds the rows, ends every sounding event and puts the clock at pos (seconds of mix time).
    void SetNeedlePos(cmixdata& rows, float pos, bool obeyTriggers, int32_t soloRow);
    // Once after each SetNeedlePos: starts the rows already under way at the needle.
    SOUND_THREAD void AddEvents();
    // Starts the rows due in [MainTime, MainTime + dt) and moves the clock on by dt microseconds.
    SOUND_THREAD void Advance(int64_t dtMicroseconds);

    // One block of the mix: AddEvents, Advance by the block's duration, the end test, then the
    // block zeroed and mixed while not stopped. The same step serves the live output, the export and
    // the CD image; the live caller adds the Playing flag around it.
    SOUND_THREAD void RenderStep(void* buffer, int64_t n);

    // Stops rendering under the mixer's lock and lets go of the rows: call it before anything
    // replaces or clears them. Sounding events end.
    void Stop();

    // The mix clock at full precision, seconds (MainTime is its single-precision copy).
    double ClockSeconds() const { return ClockOrigin + ClockMcs / 1e6; }

    // How many sources wait prepared for their rows' starts.
    size_t PreparedCount();

    // True when no row is late and every row due within `aheadSeconds` of the clock has its source
    // ready; else the worker is woken. Lets a caller that renders faster than real time keep pace
    // with the worker.
    bool StartsReady(double aheadSeconds);

private:
    SOUND_THREAD void StartRowAt(int32_t row, double offset);
    SOUND_THREAD void StartRowDelayed(int32_t row, double delay);
    SOUND_THREAD void StartRowsDueBeforeTheCursor(double blockEnd);
    SOUND_THREAD double DelayToStartFrame(double s) const;
    int64_t FrameAt(double s) const; // also the worker's, under the lock
    int64_t FirstFrameAt(int64_t clockMcs) const;
    SOUND_THREAD std::unique_ptr<cFileSoundSource> SourceFor(int32_t row, int64_t positionMcs);
    SOUND_THREAD void ReadyToSound(cFileSoundSource& source, const cMixRow& row);
    SOUND_THREAD bool MoveCursorOn();

    // Late starts.
    SOUND_THREAD void StartLate(int32_t row);
    SOUND_THREAD void JoinLateRows(int64_t dtMicroseconds);
    SOUND_THREAD bool JoinLateRow(int32_t row, cMixRowPosition& entry, int64_t delayFrames);
    SOUND_THREAD void EndLate(int32_t row, cMixRowPosition& entry, std::string_view why);
    void Retire(SourceList sources);
    void SetClock(double origin);

    // The preparation.
    std::vector<cSourceKey> NeedleKeys(const cmixdata& rows, const std::vector<float>& starts, float pos,
                                       int32_t soloRow) const;
    std::vector<cSourceKey> UpcomingKeys(double lookaheadSeconds) const;
    void PlanLateJoins();
    void MeasurePace();
    double LookaheadSeconds() const;
    void StartPreparer();
    void StopPreparer();
    void NudgePreparer();
    void PrepareLoop();
    void PrepareRound();

    // The clock counts whole microseconds from an origin (the needle or a trigger wait), so that it
    // never drifts from the audio however many blocks it adds up.
    double ClockOrigin = 0;
    int64_t ClockMcs = 0;
    int64_t DtRemainder = 0; // RenderStep: what the last blocks' durations left below a microsecond
    int32_t LateCount = 0;   // rows late now; under the mixer's lock
    uint32_t NeedleMoves = 0; // under the mixer's lock
    std::atomic<int64_t> ClockRunMcs{0}; // mix time the clock has run, needle moves aside: the pace

    cPreparedSources Prepared;           // under the mixer's lock
    std::atomic<uint32_t> CursorMoves{0}; // bumped by row starts and cursor moves: time to look ahead
    std::thread Preparer;
    std::mutex PreparerMutex; // guards the flags and the graveyard below; never taken by the sound thread
    std::condition_variable PreparerWake;
    bool PreparerQuit = false;
    bool PreparerNudged = false;
    SourceList Graveyard; // sources let go of by needle moves and stops, for the worker to destroy

    // The worker's own measures: the mix's pace (mix seconds per second) and how long an opening
    // takes, which set how far it looks ahead and how far on it places a late row's join.
    double Pace = 1;
    uint32_t PaceNeedleMoves = 0;
    int64_t PaceClockRunMcs = 0;
    std::chrono::steady_clock::time_point PaceSince = std::chrono::steady_clock::now();
    double SlowOpenSeconds = 0;
};
