// The speed of making a mix inside the program: adding a 60-minute MP3 source (with and without
// the encoder's info tag), dropping a zone into a 500-row playlist, and saving a zone in a
// project of 100 bins of 50 zones. Run under xvfb-run: bins_bench [FOLDER] [--edits-only] [--minutes N]
// (the MP3s are made in FOLDER, by default sonorel_bins_bench in the temporary folder, once, with sox
// and lame, and kept there for later runs). --edits-only skips the adding; --minutes sets the
// sources' length (default 60).
#include "AudioControls/class_AudioView.h"
#include "model/class_Switches.h"
#include "platform/ui/DragController.h"
#include "platform/ui/MessageBox.h"
#include "windows/Forms.h"
#include "windows/class_SonorelApplication.h"
#include "windows/form_Main.h"
#include "windows/frame_mixedit.h"
#include "windows/frame_reposedit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

template <typename F>
double TimeMs(F&& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

// `seconds` of pink noise as MP3; `infoTag` false leaves out the encoder's info tag.
std::string LongMp3(const std::string& folder, int seconds, bool infoTag)
{
    const std::string path =
        folder + "/" + std::to_string(seconds) + (infoTag ? "s_tagged.mp3" : "s_untagged.mp3");
    if (!QFileInfo::exists(QString::fromStdString(path))) {
        const std::string command = "sox -q -n -r 44100 -c 2 -b 16 -t wav - synth " + std::to_string(seconds) +
                                    " pinknoise vol 0.3 | lame --quiet " +
                                    std::string(infoTag ? "" : "-t ") + "-b 128 - '" + path + "'";
        std::printf("making %s ...\n", path.c_str());
        std::fflush(stdout);
        if (std::system(command.c_str()) != 0)
            std::exit(1);
    }
    return path;
}

void AddingALongSource(const std::string& path)
{
    ui::MessageRecorder quiet;
    quiet.QueueAnswer(ui::MsgResult::Ok);
    FormMain->NewProject1Click();
    QDir(QString::fromStdString(DefaultWaveCacheFolder())).removeRecursively();
    TAudioView* view = FormMain->LoopView;

    // The longest gap between the ticks of a 10 ms timer shows the longest stall of the UI thread.
    QElapsedTimer sinceTick;
    double worstGap = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        worstGap = std::max(worstGap, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    const double shown = TimeMs([&] { FormMain->OpenSourceFile(path, true); });
    sinceTick.start();
    probe.start(10);
    QElapsedTimer filling;
    filling.start();
    while (view->Store().Loading())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double filled = filling.nsecsElapsed() / 1e6;
    probe.stop();

    FormMain->OpenSourceFile(path, true); // the same file: no reload
    view->SetFileName("");
    const double fromCache = TimeMs([&] {
        view->SetFileName(path);
        view->Store().WaitLoaded();
        view->Redraw();
    });
    std::printf("%s: shown in %.0f ms; image filled in %.0f ms more, worst UI stall meanwhile %.1f ms;"
                " again from its cache %.1f ms (cache used: %s)\n",
                QFileInfo(QString::fromStdString(path)).fileName().toUtf8().constData(), shown, filled, worstGap,
                fromCache, view->Store().LoadedFromCache() ? "yes" : "no");
}

void DroppingAZoneInto500Rows(const std::string& source)
{
    snl.WavProducer.Stop();
    snl.mixdata.Clear();
    snl.Bins.Clear();
    cBin* bin = snl.Bins.Add();
    bin->title = "bin";
    bin->filename = source;
    *bin->Items.Add() = cBinItem{"zone", source, 10, 20};
    for (int i = 0; i < 500; ++i)
        *snl.mixdata.Add() = cMixRow{"row " + std::to_string(i), source, {}, 0, 5};
    snl.OnChange(nullptr);
    FormMain->playlisteditorClick();
    QCoreApplication::processEvents();
    TPlaylistGrid* strip = FormMain->ReposEdits[0]->StringGrid1;
    TPlaylistGrid* playlist = FormMain->PlaylistEdit->Grid;
    QWindow* window = FormMain->windowHandle();
    const QPoint zone = strip->viewport()->mapTo(FormMain, QPoint(20, 10));
    const QPoint row = playlist->viewport()->mapTo(FormMain, QPoint(40, 20));
    std::vector<double> ms;
    for (int i = 0; i < 20; ++i) {
        QTest::mousePress(window, Qt::LeftButton, {}, zone);
        QTest::mouseMove(window, zone + QPoint(8, 0));
        QTest::mouseMove(window, row);
        ms.push_back(TimeMs([&] {
            QTest::mouseRelease(window, Qt::LeftButton, {}, row);
            playlist->repaint();
        }));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("drop a zone into %d rows, release to repainted grid: median %.2f ms, worst %.2f ms\n",
                snl.mixdata.Count() - 20, ms[ms.size() / 2], ms.back());
}

void SavingAZoneIn100BinsOf50(const std::string& source)
{
    snl.mixdata.Clear();
    snl.Bins.Clear();
    for (int b = 0; b < 100; ++b) {
        cBin* bin = snl.Bins.Add();
        bin->title = "bin " + std::to_string(b);
        bin->filename = source;
        for (int z = 0; z < 50; ++z)
            *bin->Items.Add() = cBinItem{bin->title + " #" + std::to_string(z + 1), source, float(z), 1};
    }
    snl.OnChange(nullptr);
    FormMain->ShowPage(PageBinEditIndex);
    ui::MessageRecorder answers;
    std::vector<double> ms;
    for (int i = 0; i < 20; ++i) {
        FormMain->LoopView->SetSelStart(0.1f);
        FormMain->LoopView->SetSelLen(0.01f);
        answers.QueueInput("saved");
        ms.push_back(TimeMs([] {
            FormMain->Button1Click();
            FormMain->repaint();
        }));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("save a zone in 100 bins of 50 zones, refresh and repaint included: median %.2f ms, worst %.2f ms\n",
                ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char** argv)
{
    std::string folder = QDir::tempPath().toStdString() + "/sonorel_bins_bench";
    bool editsOnly = false;
    double minutes = 60;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--edits-only")
            editsOnly = true;
        else if (arg == "--minutes" && i + 1 < argc)
            minutes = std::atof(argv[++i]);
        else
            folder = arg;
    }
    QDir().mkpath(QString::fromStdString(folder));
    SetCommandLine({"sonorel", "closenoquery"});
    TSonorelApplication application(argc, argv);
    CreateForms();
    FormMain->show();
    FormMain->move(0, 0);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500) // first activation: the output opened
        QCoreApplication::processEvents();
    const int seconds = std::max(1, static_cast<int>(minutes * 60));
    const std::string tagged = LongMp3(folder, seconds, true);
    const std::string untagged = LongMp3(folder, seconds, false);
    if (!editsOnly) {
        AddingALongSource(tagged);
        AddingALongSource(untagged);
    }
    DroppingAZoneInto500Rows(tagged);
    SavingAZoneIn100BinsOf50(tagged);
    DestroyForms();
    return 0;
}
