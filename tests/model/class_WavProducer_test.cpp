#include "model/class_WavProducer.h"

#include "platform/trace/Trace.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>
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
    EXPECT_EQ(started.rows, (std::vector<int>{0, 1, 3, 4, 5}));
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
