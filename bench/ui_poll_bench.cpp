// The UI thread's share of a live performance: while the demo mix plays on the null output, how
// long one 30 ms poll (play state, position display, trigger window) and one repaint of the main
// window take, and whether moving the window around and repainting it ever made a sound block
// late. Run under xvfb-run: ui_poll_bench PROJECT.snmx [seconds]
#include "model/class_Application.h"
#include "model/class_Switches.h"
#include "platform/sound/SoundLibrary.h"
#include "windows/Forms.h"
#include "windows/class_SonorelApplication.h"
#include "windows/form_Main.h"
#include "live_figures.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Timings {
    std::vector<double> pollMs, pollPaintMs, fullRepaintMs;
};

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

template <typename F>
double TimeMs(F&& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

void Report(const char* what, const std::vector<double>& ms)
{
    std::printf("%-26s median %.3f ms, 99th %.3f ms, worst %.3f ms (%zu samples)\n", what, Percentile(ms, 0.5),
                Percentile(ms, 0.99), Percentile(ms, 1.0), ms.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_poll_bench PROJECT.snmx [seconds]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    SetCommandLine({"sonorel", argv[1], "closenoquery"});
    TSonorelApplication application(argc, argv);
    CreateForms();
    FormMain->show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500) // first activation: output opened, project loaded
        QCoreApplication::processEvents();

    FormMain->PlayClick();
    const BassOutputInfo before = BASS_GetOutputInfo();
    Timings timings;
    QTimer poll;
    int step = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        timings.pollMs.push_back(TimeMs([] { FormMain->TriggersTimerTimer(); }));
        // The paints the poll asked for (position display, sounding row).
        timings.pollPaintMs.push_back(TimeMs([] { QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest); }));
        // Every tenth poll, drag the window a little, as a performer moving it would, and paint it whole.
        if (++step % 10 == 0) {
            sonorel_bench::PeakLoad();
            FormMain->move(100 + (step % 40), 50 + (step % 25));
            timings.fullRepaintMs.push_back(TimeMs([] { FormMain->repaint(); }));
        }
    });
    poll.start(30);
    QTimer::singleShot(seconds * 1000, &application, &QCoreApplication::quit);
    application.exec();

    const BassOutputInfo after = BASS_GetOutputInfo();
    std::printf("played %d s of the mix on %s; mix clock %.2f s\n", seconds,
                after.nullOutput ? "the null output" : after.deviceText.c_str(), snl.WavProducer.MainTime.load());
    Report("poll (TriggersTimer):", timings.pollMs);
    Report("paints the poll caused:", timings.pollPaintMs);
    Report("whole window after a move:", timings.fullRepaintMs);
    std::printf("output blocks written: %lld; worst wake-up before play: %.2f ms\n",
                static_cast<long long>(after.blocksWritten), before.worstBlock.lateUs / 1000.0);
    sonorel_bench::PrintLiveFigures(after);
    DestroyForms();
    return 0;
}
