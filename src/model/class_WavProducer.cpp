#include "model/class_WavProducer.h"

#include "platform/trace/Trace.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {

constexpr const char* kSourceFile = "class_WavProducer.cpp";

// A row whose start lies less than this before the clock is due now, not late: the clock and the
// float row starts may differ by rounding at a block boundary.
constexpr double kLateTolerance = 0.000001;

std::string NumberText(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

void TraceValue(std::string_view expression, const std::string& value)
{
    trace(TraceValueLine(expression, kSourceFile, value));
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

} // namespace

void cWavProducer::SetClock(double origin)
{
    ClockOrigin = origin;
    ClockMcs = 0;
    MainTime = static_cast<float>(origin);
}

void cWavProducer::SetNeedlePos(cmixdata& rows, float pos, bool obeyTriggers, int32_t soloRow)
{
    std::lock_guard<cMutex> lock(WavMix.Mutex);
    trace("SetNeedlePos");
    Stopped = 0;
    WavMix.Clear();
    ObeyTriggers = obeyTriggers;
    mixdata = &rows;
    trace("Fill MixRowPositions");
    MixRowPositions.Clear();
    CursorRow = -1;
    for (int32_t i = 0; i < rows.Count(); ++i) {
        cMixRowPosition* entry = MixRowPositions.Add();
        entry->start = rows.RowStart(i);
        if (CursorRow == -1 && entry->start >= pos) {
            CursorRow = i;
            PlayingRowIndex = i;
        }
    }
    if (soloRow != -1) {
        for (int32_t i = 0; i < MixRowPositions.Count(); ++i)
            MixRowPositions.Get(i)->added = i == soloRow ? 0 : 1;
    }
    SetClock(pos);
    DtRemainder = 0;
    WaitState = 0;
    JustStarted = 1;
    TraceValue("just started", std::to_string(JustStarted.load()));
}

void cWavProducer::Stop()
{
    std::lock_guard<cMutex> lock(WavMix.Mutex);
    Stopped = 1;
    WaitState = 0;
    JustStarted = 0;
    WavMix.Clear();
    mixdata = nullptr;
}

void cWavProducer::AddEvents()
{
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
        if (s <= now && now < s + p && !entry->added)
            StartRowAt(i, now - s);
    }
}

bool cWavProducer::MoveCursorOn()
{
    if (CursorRow >= mixdata->Count() - 1)
        return false;
    ++CursorRow;
    return true;
}

void cWavProducer::Advance(int64_t dtMicroseconds)
{
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
        if (blockEnd <= s)
            break; // not due in this block
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
                // One release starts one row.
                released = false;
                MouseClicked = 0;
                KeyPressed = 0;
            }
        }
        if (!entry->added)
            StartRowDelayed(row, std::max(0.0, s - now));
        if (!MoveCursorOn())
            break;
    }
    if (WaitState == 0) {
        ClockMcs += dtMicroseconds;
        MainTime = static_cast<float>(ClockSeconds());
    }
}

void cWavProducer::StartRowAt(int32_t row, double offset)
{
    const cMixRow& r = *mixdata->Get(row);
    const long double p = r.PlayLength();
    const double f = SourcePerMix(r);
    auto source = std::make_unique<cFileSoundSource>();
    source->MixParams = r.MixParams;
    source->SetFileName(r.filename, WavMix.Format);
    source->SetPosition(Mcs(r.start + offset * f) * 0.000001);
    source->RemainingMcs = Mcs(p - offset);
    source->LengthMcs = Mcs(p);
    source->pos_mcs = Mcs(offset * f);
    source->BytesRead = 0;
    TraceValue("inFragmentOffset", NumberText(offset));
    TraceValue("SoundSource->Fragment.pos_mcs", std::to_string(source->pos_mcs));
    MixRowPositions.Get(row)->added = 1;
    trace("WavMix.AddWave - soundsource");
    WavMix.AddWave(std::move(source), 0, row);
    PlayingRowIndex = row;
}

void cWavProducer::StartRowDelayed(int32_t row, double delay)
{
    const cMixRow& r = *mixdata->Get(row);
    auto source = std::make_unique<cFileSoundSource>();
    source->MixParams = r.MixParams;
    source->SetFileName(r.filename, WavMix.Format);
    source->SetPosition(Mcs(r.start) * 0.000001);
    source->RemainingMcs = source->LengthMcs = Mcs(r.PlayLength());
    source->pos_mcs = 0;
    source->BytesRead = 0;
    MixRowPositions.Get(row)->added = 1;
    WavMix.AddWave(std::move(source), static_cast<float>(delay), row);
    PlayingRowIndex = row;
}

void cWavProducer::RenderStep(void* buffer, int64_t n)
{
    std::lock_guard<cMutex> lock(WavMix.Mutex);
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
    if (!Stopped && WavMix.Events.Count() == 0 && WaitState == 0 && CursorRow == rows - 1)
        Stopped = 1;
    std::memset(buffer, 0, static_cast<size_t>(n));
    if (!Stopped)
        WavMix.MixBlock(buffer, n);
    if (Stopped)
        WaitState = 0;
}
