// One repaint of a 960-pixel-wide waveform view (the picture rebuilt and copied to the widget) at
// zooms from the whole block down to a few samples per column, for the low-rate image of a
// 3-hour file and for raw 44.1 kHz stereo samples; with markers, zones and the ruler; and for a
// view 200000 pixels wide of which a 960-pixel scroll area shows a part. Target: under 2 ms.
#include <cstdint>
#include <memory>
#include <vector>

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <benchmark/benchmark.h>

#include "AudioControls/class_MarkersWavView.h"
#include "support/sample_block.h"

namespace {

const std::vector<std::int16_t>& ThreeHourImage()
{
    static const auto block = sonorel_test::SweepNoiseBlock(441 * 3 * 3600, 1, 441, 0.01, 200);
    return block;
}

const std::vector<std::int16_t>& FiveMinutesRaw()
{
    static const auto block = sonorel_test::SweepNoiseBlock(44100 * 300, 2, 44100, 30, 5000);
    return block;
}

void Decorate(TMarkersWavView& view)
{
    view.TotalTime = 3 * 3600;
    view.TimeLineShow = true;
    for (int i = 0; i < 10; ++i)
        view.AddZone("", i * 0.1f + 0.01f, 0.05f);
    view.SetSelStart(0.3f);
    view.SetSelLen(0.2f);
}

// Shows the view's window, sets the zoom so that the view covers `viewLen` of the block around
// its middle, and times Redraw plus the copy to the widget.
void TimeRepaint(benchmark::State& state, TMarkersWavView& view, QWidget& window, const std::vector<std::int16_t>& block)
{
    window.show();
    view.SetMemBuffer(block.data(), static_cast<std::int64_t>(block.size() * 2));
    const float viewLen = 1.0f / static_cast<float>(state.range(0));
    view.SetViewLen(viewLen);
    view.SetViewStart(0.5f - viewLen * 0.5f);
    QApplication::processEvents();
    for (auto _ : state) {
        view.Redraw();
        view.repaint();
    }
    state.counters["columns_drawn"] = view.PictureArea().width();
}

void Repaint(benchmark::State& state, const std::vector<std::int16_t>& block, bool decorated)
{
    TMarkersWavView view;
    view.resize(960, 160);
    if (decorated)
        Decorate(view);
    TimeRepaint(state, view, view, block);
}

void BM_RepaintImage(benchmark::State& state) { Repaint(state, ThreeHourImage(), false); }
void BM_RepaintRaw(benchmark::State& state) { Repaint(state, FiveMinutesRaw(), false); }
void BM_RepaintImageWithMarkersAndRuler(benchmark::State& state) { Repaint(state, ThreeHourImage(), true); }

void BM_RepaintWideViewInScrollArea(benchmark::State& state)
{
    QScrollArea area;
    area.resize(960 + 2 * area.frameWidth(), 200);
    auto* view = new TMarkersWavView;
    view->resize(200000, 160);
    Decorate(*view);
    area.setWidget(view);
    area.horizontalScrollBar()->setValue(100000);
    TimeRepaint(state, *view, area, ThreeHourImage());
}

// The range argument is the zoom: the view shows 1/N of the block.
#define ZOOMS ->Arg(1)->Arg(10)->Arg(1000)->Arg(100000)->Arg(10000000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_RepaintImage) ZOOMS;
BENCHMARK(BM_RepaintRaw) ZOOMS;
BENCHMARK(BM_RepaintImageWithMarkersAndRuler) ZOOMS;
BENCHMARK(BM_RepaintWideViewInScrollArea)->Arg(1)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
