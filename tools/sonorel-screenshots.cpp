// sonorel-screenshots FOLDER PROJECT: opens PROJECT (one with real music, e.g. from make_demo) as a
// person would and saves into FOLDER a picture of each page of the main window (the playlist page
// while it plays), of the help panel on a control with a help text, a help page and none, of the
// trigger window, the preferences and the three editors, for a person to look at. It needs a
// display: under none, run it with `xvfb-run -a -s "-screen 0 1600x1000x24"`. The settings and
// caches it writes go to a folder of its own, not the user's.
#include "AudioControls/class_AudioMixTable.h"
#include "GraphControls/class_SkinPicture.h"
#include "engine/class_SoundDevice.h"
#include "model/class_Application.h"
#include "model/class_Settings.h"
#include "model/class_Switches.h"
#include "windows/Forms.h"
#include "windows/editor_controls.h"
#include "windows/class_SonorelApplication.h"
#include "windows/form_LoadRepository.h"
#include "windows/form_Main.h"
#include "windows/form_MixView.h"
#include "windows/form_Preferences.h"
#include "windows/form_Transformation.h"
#include "windows/form_Transition.h"
#include "windows/form_Trigger.h"
#include "windows/frame_mixedit.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Lets the windows paint and the background work (waveform images) go on for `ms`.
void Settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds, for 20 s at the most.
template <typename Done> bool SettleUntil(Done done)
{
    const QDeadlineTimer deadline(20000);
    while (!done() && !deadline.hasExpired())
        Settle(20);
    return done();
}

class Pictures {
public:
    explicit Pictures(QString folder) : folder_(std::move(folder)) {}

    void Save(QWidget* window, const char* name, int settleMs = 150)
    {
        window->show();
        window->activateWindow();
        // An active window shows its focus, as a person sees it.
        SettleUntil([window] { return window->isActiveWindow() && !window->visibleRegion().isEmpty(); });
        Settle(settleMs);
        const QString path = folder_ + "/" + name + ".png";
        if (!window->grab().save(path)) {
            std::fprintf(stderr, "sonorel-screenshots: can't write %s\n", qPrintable(path));
            failed_ = true;
        }
    }
    bool Failed() const { return failed_; }

private:
    QString folder_;
    bool failed_ = false;
};

// The four pages, the playlist while it plays, the help panel, the trigger window, the preferences.
void MainWindow(Pictures& pictures)
{
    FormMain->ShowPage(PageStartIndex);
    pictures.Save(FormMain, "page0_start");
    FormMain->ShowPage(PageNewProjectIndex);
    pictures.Save(FormMain, "page1_new_project");
    FormMain->ShowPage(PageBinEditIndex);
    pictures.Save(FormMain, "page2_zone_editor");
    FormMain->ShowPage(PagePlaylistIndex);
    FormMain->PagePlaylist->PlaylistEdit->Grid->SetRow(0);
    FormMain->PlayClick();
    Settle(1200);
    pictures.Save(FormMain, "page3_playlist_playing");
    FormMain->StopClick();
    FormMain->HelpButtonClick();
    FormMain->HelpMouseMove(FormMain->PagePlaylist->Stop);
    pictures.Save(FormMain, "help_text");
    FormMain->HelpMouseMove(FormMain->PagePlaylist->MouseWait);
    pictures.Save(FormMain, "help_html");
    FormMain->HelpMouseMove(FormMain->PagePlaylist->PlaylistEdit->Grid);
    pictures.Save(FormMain, "help_html_not_built");
    FormMain->HelpMouseMove(FormMain->PagePlaylist->Transformation);
    pictures.Save(FormMain, "help_not_built");
    FormMain->HelpButtonClick();
    // The trigger window as a held row shows it.
    snl.WavProducer.Stopped = 0;
    snl.WavProducer.WaitState = 2;
    FormMain->TriggersTimerTimer();
    pictures.Save(FormTrigger, "trigger_window");
    snl.WavProducer.WaitState = 0;
    snl.WavProducer.Stopped = 1;
    FormTrigger->hide();
    // The preferences as the main window's button opens them: filled from the settings.
    QTimer::singleShot(0, [&pictures] {
        SettleUntil([] { return FormPreferences->isVisible(); });
        pictures.Save(FormPreferences, "preferences");
        FormPreferences->reject();
    });
    FormMain->Image40Click();
}

// The transition and transformation editors on the second row, and the whole mix.
void Editors(Pictures& pictures)
{
    FormMain->ShowPage(PagePlaylistIndex);
    FormMain->OnChangeClick(nullptr);
    FormMain->PagePlaylist->PlaylistEdit->Grid->SetRow(1);
    const int waveforms = 400; // the waveform images load in the background

    FormTransition->Prepare();
    FormTransition->fadexlist->setCurrentIndex(2); // a crossfade: fade lines on both rows
    emit FormTransition->fadexlist->activated(2);
    FormTransition->Mix->TimeLineMouseDown(Qt::LeftButton, 200); // plays from there: P shows
    pictures.Save(FormTransition, "transition", waveforms);
    for (int i = 0; i < 3; ++i)
        FormTransition->Mix->ZoomIn();
    pictures.Save(FormTransition, "transition_zoomed", waveforms);
    FormTransition->close();

    FormTransformation->Prepare();
    pictures.Save(FormTransformation, "transformation", waveforms);
    FormTransformation->Mix->ZoomOut();
    FormTransformation->Mix->ZoomOut();
    pictures.Save(FormTransformation, "transformation_zoomed_out", waveforms);
    FormTransformation->close();

    FormMixView->ShowWholeMix();
    pictures.Save(FormMixView, "mixview", waveforms);
    FormMixView->cbLoop->setChecked(true);
    FormMixView->cbLoopClick();
    FormMixView->Mix->SetLPos(20.0);
    FormMixView->Mix->SetRPos(40.0);
    for (int i = 0; i < 4; ++i)
        FormMixView->Mix->ZoomIn();
    pictures.Save(FormMixView, "mixview_zoomed", waveforms);
    FormMixView->close();
}

// The bin import window on the project's own bins, after a click on a row.
void BinImport(Pictures& pictures, const std::string& project)
{
    QTimer::singleShot(0, [&pictures] {
        SettleUntil([] { return FormLoadRepository->isVisible(); });
        FormLoadRepository->Grid->selectRow(0);
        FormLoadRepository->GridClick();
        pictures.Save(FormLoadRepository, "bin_import_window");
        FormLoadRepository->reject();
    });
    FormLoadRepository->LoadProject(project);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: sonorel-screenshots FOLDER PROJECT\n");
        return 2;
    }
    QTemporaryDir home;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        setenv(name, qPrintable(home.path() + "/" + name), 1);
    const std::string project = QDir(argv[2]).absolutePath().toStdString();
    SetCommandLine({argv[0], project});
    TSonorelApplication application(argc, argv);
    const QString folder = QDir(argv[1]).absolutePath();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "sonorel-screenshots: can't make %s\n", qPrintable(folder));
        return 1;
    }
    WriteSettingString(ShowHelp, "0");
    CreateForms();
    FormMain->show();
    if (!SettleUntil([] { return !FormMain->FirstActivation; })) {
        std::fprintf(stderr, "sonorel-screenshots: the main window did not start\n");
        return 1;
    }
    Pictures pictures(folder);
    MainWindow(pictures);
    Editors(pictures);
    BinImport(pictures, project);
    snl.WavProducer.Stop();
    DestroySoundDevice();
    DestroyForms();
    if (pictures.Failed())
        return 1;
    std::printf("%s\n", qPrintable(folder));
    return 0;
}
