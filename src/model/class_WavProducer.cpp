#include "model/class_WavProducer.h"

#include "platform/trace/Trace.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

namespace {

constexpr const char* kSourceFile = "class_WavProducer.cpp";

// A row whose start lies less than this before the clock is due now, not late: the clock and the
// float row starts may differ by rounding at a block boundary.
constexpr double kLateTolerance = 0.000001;

// The preparation looks ahead of the clock by at least kLookaheadSeconds of mix time, and by what
// kLookaheadWallSeconds of rendering cover at the mix's pace (40 times real time: 80 s), for at most
// kRowsAhead rows past the cursor (among the next kRowsExamined). SetNeedlePos itself opens the rows
// starting within kNeedleLeadSeconds of the needle, which the worker could not have ready for the
// first block.
constexpr double kLookaheadSeconds = 5;
constexpr double kLookaheadWallSeconds = 2;
constexpr size_t kRowsAhead = 4;
constexpr int32_t kRowsExamined = 16;
constexpr double kNeedleLeadSeconds = 1;

// The worker looks at the cursor this often, and rebuilds its wishes at least every
// kPreparePeriod (rows come into the look-ahead as the clock runs; rows may be edited).
constexpr auto kPreparerPoll = std::chrono::milliseconds(10);
constexpr auto kPreparePeriod = std::chrono::milliseconds(250);

// The pace is measured over at least this long.
constexpr double kPaceSampleSeconds = 0.2;

// A late row joins at least kLateJoinLeadSeconds past the clock, and further where twice the
// slowest recent opening (plus a poll or two) covers more mix time at the mix's pace; each join its
// source missed doubles the lead.
constexpr double kLateJoinLeadSeconds = 0.1;
constexpr double kLateJoinSlackSeconds = 0.03;
constexpr int kLateJoinMissesCounted = 8;

// A value line as TraceValueLine writes it, built without allocating (the sound thread traces).
template <typename Value>
void TraceValue(std::string_view expression, Value value)
{
    trace(TraceText() << expression << "(" << kSourceFile << "):" << value);
}

// Room for every source a needle move or a stop lets go of, made before the lock is taken.
SourceList RoomForDropped()
{
    SourceList room;
    room.reserve(cSoundEvents::kRoom + cPreparedSources::kSlots);
    return room;
}

// (100 + speed) / 100: seconds of source time per second of mix time.
double SourcePerMix(const cMixRow& row)
{
    return (100.0 + row.MixParams.speed) / 100.0;
}

// Microseconds truncated toward zero, saturating.
int64_t Mcs(long double seconds)
{
    return SaturateToInt64(static_cast<double>(seconds * 1000000));
}

// Where a row's reader is positioned when it starts `offset` seconds into its fragment (a start at
// the needle) or at its beginning (a start in its block).
int64_t PositionAtOffsetMcs(const cMixRow& r, double offset)
{
    return Mcs(r.start + offset * SourcePerMix(r));
}

int64_t PositionAtBeginningMcs(const cMixRow& r)
{
    return Mcs(r.start);
}

// The row sounds at mix time `now`: it started at s and plays p seconds.
bool UnderWay(double s, long double p, double now)
{
    return s <= now && now < s + p;
}

std::vector<float> RowStarts(const cmixdata& rows)
{
    std::vector<float> starts(static_cast<size_t>(rows.Count()));
    for (int32_t i = 0; i < rows.Count(); ++i)
        starts[static_cast<size_t>(i)] = rows.RowStart(i);
    return starts;
}

SourceList OpenAhead(const std::vector<cSourceKey>& keys)
{
    SourceList sources;
    for (const cSourceKey& key : keys)
        sources.push_back(OpenSourceAhead(key));
    return sources;
}

} // namespace

void cWavProducer::SetClock(double origin)
{
    ClockOrigin = origin;
    ClockMcs = 0;
    MainTime = static_cast<float>(origin);
}

cWavProducer::~cWavProducer()
{
    StopPreparer();
}

void cWavProducer::SetNeedlePos(cmixdata& rows, float pos, bool obeyTriggers, int32_t soloRow)
{
    // The caller owns the rows, so it may read them without the lock: the files are opened before
    // it is taken, and the sound thread is not held while they are.
    const std::vector<float> starts = RowStarts(rows);
    std::vector<cSourceKey> keys;
    if (PrepareSources)
        keys = NeedleKeys(rows, starts, pos, soloRow);
    SourceList ready = OpenAhead(keys);
    SourceList dropped = RoomForDropped();
    // The new row positions are made before the lock is taken and swapped in under it: the old
    // ones are freed after it is let go.
    trace("SetNeedlePos");
    trace("Fill MixRowPositions");
    cAnyList<cMixRowPosition> positions;
    int32_t cursor = -1;
    for (int32_t i = 0; i < rows.Count(); ++i) {
        cMixRowPosition* entry = positions.Add();
        entry->start = starts[static_cast<size_t>(i)];
        if (cursor == -1 && entry->start >= pos)
            cursor = i;
        if (soloRow != -1)
            entry->added = i == soloRow ? 0 : 1;
    }
    {
        std::lock_guard<cMutex> lock(WavMix.Mutex);
        Stopped = 0;
        WavMix.Clear(dropped);
        ObeyTriggers = obeyTriggers;
        mixdata = &rows;
        MixRowPositions.Swap(positions);
        CursorRow = cursor;
        if (cursor != -1)
            PlayingRowIndex = cursor;
        SetClock(pos);
        DtRemainder = 0;
        LateCount = 0;
        ++NeedleMoves;
        WaitState = 0;
        JustStarted = 1;
        Prepared.DropAllBut({}, dropped);
        for (size_t i = 0; i < keys.size(); ++i)
            Prepared.Put(std::move(keys[i]), ready[i]);
    }
    TraceValue("just started", 1);
    if (PrepareSources)
        StartPreparer();
    Retire(std::move(dropped));
}

// The rows SetNeedlePos opens at once: those AddEvents starts at the needle, then those starting
// within the lead after it, as the first blocks will start them.
std::vector<cSourceKey> cWavProducer::NeedleKeys(const cmixdata& rows, const std::vector<float>& starts, float pos,
                                                 int32_t soloRow) const
{
    std::vector<cSourceKey> underWay, next;
    const double now = pos; // the clock AddEvents reads
    for (int32_t i = 0; i < rows.Count(); ++i) {
        const cMixRow& r = *rows.Get(i);
        const double s = starts[static_cast<size_t>(i)];
        if (soloRow != -1 && i != soloRow)
            continue;
        if (UnderWay(s, r.PlayLength(), now))
            underWay.push_back(SourceKeyOf(i, r, WavMix.Format, PositionAtOffsetMcs(r, now - s)));
        else if (s >= now - kLateTolerance && s < now + kNeedleLeadSeconds)
            next.push_back(SourceKeyOf(i, r, WavMix.Format, PositionAtBeginningMcs(r)));
    }
    underWay.insert(underWay.end(), std::make_move_iterator(next.begin()), std::make_move_iterator(next.end()));
    if (underWay.size() > cPreparedSources::kSlots)
        underWay.resize(cPreparedSources::kSlots);
    return underWay;
}

void cWavProducer::Stop()
{
    SourceList dropped = RoomForDropped();
    {
        std::lock_guard<cMutex> lock(WavMix.Mutex);
        Stopped = 1;
        WaitState = 0;
        JustStarted = 0;
        WavMix.Clear(dropped);
        Prepared.DropAllBut({}, dropped);
        mixdata = nullptr;
        LateCount = 0;
    }
    Retire(std::move(dropped));
}

// Closing files takes milliseconds: the preparation worker does it when it runs, else the caller,
// never with the mixer's lock held.
void cWavProducer::Retire(SourceList sources)
{
    {
        std::lock_guard<std::mutex> lock(PreparerMutex);
        if (Preparer.joinable()) {
            for (auto& source : sources)
                if (source)
                    Graveyard.push_back(std::move(source));
        }
    }
    sources.clear();
    NudgePreparer();
}

void cWavProducer::AddEvents()
{
    CheckSoundThread();
    std::lock_guard<cMutex> lock(WavMix.Mutex); // already held within RenderStep
    if (!JustStarted)
        return;
    JustStarted = 0;
    trace("add events start");
    if (!mixdata || Stopped)
        return;
    const double now = ClockSeconds();
    for (int32_t i = 0; i < mixdata->Count(); ++i) {
        const cMixRowPosition* entry = MixRowPositions.Get(i);
        if (!entry)
            break;
        const double s = entry->start;
        const long double p = mixdata->Get(i)->PlayLength();
        if (UnderWay(s, p, now) && !entry->added)
            StartRowAt(i, now - s);
    }
}

bool cWavProducer::MoveCursorOn()
{
    CheckSoundThread();
    if (CursorRow >= mixdata->Count() - 1)
        return false;
    ++CursorRow;
    CursorMoves.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void cWavProducer::Advance(int64_t dtMicroseconds)
{
    CheckSoundThread();
    std::lock_guard<cMutex> lock(WavMix.Mutex); // already held within RenderStep
    if (!mixdata || Stopped)
        return;
    bool released = (WaitState == 1 && KeyPressed) || (WaitState == 2 && MouseClicked);
    while (CursorRow != -1) {
        const int32_t row = CursorRow;
        cMixRowPosition* entry = MixRowPositions.Get(row);
        const cMixRow* mixRow = mixdata->Get(row);
        if (!entry || !mixRow)
            break;
        const double s = entry->start;
        const double now = ClockSeconds();
        if (s < now - kLateTolerance) {
            // An overlap longer than the row before made this row start before the clock: start it
            // where it has got to, or pass it when its time is over, and go on to the next one.
            if (!entry->added) {
                if (now < s + mixRow->PlayLength())
                    StartRowAt(row, now - s);
                else
                    entry->added = 1;
            }
            if (!MoveCursorOn())
                break;
            continue;
        }
        // The block's end as the next block's clock will read, so that a start on the boundary
        // belongs to exactly one block.
        const double blockEnd = ClockOrigin + (ClockMcs + dtMicroseconds) / 1e6;
        if (blockEnd <= s) {
            StartRowsDueBeforeTheCursor(blockEnd);
            break; // not due in this block
        }
        if (ObeyTriggers && !entry->added) {
            WaitState = 0;
            const int32_t trigger = mixRow->trigger;
            if (trigger == TriggerMouse || trigger == TriggerKey) {
                if (!released) {
                    SetClock(s); // hold the mix at this row until the trigger is released
                    WaitState = trigger == TriggerMouse ? 2 : 1;
                    PlayingRowIndex = row;
                    break;
                }
                // The release holds for the whole block: every triggered row due in it starts.
                MouseClicked = 0;
                KeyPressed = 0;
            }
        }
        if (!entry->added)
            StartRowDelayed(row, DelayToStartFrame(s));
        if (!MoveCursorOn())
            break;
    }
    if (WaitState == 0) {
        JoinLateRows(dtMicroseconds);
        ClockMcs += dtMicroseconds;
        ClockRunMcs.fetch_add(dtMicroseconds, std::memory_order_relaxed);
        MainTime = static_cast<float>(ClockSeconds());
    }
}

// An overlap longer than the row above makes a later row start before the cursor's row: such a row
// starts in the block that holds its own start, from the beginning of its fragment, whatever the
// order of starts. A row with a trigger waits for the cursor, and so does every row after it.
void cWavProducer::StartRowsDueBeforeTheCursor(double blockEnd)
{
    CheckSoundThread();
    const double now = ClockSeconds();
    for (int32_t row = CursorRow; row < mixdata->Count(); ++row) {
        cMixRowPosition* entry = MixRowPositions.Get(row);
        const cMixRow* mixRow = mixdata->Get(row);
        if (!entry || !mixRow)
            break;
        if (entry->added)
            continue;
        if (ObeyTriggers && (mixRow->trigger == TriggerMouse || mixRow->trigger == TriggerKey))
            break;
        const double s = entry->start;
        if (row != CursorRow && s >= now - kLateTolerance && s < blockEnd)
            StartRowDelayed(row, DelayToStartFrame(s));
    }
}

// The delay from the coming block's first frame to the frame nearest mix time s, both counted on
// the output's frames from the clock's origin, so that a row starts on the same frame whatever the
// blocks were (a delay taken from the clock, which counts truncated microseconds, rounds either way
// where s falls near half a frame). The block's first frame is the one whose time the clock reading
// lies less than a microsecond before.
double cWavProducer::DelayToStartFrame(double s) const
{
    CheckSoundThread();
    const int64_t rate = WavMix.Format.Frequency;
    if (rate <= 0)
        return std::max(0.0, s - ClockSeconds());
    return static_cast<double>(std::max<int64_t>(FrameAt(s) - FirstFrameAt(ClockMcs), 0)) / static_cast<double>(rate);
}

// The output frame nearest mix time s, counted from the clock's origin.
int64_t cWavProducer::FrameAt(double s) const
{
    return SaturateToInt64(std::round((s - ClockOrigin) * static_cast<double>(WavMix.Format.Frequency)));
}

// The first frame of the block that starts when the clock reads clockMcs.
int64_t cWavProducer::FirstFrameAt(int64_t clockMcs) const
{
    const int64_t rate = WavMix.Format.Frequency;
    return clockMcs / 1000000 * rate + (clockMcs % 1000000 * rate + 999999) / 1000000;
}

void cWavProducer::StartRowAt(int32_t row, double offset)
{
    CheckSoundThread();
    const cMixRow& r = *mixdata->Get(row);
    const long double p = r.PlayLength();
    const double f = SourcePerMix(r);
    std::unique_ptr<cFileSoundSource> source = SourceFor(row, PositionAtOffsetMcs(r, offset));
    if (!source) {
        StartLate(row);
        return;
    }
    source->RemainingMcs = Mcs(p - offset);
    source->LengthMcs = Mcs(p);
    source->pos_mcs = Mcs(offset * f);
    source->BytesRead = 0;
    TraceValue("inFragmentOffset", offset);
    TraceValue("SoundSource->Fragment.pos_mcs", source->pos_mcs);
    MixRowPositions.Get(row)->added = 1;
    trace("WavMix.AddWave - soundsource");
    WavMix.AddWave(std::move(source), 0, row);
    PlayingRowIndex = row;
}

void cWavProducer::StartRowDelayed(int32_t row, double delay)
{
    CheckSoundThread();
    const cMixRow& r = *mixdata->Get(row);
    std::unique_ptr<cFileSoundSource> source = SourceFor(row, PositionAtBeginningMcs(r));
    if (!source) {
        StartLate(row);
        return;
    }
    source->RemainingMcs = source->LengthMcs = Mcs(r.PlayLength());
    source->pos_mcs = 0;
    source->BytesRead = 0;
    MixRowPositions.Get(row)->added = 1;
    WavMix.AddWave(std::move(source), static_cast<float>(delay), row);
    PlayingRowIndex = row;
}

// The row's source, opened with the row's parameters and positioned at positionMcs of source time:
// the prepared one when it fits, else opened here; null in the live mix, where opening a file would
// hold the output (unless preparing is off).
std::unique_ptr<cFileSoundSource> cWavProducer::SourceFor(int32_t row, int64_t positionMcs)
{
    CheckSoundThread();
    const cMixRow& r = *mixdata->Get(row);
    CursorMoves.fetch_add(1, std::memory_order_relaxed);
    std::unique_ptr<cFileSoundSource> source =
        Prepared.Take(row, r, WavMix.Format, positionMcs, 0, WavMix.Retired);
    if (source) {
        ++PreparedRowStarts;
        ReadyToSound(*source, r);
        return source;
    }
    if (OnSoundThread() && PrepareSources)
        return nullptr;
    ++OpenedRowStarts;
    source = std::make_unique<cFileSoundSource>();
    source->MixParams = r.MixParams;
    source->QuietWhenMissing = r.SourceMissing;
    source->SetFileName(r.filename, WavMix.Format);
    source->SetPosition(positionMcs * 0.000001);
    return source;
}

// A prepared source takes the row's whole parameters (volume and fades may have changed since it was
// opened) and gives the trace line and message of its opening.
void cWavProducer::ReadyToSound(cFileSoundSource& source, const cMixRow& row)
{
    source.MixParams = row.MixParams;
    source.QuietWhenMissing = row.SourceMissing;
    source.ReportOpen();
}

// ---- Late starts -------------------------------------------------------------------------------

// The row was due but its source is not ready: the worker opens it (it looks at the cursor's moves)
// and plans where it joins. The row counts as started, for the cursor and the windows.
void cWavProducer::StartLate(int32_t row)
{
    CheckSoundThread();
    cMixRowPosition& entry = *MixRowPositions.Get(row);
    entry.added = 1;
    entry.late = 1;
    entry.joinFrame = -1;
    entry.joinMisses = 0;
    ++LateCount;
    ++LateRowStarts;
    PlayingRowIndex = row;
    CursorMoves.fetch_add(1, std::memory_order_relaxed);
    trace(TraceText() << "late start: row " << row << " joins when its source is ready");
}

// Joins the late rows whose planned frame falls in the coming block; a join whose source came too
// late, or no longer fits the row, is planned again further on.
void cWavProducer::JoinLateRows(int64_t dtMicroseconds)
{
    CheckSoundThread();
    if (LateCount == 0 || WavMix.Format.Frequency <= 0)
        return;
    const int64_t first = FirstFrameAt(ClockMcs);
    const int64_t next = FirstFrameAt(ClockMcs + dtMicroseconds);
    for (int32_t row = 0; row < mixdata->Count() && LateCount > 0; ++row) {
        cMixRowPosition* entry = MixRowPositions.Get(row);
        if (!entry || !entry->late)
            continue;
        const int64_t start = FrameAt(entry->start);
        if (first >= FrameAt(entry->start + static_cast<double>(mixdata->Get(row)->PlayLength()))) {
            EndLate(row, *entry, " ended before its source was ready");
            continue;
        }
        if (entry->joinFrame < 0 || start + entry->joinFrame >= next)
            continue;
        const int64_t join = start + entry->joinFrame;
        if (join < first || !JoinLateRow(row, *entry, join - first)) {
            entry->joinFrame = -1;
            ++entry->joinMisses;
            CursorMoves.fetch_add(1, std::memory_order_relaxed);
        }
    }
}

bool cWavProducer::JoinLateRow(int32_t row, cMixRowPosition& entry, int64_t delayFrames)
{
    CheckSoundThread();
    const cMixRow& r = *mixdata->Get(row);
    std::unique_ptr<cFileSoundSource> source =
        Prepared.Take(row, r, WavMix.Format, PositionAtBeginningMcs(r), entry.joinFrame, WavMix.Retired);
    if (!source)
        return false;
    ReadyToSound(*source, r);
    source->RemainingMcs = source->LengthMcs = Mcs(r.PlayLength());
    source->BytesRead = 0;
    source->PassOver(entry.joinFrame);
    WavMix.CountAsPlayed(*source, entry.joinFrame * FrameBytes(WavMix.Format));
    ++LateRowsJoined;
    trace(TraceText() << "late start: row " << row << " joins " << entry.joinFrame << " frames into its fragment");
    EndLate(row, entry, {});
    WavMix.AddWave(std::move(source), static_cast<float>(static_cast<double>(delayFrames) / WavMix.Format.Frequency),
                   row);
    return true;
}

void cWavProducer::EndLate(int32_t row, cMixRowPosition& entry, std::string_view why)
{
    CheckSoundThread();
    entry.late = 0;
    --LateCount;
    if (!why.empty())
        trace(TraceText() << "late start: row " << row << why);
}

void cWavProducer::RenderStep(void* buffer, int64_t n)
{
    CheckSoundThread();
    std::unique_lock<cMutex> lock(WavMix.Mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        const auto waitStart = std::chrono::steady_clock::now();
        lock.lock();
        const int64_t waited = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - waitStart).count();
        if (waited > LongestLockWaitNs.load(std::memory_order_relaxed))
            LongestLockWaitNs.store(waited, std::memory_order_relaxed);
    }
    AddEvents();
    // Each block's duration in whole microseconds, carrying what truncation leaves to the next
    // block, so the clock adds up to exactly the audio delivered.
    const int64_t bytesPerSecond = BytesPerSecond(WavMix.Format);
    int64_t dt = 0;
    if (bytesPerSecond > 0) {
        const int64_t scaled = n * 1000000 + DtRemainder;
        dt = scaled / bytesPerSecond;
        DtRemainder = scaled % bytesPerSecond;
    }
    Advance(dt);
    const int32_t rows = mixdata ? mixdata->Count() : 0;
    if (!Stopped && WavMix.Events.Count() == 0 && WaitState == 0 && CursorRow == rows - 1 && LateCount == 0)
        Stopped = 1;
    std::memset(buffer, 0, static_cast<size_t>(n));
    if (!Stopped)
        WavMix.MixBlock(buffer, n);
    if (Stopped)
        WaitState = 0;
}

size_t cWavProducer::PreparedCount()
{
    std::lock_guard<cMutex> lock(WavMix.Mutex);
    return Prepared.Count();
}

// ---- The preparation worker --------------------------------------------------------------------

void cWavProducer::StartPreparer()
{
    if (Preparer.joinable())
        return;
    {
        std::lock_guard<cMutex> lock(WavMix.Mutex);
        WavMix.Retired.Enabled = true; // the worker empties the bin from now on
    }
    Preparer = std::thread([this] { PrepareLoop(); });
}

void cWavProducer::StopPreparer()
{
    if (!Preparer.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(PreparerMutex);
        PreparerQuit = true;
    }
    PreparerWake.notify_one();
    Preparer.join();
}

void cWavProducer::NudgePreparer()
{
    {
        std::lock_guard<std::mutex> lock(PreparerMutex);
        PreparerNudged = true;
    }
    PreparerWake.notify_one();
}

void cWavProducer::PrepareLoop()
{
    using Clock = std::chrono::steady_clock;
    uint32_t movesSeen = CursorMoves.load(std::memory_order_relaxed);
    auto lastRound = Clock::now();
    std::unique_lock<std::mutex> lock(PreparerMutex);
    while (!PreparerQuit) {
        PreparerWake.wait_for(lock, kPreparerPoll, [this] { return PreparerQuit || PreparerNudged; });
        if (PreparerQuit)
            break;
        const uint32_t moves = CursorMoves.load(std::memory_order_relaxed);
        const bool due = PreparerNudged || moves != movesSeen || Clock::now() - lastRound >= kPreparePeriod;
        PreparerNudged = false;
        if (!due)
            continue;
        movesSeen = moves;
        lastRound = Clock::now();
        lock.unlock();
        PrepareRound();
        lock.lock();
    }
}

// One look ahead: frees what the sound thread, needle moves and stops let go of, plans the late
// rows' joins, drops the prepared sources that are no longer wanted and opens the wanted ones that
// are missing, each outside the mixer's lock.
void cWavProducer::PrepareRound()
{
    std::vector<cSourceKey> missing;
    SourceList done;
    {
        std::lock_guard<std::mutex> lock(PreparerMutex);
        done.swap(Graveyard);
    }
    done.reserve(done.size() + cSourceBin::kRoom + cPreparedSources::kSlots);
    {
        std::lock_guard<cMutex> lock(WavMix.Mutex);
        WavMix.Retired.MoveTo(done);
        MeasurePace();
        // While JustStarted is set the needle's sources wait for AddEvents: leave them be.
        if (!JustStarted) {
            PlanLateJoins();
            const std::vector<cSourceKey> wanted = UpcomingKeys(LookaheadSeconds());
            // A source stays while its row may still take it: a slower pace shortens the look-ahead,
            // and what was opened for a row beyond it would have to be opened again.
            std::vector<cSourceKey> kept = UpcomingKeys(std::numeric_limits<double>::infinity());
            kept.insert(kept.end(), wanted.begin(), wanted.end());
            Prepared.DropAllBut(kept, done);
            for (const cSourceKey& key : wanted)
                if (!Prepared.Has(key))
                    missing.push_back(key);
        }
    }
    done.clear();
    for (cSourceKey& key : missing) {
        if (Stopped || !PrepareSources)
            return;
        const auto began = std::chrono::steady_clock::now();
        std::unique_ptr<cFileSoundSource> source = OpenSourceAhead(key);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        SlowOpenSeconds = std::max(took, SlowOpenSeconds * 0.9);
        std::lock_guard<cMutex> lock(WavMix.Mutex); // let go before `source`, if left, is destroyed
        if (!Stopped)
            Prepared.Put(std::move(key), source);
    }
}

// Mix seconds the clock ran per second since the last measure; after a needle move real time, until
// measured (what ran before, an export perhaps, says nothing of the mix now). Under the lock.
void cWavProducer::MeasurePace()
{
    const auto now = std::chrono::steady_clock::now();
    const int64_t run = ClockRunMcs.load(std::memory_order_relaxed);
    const double wall = std::chrono::duration<double>(now - PaceSince).count();
    if (PaceNeedleMoves != NeedleMoves) {
        PaceNeedleMoves = NeedleMoves;
        Pace = 1;
    } else if (wall < kPaceSampleSeconds) {
        return;
    } else {
        Pace = static_cast<double>(run - PaceClockRunMcs) / 1e6 / wall;
    }
    PaceClockRunMcs = run;
    PaceSince = now;
}

double cWavProducer::LookaheadSeconds() const
{
    return std::max(kLookaheadSeconds, Pace * kLookaheadWallSeconds);
}

// Gives each late row without a plan the frame where it joins: far enough past the clock for the
// worker to open it before the clock gets there. Under the lock.
void cWavProducer::PlanLateJoins()
{
    if (LateCount == 0 || !mixdata || Stopped || WavMix.Format.Frequency <= 0)
        return;
    const double now = ClockSeconds();
    const double lead = std::max(kLateJoinLeadSeconds, Pace * (2 * SlowOpenSeconds + kLateJoinSlackSeconds));
    for (int32_t i = 0; i < mixdata->Count(); ++i) {
        cMixRowPosition* entry = MixRowPositions.Get(i);
        if (!entry || !entry->late || entry->joinFrame >= 0)
            continue;
        const double later = lead * std::ldexp(1.0, std::min(entry->joinMisses, kLateJoinMissesCounted));
        entry->joinFrame = std::max<int64_t>(FrameAt(now + later) - FrameAt(entry->start), 0);
    }
}

// The late rows' joins, then the rows the cursor will start next, in their blocks, within the
// look-ahead. Under the lock.
std::vector<cSourceKey> cWavProducer::UpcomingKeys(double lookaheadSeconds) const
{
    std::vector<cSourceKey> keys;
    if (!mixdata || Stopped || !PrepareSources)
        return keys;
    for (int32_t i = 0; i < mixdata->Count() && LateCount > 0 && keys.size() < cPreparedSources::kSlots; ++i) {
        const cMixRowPosition* entry = MixRowPositions.Get(i);
        if (entry && entry->late && entry->joinFrame >= 0) {
            const cMixRow& r = *mixdata->Get(i);
            keys.push_back(SourceKeyOf(i, r, WavMix.Format, PositionAtBeginningMcs(r), entry->joinFrame));
        }
    }
    const double now = ClockSeconds();
    const int32_t last = CursorRow == -1 ? -1 : std::min(mixdata->Count(), CursorRow + kRowsExamined);
    size_t ahead = 0;
    for (int32_t i = CursorRow; i < last && ahead < kRowsAhead && keys.size() < cPreparedSources::kSlots; ++i) {
        const cMixRowPosition* entry = MixRowPositions.Get(i);
        const cMixRow* r = mixdata->Get(i);
        if (!entry || !r)
            break;
        // A row already behind the clock starts wherever it has got to: late, where it is live.
        if (!entry->added && entry->start >= now - kLateTolerance && entry->start < now + lookaheadSeconds) {
            keys.push_back(SourceKeyOf(i, *r, WavMix.Format, PositionAtBeginningMcs(*r)));
            ++ahead;
        }
    }
    return keys;
}

bool cWavProducer::StartsReady(double aheadSeconds)
{
    bool ready = true;
    {
        std::lock_guard<cMutex> lock(WavMix.Mutex);
        if (LateCount > 0)
            ready = false;
        for (const cSourceKey& key : UpcomingKeys(aheadSeconds))
            ready = ready && Prepared.Has(key);
    }
    if (!ready)
        NudgePreparer();
    return ready;
}
