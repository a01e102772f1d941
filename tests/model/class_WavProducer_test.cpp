#include "model/class_WavProducer.h"

#include "platform/trace/Trace.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "support/waits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace sonorel_test;

namespace {

// Collects the "WavMix.AddWave id:" lines: which rows were started, in order.
class StartedRows : public TraceTarget {
public:
    StartedRows() { SetTraceTarget(this); }
    ~StartedRows() override { SetTraceTarget(nullptr); }
    void ClearLines() override {}
    void AppendLine(const std::string& line) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        static const std::string prefix = "WavMix.AddWave id:";
        if (line.rfind(prefix, 0) == 0)
            rows.push_back(std::stoi(line.substr(prefix.size())));
        lines.push_back(line);
    }
    bool Paused() const override { return false; }
    bool ClearLogEnabled() const override { return false; }
    std::mutex mutex;
    std::vector<int> rows;
    std::vector<std::string> lines;
};

class WavProducerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        file = FixtureFolder() + "/sweep.wav";
        ASSERT_TRUE(WriteAudioFile(file, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 30.0, 7}), 44100, 2));
    }

    void SetUp() override { producer.WavMix.Format = SoundFormat{2, 44100, 16, 0}; }

    cMixRow* AddRow(float length, float overlaplen = 0, int32_t trigger = TriggerNone, float speed = 0)
    {
        cMixRow* row = rows.Add();
        row->filename = file;
        row->length = length;
        row->overlap = overlaplen != 0;
        row->overlaplen = overlaplen;
        row->trigger = trigger;
        row->MixParams.speed = speed;
        return row;
    }

    // Advances block by block (dt microseconds each) until the clock reaches `until` seconds.
    void AdvanceTo(double until, int64_t dt)
    {
        producer.AddEvents();
        while (producer.MainTime < until - 1e-6)
            producer.Advance(dt);
    }

    cSoundEvent* EventOf(int32_t row)
    {
        for (const auto& event : producer.WavMix.Events)
            if (event->RowId == row)
                return event.get();
        return nullptr;
    }

    // Renders blocks of `frames` until the mix stops; returns the frames delivered.
    int64_t RenderToEnd(int64_t frames, int64_t limit)
    {
        std::vector<int16_t> block(static_cast<size_t>(frames * 2));
        int64_t delivered = 0;
        while (!producer.Stopped && delivered < limit) {
            producer.RenderStep(block.data(), frames * 4);
            delivered += frames;
        }
        return delivered;
    }

    static inline std::string file;
    ui::MessageRecorder messages;
    cmixdata rows;
    cWavProducer producer;
};

} // namespace

TEST_F(WavProducerTest, EmptyPlaylistOnlyMovesTheClockAndEndsAtOnce)
{
    producer.SetNeedlePos(rows, 0, true, -1);
    EXPECT_EQ(producer.CursorRow, -1);
    producer.Advance(100000);
    EXPECT_FLOAT_EQ(producer.MainTime, 0.1f);
    std::vector<int16_t> block(882, 5);
    producer.RenderStep(block.data(), 1764);
    EXPECT_EQ(producer.Stopped, 1);
    EXPECT_EQ(std::count(block.begin(), block.end(), 0), 882);
}

TEST_F(WavProducerTest, OverlapStartsTheNextRowInsideTheBlockThatHoldsItsStart)
{
    AddRow(10, 2);
    AddRow(10);
    producer.SetNeedlePos(rows, 0, true, -1);
    EXPECT_EQ(producer.CursorRow, 0);
    AdvanceTo(7.8, 300000);
    ASSERT_NE(EventOf(0), nullptr);
    EXPECT_EQ(EventOf(1), nullptr);
    producer.Advance(300000);
    ASSERT_NE(EventOf(1), nullptr);
    EXPECT_NEAR(EventOf(1)->StartDelay, 0.2, 1e-5);
    EXPECT_EQ(producer.PlayingRowIndex, 1);
    EXPECT_EQ(producer.CursorRow, 1); // the last row: the cursor stays
}

TEST_F(WavProducerTest, NeedleInsideRowsStartsThemWithTheirOffsets)
{
    AddRow(10, 2);
    AddRow(10);
    struct Case {
        float pos;
        int32_t cursor;
        std::vector<int64_t> posMcs;       // per started row, in row order
        std::vector<int64_t> remainingMcs;
    } cases[] = {
        {9, -1, {9000000, 1000000}, {1000000, 9000000}},
        {5, 1, {5000000}, {5000000}},
    };
    for (const Case& c : cases) {
        producer.SetNeedlePos(rows, c.pos, true, -1);
        EXPECT_EQ(producer.CursorRow, c.cursor) << c.pos;
        producer.AddEvents();
        ASSERT_EQ(producer.WavMix.Events.Count(), static_cast<int32_t>(c.posMcs.size())) << c.pos;
        for (size_t i = 0; i < c.posMcs.size(); ++i) {
            cSoundEvent* event = EventOf(static_cast<int32_t>(i));
            ASSERT_NE(event, nullptr);
            EXPECT_EQ(event->StartDelay, 0.0f);
            EXPECT_EQ(event->Source->pos_mcs, c.posMcs[i]);
            EXPECT_EQ(event->Source->RemainingMcs, c.remainingMcs[i]);
            EXPECT_EQ(event->Source->LengthMcs, 10000000);
        }
        producer.AddEvents(); // acts once per needle move
        EXPECT_EQ(producer.WavMix.Events.Count(), static_cast<int32_t>(c.posMcs.size()));
    }
}

TEST_F(WavProducerTest, TriggersHoldTheMixUntilReleased)
{
    struct Case {
        int32_t trigger;
        int32_t waitState;
        std::atomic<uint8_t> cWavProducer::*flag;
    } cases[] = {
        {TriggerMouse, 2, &cWavProducer::MouseClicked},
        {TriggerKey, 1, &cWavProducer::KeyPressed},
    };
    for (const Case& c : cases) {
        rows.Clear();
        AddRow(10, 2);
        AddRow(10, 0, c.trigger);
        producer.SetNeedlePos(rows, 0, true, -1);
        AdvanceTo(8, 100000);
        producer.Advance(100000); // the block starting at 8 s holds the row's start
        EXPECT_EQ(producer.MainTime, 8.0f);
        EXPECT_EQ(producer.WaitState, c.waitState);
        EXPECT_EQ(producer.PlayingRowIndex, 1);
        producer.Advance(100000);
        EXPECT_EQ(producer.MainTime, 8.0f); // held while waiting
        EXPECT_EQ(EventOf(1), nullptr);
        (producer.*c.flag) = 1;
        producer.Advance(100000);
        ASSERT_NE(EventOf(1), nullptr);
        EXPECT_EQ(EventOf(1)->StartDelay, 0.0f);
        EXPECT_EQ(producer.*c.flag, 0);
        EXPECT_EQ(producer.WaitState, 0);
        EXPECT_FLOAT_EQ(producer.MainTime, 8.1f);
    }
}

TEST_F(WavProducerTest, OneReleaseStartsEveryTriggeredRowDueInTheBlock)
{
    AddRow(10, 2);
    AddRow(1, 0.95f, TriggerMouse); // 8 s
    AddRow(10, 0, TriggerMouse);    // 8.05 s: in the same 0.1 s block
    AddRow(10, 0, TriggerMouse);    // 18.05 s: waits for a click of its own
    producer.SetNeedlePos(rows, 0, true, -1);
    AdvanceTo(8, 100000);
    producer.Advance(100000);
    ASSERT_EQ(producer.WaitState, 2);
    producer.MouseClicked = 1;
    producer.Advance(100000);
    ASSERT_NE(EventOf(1), nullptr);
    ASSERT_NE(EventOf(2), nullptr);
    EXPECT_NEAR(EventOf(2)->StartDelay, 0.05, 1e-5);
    EXPECT_EQ(producer.WaitState, 0);
    EXPECT_EQ(producer.MouseClicked, 0);
    AdvanceTo(18, 100000);
    producer.Advance(100000);
    EXPECT_EQ(producer.WaitState, 2);
    EXPECT_EQ(EventOf(3), nullptr);
}

// Each row sounds from the first sample of its fragment at its own start, whatever the order of
// the starts: the rows before it are silent and its source opens with a click.
TEST_F(WavProducerTest, EveryRowStartsOnItsOwnFrameWhateverTheOrderOfStarts)
{
    const std::string silent = FixtureFolder() + "/silent.wav";
    const std::string click = FixtureFolder() + "/click.wav";
    std::vector<int16_t> samples(size_t{44100} * 2 * 12, 0);
    ASSERT_TRUE(WriteAudioFile(silent, AudioFileKind::Wav, samples, 44100, 2));
    samples[0] = samples[1] = 16000;
    ASSERT_TRUE(WriteAudioFile(click, AudioFileKind::Wav, samples, 44100, 2));
    struct Row {
        float length, overlap;
    };
    struct Case {
        const char* name;
        std::vector<Row> silentRows; // before the clicking row
        double clickAt;              // seconds
    } cases[] = {
        {"no overlap", {{10, 0}}, 10},
        {"overlap equal to the first row", {{10, 10}}, 0},
        {"overlap equal to the row above", {{10, 0}, {2, 2}}, 10},
        {"overlap longer than the row above", {{10, 0}, {2, 8}}, 4},
        {"two rows back", {{10, 0}, {2, 4}, {1, 5}}, 4},
    };
    for (const Case& c : cases) {
        rows.Clear();
        for (const Row& r : c.silentRows)
            AddRow(r.length, r.overlap)->filename = silent;
        AddRow(5)->filename = click;
        producer.SetNeedlePos(rows, 0, false, -1);
        const int64_t frames = 333; // blocks that do not divide the start times
        std::vector<int16_t> block(frames * 2), mix;
        for (int i = 0; i < 44100 * 20 / frames && !producer.Stopped; ++i) {
            producer.RenderStep(block.data(), frames * 4);
            mix.insert(mix.end(), block.begin(), block.end());
        }
        const auto first = std::find_if(mix.begin(), mix.end(), [](int16_t v) { return v != 0; });
        ASSERT_NE(first, mix.end()) << c.name;
        EXPECT_EQ((first - mix.begin()) / 2, std::lround(c.clickAt * 44100)) << c.name;
        EXPECT_EQ(*first, 16000) << c.name;
    }
}

TEST_F(WavProducerTest, TriggersAreIgnoredWhenNotObeyed)
{
    AddRow(10, 2);
    AddRow(10, 0, TriggerMouse);
    producer.SetNeedlePos(rows, 0, false, -1);
    AdvanceTo(8.1, 100000);
    EXPECT_EQ(producer.WaitState, 0);
    EXPECT_NE(EventOf(1), nullptr);
}

TEST_F(WavProducerTest, SoloRowPlaysAloneAtItsOwnStart)
{
    StartedRows started;
    AddRow(10, 2);
    AddRow(10);
    AddRow(10);
    producer.SetNeedlePos(rows, 0, true, 1);
    AdvanceTo(8, 100000);
    EXPECT_EQ(producer.WavMix.Events.Count(), 0);
    producer.Advance(100000);
    EXPECT_NE(EventOf(1), nullptr);
    RenderToEnd(4410, 44100 * 30);
    EXPECT_EQ(started.rows, std::vector<int>{1});
}

TEST_F(WavProducerTest, FastRowsPlayTheirShorterLength)
{
    AddRow(10, 0, TriggerNone, 100);
    producer.SetNeedlePos(rows, 0, true, -1);
    producer.Advance(10000);
    ASSERT_NE(EventOf(0), nullptr);
    EXPECT_EQ(EventOf(0)->Source->RemainingMcs, 5000000);
}

TEST_F(WavProducerTest, RowsThatStartBeforeTheClockDoNotStallTheMix)
{
    StartedRows started;
    AddRow(10);    // 0..10
    AddRow(2, 8);  // 10..12, and the next row starts 8 s before its end
    AddRow(3);     // 4..7: over before the cursor reaches it
    AddRow(10);    // 7..17: three seconds under way when reached
    AddRow(0);     // a zero-length row at 17
    AddRow(2);     // 17..19
    producer.SetNeedlePos(rows, 0, true, -1);
    const int64_t delivered = RenderToEnd(441, 44100 * 60);
    EXPECT_EQ(started.rows, (std::vector<int>{0, 2, 3, 1, 4, 5}));
    EXPECT_NEAR(delivered / 44100.0, 19.0, 0.011);
    EXPECT_EQ(producer.CursorRow, 5);
}

TEST_F(WavProducerTest, EightyMinuteClockMatchesTheDeliveredAudio)
{
    for (int i = 0; i < 10; ++i)
        AddRow(480); // reads run past the 30 s file: silence, yet the time is kept
    producer.SetNeedlePos(rows, 0, true, -1);
    const int64_t delivered = RenderToEnd(256, int64_t{44100} * 5000);
    const double seconds = delivered / 44100.0;
    EXPECT_NEAR(producer.ClockSeconds(), seconds, 256 / 44100.0);
    EXPECT_NEAR(producer.MainTime, seconds, 256 / 44100.0);
    EXPECT_NEAR(seconds, 4800.0, 2 * 256 / 44100.0);
}

TEST_F(WavProducerTest, NeedleMovesAndStopsDuringRenderingAreSafe)
{
    for (int i = 0; i < 4; ++i)
        AddRow(5, 1);
    producer.SetNeedlePos(rows, 0, true, -1);
    std::atomic<bool> done{false};
    std::thread sound([&] {
        std::vector<int16_t> block(882);
        while (!done)
            producer.RenderStep(block.data(), 1764);
    });
    for (int i = 0; i < 200; ++i)
        producer.SetNeedlePos(rows, static_cast<float>(i % 15), true, -1);
    producer.Stop();
    rows.Clear(); // what loading a project does once live play is stopped
    for (int i = 0; i < 4; ++i)
        AddRow(3);
    done = true;
    sound.join();
    EXPECT_EQ(producer.Stopped, 1);
    EXPECT_EQ(producer.WavMix.Events.Count(), 0);
}

namespace {

// Waits until the producer's worker has `count` sources ready.
bool WaitForPrepared(cWavProducer& producer, size_t count)
{
    return PollUntil([&] { return producer.PreparedCount() >= count; });
}

// What one render of a mix gave: its samples, trace lines and messages, and how rows started.
struct MixRun {
    std::vector<int16_t> samples;
    std::vector<std::string> lines;
    std::vector<std::string> messages;
    std::vector<std::string> messagesBeforeTheStarts;
    int64_t prepared = 0, opened = 0;
};

} // namespace

class PreparedSourcesTest : public WavProducerTest {
protected:
    // Row 0 under way at the needle (opened by SetNeedlePos), row 1 a missing file and row 2 with
    // tempo and pitch changed, both opened by the worker.
    void AddMix()
    {
        AddRow(2, 0, TriggerNone, 8)->MixParams.pitch = 700;
        AddRow(1)->filename = file + ".missing.wav";
        cMixRow* last = AddRow(2, 0, TriggerNone, -20);
        last->MixParams.pitch = -1500;
        last->start = 3.5f;
        last->MixParams.fadein = true;
        last->MixParams.fadeinlength = 0.5f;
    }

    // Renders the mix from 0.25 s in 10 ms blocks; after the first block (prepared: once the worker
    // has rows 1 and 2 ready) `edit` runs.
    MixRun Render(bool prepare, const std::function<void()>& edit)
    {
        MixRun run;
        StartedRows trace;
        producer.PrepareSources = prepare;
        producer.PreparedRowStarts = producer.OpenedRowStarts = 0;
        messages.Clear();
        producer.SetNeedlePos(rows, 0.25f, true, -1);
        std::vector<int16_t> block(441 * 2);
        producer.RenderStep(block.data(), 441 * 4);
        run.samples = block;
        if (prepare) {
            EXPECT_TRUE(WaitForPrepared(producer, 2));
        }
        run.messagesBeforeTheStarts = messages.Texts();
        edit();
        while (!producer.Stopped && run.samples.size() < 44100u * 20) {
            producer.RenderStep(block.data(), 441 * 4);
            run.samples.insert(run.samples.end(), block.begin(), block.end());
        }
        run.lines = trace.lines;
        run.messages = messages.Texts();
        run.prepared = producer.PreparedRowStarts;
        run.opened = producer.OpenedRowStarts;
        return run;
    }
};

TEST_F(PreparedSourcesTest, PreparedRowsSoundTraceAndReportAsRowsOpenedAtTheirStarts)
{
    AddMix();
    const MixRun opened = Render(false, [] {});
    const MixRun prepared = Render(true, [] {});
    EXPECT_EQ(opened.prepared, 0);
    EXPECT_EQ(opened.opened, 3);
    EXPECT_EQ(prepared.prepared, 3);
    EXPECT_EQ(prepared.opened, 0);
    EXPECT_EQ(prepared.samples, opened.samples);
    EXPECT_EQ(prepared.lines, opened.lines);
    // The missing file's message comes once, at its row's start, not when it is opened ahead.
    EXPECT_TRUE(prepared.messagesBeforeTheStarts.empty());
    const std::vector<std::string> missing{"Trying to open audio file, file doesn't exist.\r\nFile name: " +
                                           rows.Get(1)->filename};
    EXPECT_EQ(prepared.messages, missing);
    EXPECT_EQ(opened.messages, missing);
}

TEST_F(PreparedSourcesTest, EditsAfterPreparingAreHeard)
{
    const std::string file2 = FixtureFolder() + "/other.wav";
    ASSERT_TRUE(WriteAudioFile(file2, AudioFileKind::Wav, MakeSweepNoise({44100, 1, 10.0, 11}), 44100, 1));
    struct Case {
        const char* what;
        std::function<void(cmixdata&)> edit;
        bool sourcesStillFit; // the prepared sources serve the starts all the same
        size_t compareFrom;   // the first sample compared
    } cases[] = {
        // A source that no longer fits is opened again, by the worker when it sees the edit in
        // time, else at the row's start: either way the edit is heard.
        {"speed", [](cmixdata& r) { r.Get(2)->MixParams.speed = 15; }, false, 0},
        {"pitch", [](cmixdata& r) { r.Get(2)->MixParams.pitch = 300; }, false, 0},
        {"fragment start", [](cmixdata& r) { r.Get(2)->start = 1.25f; }, false, 0},
        {"file", [&](cmixdata& r) { r.Get(1)->filename = file2; }, false, 0},
        {"volume and fades only",
         [](cmixdata& r) {
             r.Get(2)->MixParams.volume = 60;
             r.Get(2)->MixParams.fadeinlength = 1;
         },
         true, 0},
        // Row 1 has no stream to lose. The sounding row 0 dies with its streams, a little later
        // where it had read ahead: compare from a second on.
        {"every stream of the library freed", [](cmixdata&) { BASS_Free(); }, false, 44100 * 2},
    };
    for (const Case& c : cases) {
        rows.Clear();
        AddMix();
        const MixRun opened = Render(false, [&] { c.edit(rows); });
        rows.Clear();
        AddMix();
        const MixRun prepared = Render(true, [&] { c.edit(rows); });
        EXPECT_EQ(prepared.prepared + prepared.opened, 3) << c.what;
        if (c.sourcesStillFit) {
            EXPECT_EQ(prepared.opened, 0) << c.what;
        }
        ASSERT_EQ(prepared.samples.size(), opened.samples.size()) << c.what;
        EXPECT_TRUE(std::equal(prepared.samples.begin() + static_cast<long>(c.compareFrom), prepared.samples.end(),
                               opened.samples.begin() + static_cast<long>(c.compareFrom)))
            << c.what;
        EXPECT_EQ(prepared.messages, opened.messages) << c.what;
    }
}

TEST_F(PreparedSourcesTest, NeedleMovesStopsAndReloadsWhilePreparingAreSafe)
{
    // Short rows keep the worker busy while the needle jumps, the mix stops and the rows are
    // replaced, as loading a project does.
    for (int i = 0; i < 12; ++i)
        AddRow(0.3f, 0.1f, TriggerNone, static_cast<float>(i % 3) * 5)->MixParams.pitch = 100 * i;
    std::atomic<bool> done{false};
    std::thread sound([&] {
        std::vector<int16_t> block(512);
        while (!done)
            producer.RenderStep(block.data(), 1024);
    });
    for (int round = 0; round < 60; ++round) {
        producer.SetNeedlePos(rows, static_cast<float>(round % 7) * 0.37f, true, round % 5 == 0 ? 3 : -1);
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 4));
        if (round % 3 == 0) {
            producer.Stop();
            rows.Clear();
            for (int i = 0; i < 12; ++i)
                AddRow(0.2f + 0.05f * (round % 4), 0.05f, TriggerNone, static_cast<float>(round % 2) * 10);
        }
        producer.PrepareSources = round % 11 != 10;
    }
    producer.Stop();
    done = true;
    sound.join();
    EXPECT_EQ(producer.Stopped, 1);
    EXPECT_EQ(producer.WavMix.Events.Count(), 0);
    EXPECT_EQ(producer.PreparedCount(), 0u);
}

// A live start whose source is not ready never opens its file on the sound thread: the row is late,
// counted and traced, and joins the mix once the worker has opened it further on; from that frame
// it sounds exactly as in the export, and before it the mix goes on without it.
TEST_F(PreparedSourcesTest, LateLiveStartJoinsWhereItHasGotTo)
{
    const std::string other = FixtureFolder() + "/late.wav";
    ASSERT_TRUE(WriteAudioFile(other, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 42.0, 12}), 44100, 2));
    AddRow(3, 1);               // 0..3 s
    cMixRow* late = AddRow(40); // 2..42 s: room for a join however slowly the worker opens it
    late->filename = other;
    late->start = 1.5f;
    late->MixParams.volume = 80;
    std::vector<int16_t> block(441 * 2);
    const auto render = [&](std::vector<int16_t>& out, double until) {
        while (!producer.Stopped && producer.ClockSeconds() < until) {
            producer.RenderStep(block.data(), 441 * 4);
            out.insert(out.end(), block.begin(), block.end());
        }
    };
    const auto exportRender = [&] {
        std::vector<int16_t> out;
        producer.SetNeedlePos(rows, 0, false, -1);
        render(out, 60);
        return out;
    };
    const std::vector<int16_t> exported = exportRender();
    late->MixParams.volume = 0;
    const std::vector<int16_t> withoutLateRow = exportRender();
    late->MixParams.volume = 80;

    StartedRows trace;
    std::vector<int16_t> live;
    live.reserve(exported.size() + block.size()); // so that only the render step could allocate
    const int64_t openedBefore = producer.OpenedRowStarts;
    producer.SetNeedlePos(rows, 0, true, -1); // opens row 0 at once; row 1 is left to the worker
    const int64_t allocationsBefore = SoundThreadAllocations();
    {
        // The worker needs the mixer's lock to hand a source over: holding it (the render step
        // takes it again on this thread) keeps row 1 from being ready at its start.
        std::lock_guard<cMutex> worker(producer.WavMix.Mutex);
        LiveRenderScope sound;
        render(live, 3.5);
    }
    EXPECT_FALSE(producer.Stopped) << "a late row keeps the mix going after the last sound";
    EXPECT_EQ(producer.LateRowStarts, 1);
    EXPECT_EQ(producer.LateRowsJoined, 0);
    EXPECT_EQ(producer.PlayingRowIndex, 1);
    ASSERT_TRUE(WaitForPrepared(producer, 1)); // the worker has opened row 1 at its join
    {
        LiveRenderScope sound;
        render(live, 60);
    }
    DrainTraceRing();
    EXPECT_EQ(producer.LateRowStarts, 1);
    EXPECT_EQ(producer.LateRowsJoined, 1);
    EXPECT_EQ(producer.OpenedRowStarts, openedBefore); // nothing opened on the sound thread
    EXPECT_EQ(SoundThreadAllocations(), allocationsBefore); // counted in the build with sound checks
    EXPECT_EQ(trace.rows, (std::vector<int>{0, 1}));
    long long joinFrames = -1;
    for (const std::string& line : trace.lines)
        std::sscanf(line.c_str(), "late start: row 1 joins %lld frames into its fragment", &joinFrames);
    EXPECT_NE(std::find(trace.lines.begin(), trace.lines.end(), "late start: row 1 joins when its source is ready"),
              trace.lines.end());
    ASSERT_GE(joinFrames, 44100 * 3 / 2) << "joins after the clock it was late at";
    const size_t join = static_cast<size_t>(2 * 44100 + joinFrames) * 2;
    ASSERT_EQ(live.size(), exported.size());
    ASSERT_LT(join, live.size());
    EXPECT_TRUE(std::equal(live.begin(), live.begin() + static_cast<long>(join), withoutLateRow.begin()));
    EXPECT_TRUE(std::equal(live.begin() + static_cast<long>(join), live.end(), exported.begin() + static_cast<long>(join)));
}
