// The mix view and the transition editor under load. Mix view: a 200-row mix cut from 20 source
// files whose waveform images are cached (the second opening): time to show it, one scroll or
// zoom step with its repaint, the UI thread's share of one CPU while idle, and one 25 ms play
// follow-up with its repaint. Transition editor: two 5-minute rows zoomed in ten times, one
// scroll-bar move with the re-layout and repaint. Targets: 1 s, 16 ms, 5 %, 8 ms, 16 ms.
// Usage: mix_editors_bench [--brief] (a brief run only shows that the benchmark still works).
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "AudioControls/class_AudioMixTable.h"
#include "AudioControls/class_AudioView.h"
#include "model/class_Application.h"
#include "platform/sound/SoundLibrary.h"
#include "support/audio_fixtures.h"
#include "windows/form_MixView.h"
#include "windows/form_Transition.h"

namespace {

// The sizes of a run.
struct Sizes {
    int sources = 20;
    int idleMs = 3000;
    double transitionSeconds = 300;
};
constexpr Sizes kBrief{2, 300, 30};

double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Median and worst of `runs` timings of `step`, in milliseconds.
void Report(const char* what, int runs, const std::function<void()>& step, double target)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-58s median %8.2f ms  worst %8.2f ms  (target %.0f ms)\n", what, ms[ms.size() / 2], ms.back(), target);
}

void WaitLoaded(TAudioMixTable& mix)
{
    for (int i = 0; i < mix.AudioViewCount(); ++i)
        mix.GetAudioView(i)->Store().WaitLoaded();
    QApplication::processEvents();
}

std::vector<std::string> SourceFiles(int count, double seconds)
{
    std::vector<std::string> files;
    const std::string folder = sonorel_test::FixtureFolder();
    for (int i = 0; i < count; ++i) {
        files.push_back(folder + "/source" + std::to_string(i) + ".wav");
        sonorel_test::WriteAudioFile(files.back(), sonorel_test::AudioFileKind::Wav,
                                     sonorel_test::MakeSweepNoise({44100, 2, seconds, uint32_t(i + 1)}), 44100, 2);
    }
    return files;
}

void MixViewFigures(const Sizes& sizes)
{
    const auto files = SourceFiles(sizes.sources, 120.0);
    snl.mixdata.Clear();
    for (int i = 0; i < 200; ++i) {
        cMixRow* row = snl.mixdata.Add();
        row->name = "row";
        row->filename = files[i % files.size()];
        row->start = float(i % 7) * 10.0f;
        row->length = 40.0f;
        row->overlap = i % 3 == 0;
        row->overlaplen = 4.0f;
        row->MixParams.fadein = row->MixParams.fadeout = i % 2 == 0;
        row->MixParams.fadeinlength = row->MixParams.fadeoutlength = 3.0f;
    }
    TFormMixView form;
    form.resize(1580, 330);
    // First opening builds the cached images.
    form.ShowWholeMix();
    WaitLoaded(*form.Mix);
    form.done(0);

    QElapsedTimer shown;
    shown.start();
    form.ShowWholeMix();
    form.show();
    WaitLoaded(*form.Mix);
    form.repaint();
    std::printf("%-58s %8.1f ms  (target 1000 ms)\n", "mix view of 200 rows shown (images cached)", shown.nsecsElapsed() / 1e6);

    for (int i = 0; i < 8; ++i)
        form.Mix->ZoomIn();
    Report("mix view scroll step + repaint", 50, [&] {
        form.MixPosition->setValue((form.MixPosition->value() + 50) % form.MixPosition->maximum());
        form.repaint();
    }, 16);
    bool in = true;
    Report("mix view zoom step + repaint", 30, [&] {
        in ? form.Mix->ZoomIn() : form.Mix->ZoomOut();
        in = !in;
        form.repaint();
    }, 16);

    const double cpu0 = ThreadCpuMs();
    QElapsedTimer idle;
    idle.start();
    QEventLoop loop;
    QTimer::singleShot(sizes.idleMs, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("%-58s %8.1f %%  (target 5 %%)\n", "mix view idle: UI thread busy", 100.0 * (ThreadCpuMs() - cpu0) / idle.elapsed());

    form.PlayClick();
    std::vector<int16_t> block(1103 * 2);
    Report("mix view playing: 25 ms follow-up + repaint", 100, [&] {
        BASS_ManualOutputPump(block.data(), 1103);
        form.PosTimerTimer();
        form.repaint();
    }, 8);
    form.StopClick();
    form.done(0);
}

void TransitionFigures(const Sizes& sizes)
{
    const auto files = SourceFiles(2, sizes.transitionSeconds);
    snl.mixdata.Clear();
    for (const std::string& file : files) {
        cMixRow* row = snl.mixdata.Add();
        row->name = "five minutes";
        row->filename = file;
        row->length = static_cast<float>(sizes.transitionSeconds);
    }
    snl.SelectedRow = 0;
    TFormTransition form;
    form.Prepare();
    form.show();
    WaitLoaded(*form.Mix);
    for (int i = 0; i < 10; ++i)
        form.Mix->ZoomIn();
    int step = 0;
    Report("transition, 10 zoom-ins: scroll bar move + repaint", 50, [&] {
        form.ScrollBar1->setValue(4000 + (step++ % 20) * 50);
        form.repaint();
    }, 16);
    form.done(0);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The manual output: the benchmark plays the blocks itself.
    BASS_ManualOutputEnable(true);
    snl.Play(0, 44100);
    const Sizes sizes = argc > 1 && std::string(argv[1]) == "--brief" ? kBrief : Sizes{};
    MixViewFigures(sizes);
    TransitionFigures(sizes);
    snl.WavProducer.Stop();
    snl.mixdata.Clear();
    return 0;
}
