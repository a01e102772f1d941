// A long recording through the record wizard's chain: 10 ms blocks from the paced null input,
// carrying a running counter, through the recorder node into the encoder node writing MP3 with the
// wizard's settings, while a Qt event loop runs the 100 ms meter timer. Reports lost, late and
// dropped input, breaks in the counter, the longest gap between two pulls and the recording
// thread's work per block. Usage: record_bench [minutes] (default 60)
#include "engine/class_EncoderNode.h"
#include "engine/class_RecorderNode.h"
#include "platform/sound/SoundRecord.h"
#include "platform/ui/MessageBox.h"
#include "live_figures.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Probe {
    uint16_t counter = 0;     // the generator's next frame value
    uint16_t expected = 0;    // the next value the node should see
    int64_t breaks = 0;       // blocks whose first frame did not follow the previous block
    int64_t blocks = 0;
    Clock::time_point blockStart;
    std::vector<float> workUs; // per block, sized before the start
};

// Runs on the recording thread just before the block is handed to the node.
void CounterGenerator(void* buffer, uint32_t length, void* user)
{
    auto& probe = *static_cast<Probe*>(user);
    probe.blockStart = Clock::now();
    auto* samples = static_cast<int16_t*>(buffer);
    for (uint32_t i = 0; i < length / 4; ++i, ++probe.counter)
        samples[i * 2] = samples[i * 2 + 1] = static_cast<int16_t>(probe.counter);
}

// Passes the recorder's bytes to the encoder and times the gaps between the pulls.
class PullTimer : public TAudioTransformNode {
public:
    int GetData(void* buffer, int length) override
    {
        const Clock::time_point now = Clock::now();
        if (pulls++ > 0)
            longestGapMs = std::max(longestGapMs, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
        return SourceNode->GetData(buffer, length);
    }
    int64_t pulls = 0;
    double longestGapMs = 0;
    Clock::time_point last;
};

double Percentile(std::vector<float> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

} // namespace

int main(int argc, char** argv)
{
    const double minutes = argc > 1 ? std::max(0.01, std::atof(argv[1])) : 60.0;
    QCoreApplication application(argc, argv);
    // As the application does: the encoder's loop lets the event loop run while it waits for data,
    // so that the meter timer and the stop timer below fire.
    ui::InstallMessageSinks();
    ui::MessageRecorder quiet; // no box is ever shown by a benchmark
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("record_bench_" + std::to_string(QCoreApplication::applicationPid()) + ".mp3")).string();

    Probe probe;
    probe.workUs.reserve(static_cast<size_t>(minutes * 60 * 100 + 1000));
    BASS_SetOption(BASS_OPTION_REC_PERIOD, 10);
    BASS_NullInputSetGenerator(CounterGenerator, &probe);

    TRecorderNode recorder;
    recorder.OnRecordBlock = [&probe](TAudioTransformNode*, const void* buffer, int) {
        const auto first = static_cast<uint16_t>(static_cast<const int16_t*>(buffer)[0]);
        if (probe.blocks++ > 0 && first != probe.expected)
            ++probe.breaks;
        probe.expected = static_cast<uint16_t>(first + 441);
    };
    recorder.OnAmpChanged = [&probe](TAudioTransformNode*) {
        if (probe.workUs.size() < probe.workUs.capacity())
            probe.workUs.push_back(std::chrono::duration<float, std::micro>(Clock::now() - probe.blockStart).count());
    };
    recorder.Device = static_cast<int>(recorder.GetDevices().size()) - 1; // the null input
    recorder.SetActive(true);
    if (!recorder.Active()) {
        std::fprintf(stderr, "capture did not start: %s\n", recorder.ErrorText().c_str());
        return 1;
    }

    PullTimer pulls;
    pulls.SourceNode = &recorder;
    TEncoderNode encoder;
    encoder.SourceNode = &pulls;
    encoder.SetOutputFileName(path);
    encoder.OutputFormatDetect();
    encoder.MP3KBitRate = 256;
    encoder.MP3Channels = 2;
    encoder.LameKeys = "-h";
    encoder.RealTimeProcess = true;

    // What the wizard's timer does every 100 ms: the meter level and the time label.
    float meter = 0, shownTime = 0;
    QTimer meterTimer;
    meterTimer.setInterval(100);
    QObject::connect(&meterTimer, &QTimer::timeout, [&] {
        meter = recorder.amp_mid;
        sonorel_bench::PeakLoad();
        shownTime = recorder.RecordTime();
    });
    meterTimer.start();
    QTimer::singleShot(static_cast<int>(minutes * 60000), [&] { encoder.Stop(); });

    recorder.SetRecord(true);
    const Clock::time_point start = Clock::now();
    const bool written = encoder.Encode();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const float recordTime = recorder.RecordTime();
    recorder.SetRecord(false);
    const BassRecordInfo info = BASS_RecordGetInfo();
    recorder.SetActive(false);

    const BassHandle file = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    const double fileSeconds = file ? BASS_ChannelBytes2Seconds(file, BASS_ChannelGetLength(file)) : -1;
    BASS_StreamFree(file);

    std::printf("ran %.1f s, file %s, %.2f s of MP3 (record time %.2f s)\n", seconds,
                written ? "written" : ("NOT written: " + encoder.ErrorText()).c_str(), fileSeconds, recordTime);
    std::printf("blocks %lld, overflows %lld, dropped bytes %lld, counter breaks %lld\n",
                static_cast<long long>(info.blocksDelivered), static_cast<long long>(info.overflows),
                static_cast<long long>(recorder.DroppedBytes()), static_cast<long long>(probe.breaks));
    sonorel_bench::PrintLiveFigures("recording thread", info.realTimePriority, info.worstBlock, info.blockFrames,
                                    info.frequency);
    std::printf("pulls %lld, longest gap between two pulls %.1f ms\n", static_cast<long long>(pulls.pulls),
                pulls.longestGapMs);
    const double p999 = Percentile(probe.workUs, 0.999);
    std::printf("recording thread per 10 ms block: median %.1f us, 99.9th %.1f us (%.2f %% of the block), worst %.1f us\n",
                Percentile(probe.workUs, 0.5), p999, p999 / 100.0, Percentile(probe.workUs, 1.0));
    std::printf("timer's last reading: level %.3f, %.2f sec\n", meter, shownTime);
    for (const std::string& text : quiet.Texts())
        std::printf("message: %s\n", text.c_str());
    std::remove(path.c_str());
    return written && info.overflows == 0 && recorder.DroppedBytes() == 0 && probe.breaks == 0 ? 0 : 1;
}
