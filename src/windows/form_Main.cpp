// The main window's frame: construction, layout of the pages and strips, start-up and closing.
#include "windows/form_Main.h"

#include "AudioControls/class_AudioView.h"
#include "GraphControls/class_SkinPicture.h"
#include "model/class_FileLog.h"
#include "model/class_Folders.h"
#include "model/class_Settings.h"
#include "model/class_Switches.h"
#include "platform/trace/Trace.h"
#include "platform/ui/FittedText.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ShellOpen.h"
#include "platform/ui/WindowHelpers.h"
#include "windows/class_SonorelApplication.h"
#include "windows/editor_controls.h"
#include "windows/form_Transition.h"
#include "windows/frame_reposedit.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimer>

#include <algorithm>

TFormMain* FormMain = nullptr;

namespace {


// Colours of the plain widgets on the skin.
constexpr const char* kPlainWidgetStyle = R"(
QListWidget, QTableWidget, QPlainTextEdit, QTextBrowser {
  background: #0e1014; color: #e8ebf0; border: none;
  selection-background-color: #1d3346; selection-color: #e8ebf0;
  font-family: "DejaVu Sans"; font-size: 11px;
}
QTableWidget { gridline-color: #2c323c; }
QListWidget::item:selected, QTableWidget::item:selected { background: #1d3346; color: #4cc2ff; }
QScrollBar:vertical, QScrollBar:horizontal { background: #0e1014; border: none; }
QScrollBar:vertical { width: 12px; }
QScrollBar:horizontal { height: 12px; }
QScrollBar::handle { background: #2c323c; border-radius: 4px; min-height: 20px; min-width: 20px; }
QScrollBar::handle:hover { background: #4cc2ff; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
)";

QWidget* NewPage(QStackedWidget* pages)
{
    auto* page = new QWidget(pages);
    pages->addWidget(page);
    return page;
}

QLabel* NewTimeLabel(QWidget* parent, int left, int top, int width, Qt::Alignment alignment)
{
    auto* label = new QLabel(parent);
    label->setGeometry(left, top, width, 20);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setStyleSheet("color: white; background: transparent; font-family: 'Trebuchet MS', 'DejaVu Sans';"
                         " font-weight: bold; font-size: 15px;");
    return label;
}

} // namespace

TFormMain::TFormMain(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setWindowTitle("Sonorel");
    setObjectName("FormMain");
    setStyleSheet(kPlainWidgetStyle);
    BuildShell();
    BuildStartPage();
    BuildZoneEditorPage();
    BuildPlaylistPage();
    BuildHelpPanel();
    BuildActions();
    ConnectPictures();
    BuildEditorLinks();
    Pages->setCurrentIndex(PageStartIndex);
    SetApplicationExceptionHandler(&TFormMain::ApplicationEvents1Exception);
    FormCreate();
}

TFormMain::~TFormMain()
{
    snl.OnChange = nullptr;
    if (FormMain == this) {
        FormMain = nullptr;
        SetApplicationExceptionHandler(nullptr);
    }
}

void TFormMain::BuildShell()
{
    Pages = new QStackedWidget(this);
    PageStart = NewPage(Pages);
    PageNewProject = NewPage(Pages);
    PageBinEdit = NewPage(Pages);
    PagePlaylist = NewPage(Pages);
    Image4 = new TSkinPicture(PageNewProject, "main_new_project", 0, 0);
    Pages->setGeometry(0, 0, Image4->width(), Image4->height());

    NavigationTop = new TSkinPicture(this, "main_top", 0, 0);
    Image6 = new TSkinPicture(this, "logo", 12, 6);
    Image40 = new TSkinPicture(this, "preferences", 864, 6);
    HelpButton = new TSkinPicture(this, "help_button", 908, 6);

    navigation_panel = new QWidget(this);
    navigation_panel->setGeometry(0, 44, 160, 618);
    NavigationImage = new TSkinPicture(navigation_panel, "main_navigation", 0, 0);
    auto navigation = [this](const char* name, int windowTop) {
        return new TSkinPicture(navigation_panel, name, 8, windowTop - 44);
    };
    Image10 = navigation("nav_new_project", 78);
    loadproj = navigation("nav_load_project", 112);
    Image9 = navigation("nav_save_project", 146);
    selectfromdisk = navigation("nav_add_from_disk", 214);
    cdtrack = navigation("nav_rip_cd", 248);
    record = navigation("nav_record", 282);
    LoopEditor = navigation("nav_zone_editor", 350);
    playlisteditor = navigation("nav_playlist", 384);
    cdburn = navigation("nav_burn_cd", 452);
    Exit = navigation("nav_exit", 612);
    NewProjectHighlight = navigation("nav_new_project_current", 78);
    LoopEditorHighlight = navigation("nav_zone_editor_current", 350);
    PlaylistEditorHighlight = navigation("nav_playlist_current", 384);
    for (TSkinPicture* highlight : {NewProjectHighlight, LoopEditorHighlight, PlaylistEditorHighlight}) {
        highlight->setAttribute(Qt::WA_TransparentForMouseEvents);
        highlight->hide();
    }

    WatchHelp(NavigationImage, 14);
    WatchHelp(NavigationTop, 29);
    WatchHelp(Image40, 27);
    WatchHelp(HelpButton, 28);
    WatchHelp(cdtrack, 2);
    WatchHelp(record, 3);
    WatchHelp(selectfromdisk, 4);
    WatchHelp(LoopEditor, 5);
    WatchHelp(playlisteditor, 6);
    WatchHelp(loadproj, 7);
    WatchHelp(Image9, 8);
    WatchHelp(Image10, 9);
    WatchHelp(Exit, 10);
    WatchHelp(cdburn, 21);
}

void TFormMain::BuildStartPage()
{
    Image1 = new TSkinPicture(PageStart, "main_start", 0, 0);
    Image3 = new TSkinPicture(PageStart, "start_new_project", 236, 318);
    Image21 = new TSkinPicture(PageStart, "start_load_project", 460, 318);
    Image2 = new TSkinPicture(PageStart, "start_quit", 684, 318);
    WatchHelp(Image1, 39);
    WatchHelp(Image3, 9);
    WatchHelp(Image21, 7);
    WatchHelp(Image2, 10);
}

void TFormMain::BuildZoneEditorPage()
{
    Image8 = new TSkinPicture(PageBinEdit, "main_zone_editor", 0, 0);
    ZoomIn = new TSkinPicture(PageBinEdit, "zone_zoom_in", 509, 268);
    ZoomOut = new TSkinPicture(PageBinEdit, "zone_zoom_out", 573, 268);
    ZoneEditPlay = new TSkinPicture(PageBinEdit, "zone_play", 509, 322);
    Image13 = new TSkinPicture(PageBinEdit, "zone_stop", 573, 322);
    Image38 = new TSkinPicture(PageBinEdit, "zone_save", 509, 366);
    Image24 = new TSkinPicture(PageBinEdit, "zone_rename", 509, 404);
    Image23 = new TSkinPicture(PageBinEdit, "zone_add_bin", 509, 442);
    Image16 = new TSkinPicture(PageBinEdit, "zone_start_page", 509, 490);
    FilesList = new QListWidget(PageBinEdit);
    FilesList->setGeometry(509, 126, 124, 133);
    FilesList->setStyleSheet("QListWidget { font-family: Arial, 'DejaVu Sans'; font-weight: bold; }"
                             " QListWidget::item { height: 14px; }");
    ui::FitItemsToView(FilesList);
    bingrid = new TFrameReposEdit(PageBinEdit);
    bingrid->setGeometry(177, 318, 321, 204);

    LoopView = new TAudioView(PageBinEdit);
    LoopView->setGeometry(177, 126, 321, 162);
    LoopView->DataStereo = true;
    LoopView->DataBytesPerSample = 2;
    LoopView->SetColorPCM(4775727);
    LoopView->SetColorPCMOrig(0x808080);
    LoopView->ColorSelectionBack = 0xFFFFFF;
    LoopView->ColorSelectionPCM = 3834646;
    LoopView->Scale = 1;
    LoopView->SetViewLen(1);
    LoopView->SetViewMargin(15);
    LoopView->RightButtonSelect = true;
    LoopView->TotalTime = -1;
    LoopView->FontColor = 0xFFFFFF;
    LoopView->SelectedZoneIndex = -1;
    LoopView->TimeLineShow = true;
    LoopView->TimeLineDist = 50;
    LoopView->CacheAudioImage = true;
    ScrollBar1 = new QScrollBar(Qt::Horizontal, PageBinEdit);
    ScrollBar1->setGeometry(177, 290, 321, 14);
    LoopView->ConnectScrollbar(ScrollBar1);
    WatchHelp(Image8, 38);
    WatchHelp(ZoomIn, 32);
    WatchHelp(ZoomOut, 33);
    WatchHelp(Image13, 34);
    WatchHelp(ZoneEditPlay, 35);
    WatchHelp(Image38, 36);
    WatchHelp(Image24, 37);
    WatchHelp(FilesList, 30);
    WatchHelp(bingrid->StringGrid1, 31);
}

void TFormMain::BuildPlaylistPage()
{
    PlaylistBack = new TSkinPicture(PagePlaylist, "main_playlist", 0, 0);
    PlaylistEdit = nullptr;
    Play = new TSkinPicture(PagePlaylist, "play", 560, 124);
    Stop = new TSkinPicture(PagePlaylist, "stop", 656, 124);
    Image12 = new TSkinPicture(PagePlaylist, "time_display", 752, 124);
    lbPosition = NewTimeLabel(PagePlaylist, 760, 144, 86, Qt::AlignLeft);
    lbTotalLength = NewTimeLabel(PagePlaylist, 852, 144, 84, Qt::AlignRight);
    MouseWait = new TSkinPicture(PagePlaylist, "mouse_trigger", 560, 206);
    KeyboardWait = new TSkinPicture(PagePlaylist, "key_trigger", 756, 206);
    Transformation = new TSkinPicture(PagePlaylist, "transformation", 560, 262);
    Transition = new TSkinPicture(PagePlaylist, "transition", 756, 262);
    ToWav = new TSkinPicture(PagePlaylist, "out_wav", 560, 344);
    Image30 = new TSkinPicture(PagePlaylist, "out_mp3", 756, 344);
    loadrepos = new TSkinPicture(PagePlaylist, "import_bins", 492, 407);
    Image22 = new TSkinPicture(PagePlaylist, "playlist_add_bin", 492, 463);
    Image18 = new TSkinPicture(PagePlaylist, "playlist_zone_editor", 560, 500);
    Image11 = new TSkinPicture(PagePlaylist, "playlist_start_page", 756, 500);

    const int stripLeft[3] = {171, 278, 379};
    const int stripWidth[3] = {105, 99, 99};
    for (int k = 0; k < 3; ++k) {
        ReposTitles[k] = new QLabel(PagePlaylist);
        ReposTitles[k]->setGeometry(stripLeft[k] + 1, 391, 95, 13);
        ReposTitles[k]->setStyleSheet("color: white; font-weight: bold; font-size: 10px; background: transparent;");
        ReposEdits[k] = new TFrameReposEdit(PagePlaylist);
        ReposEdits[k]->setGeometry(stripLeft[k], 407, stripWidth[k], 104);
        ReposEdits[k]->StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        WatchHelp(ReposEdits[k]->StringGrid1, 24);
    }
    BinsScroll = new QScrollBar(Qt::Horizontal, PagePlaylist);
    BinsScroll->setGeometry(171, 513, 307, 16);
    BinsScroll->hide();
    connect(BinsScroll, &QScrollBar::valueChanged, this, [this] { BinsScrollChange(); });

    WatchHelp(PlaylistBack, 16);
    WatchHelp(Stop, 17);
    WatchHelp(Play, 18);
    WatchHelp(MouseWait, 19);
    WatchHelp(KeyboardWait, 20);
    WatchHelp(Image30, 22);
    WatchHelp(ToWav, 23);
    WatchHelp(Transformation, 25);
    WatchHelp(Transition, 26);
    WatchHelp(loadrepos, 13);
    PlacePlaylistFrame();
}

void TFormMain::BuildHelpPanel()
{
    HelpPanel = new QWidget(this);
    HelpPanel->setGeometry(Image4->width(), 0, HelpPanelWidth, Image4->height());
    new TSkinPicture(HelpPanel, "help_panel", 0, 0);
    Help = new QPlainTextEdit(HelpPanel);
    Help->setReadOnly(true);
    Help->setGeometry(12, 56, 326, 594);
    Help->setStyleSheet("font-size: 13px;");
    HelpHTML = new QTextBrowser(HelpPanel);
    HelpHTML->setGeometry(Help->geometry());
    HelpHTML->setOpenLinks(true);
    HelpHTML->document()->setDefaultStyleSheet(
        "body { color: #e8ebf0; font-family: 'DejaVu Sans'; font-size: 13px; }"
        " h1 { color: #ffffff; font-size: 18px; } h2 { color: #4cc2ff; font-size: 14px; }"
        " a { color: #4cc2ff; } .key { color: #ffb547; font-weight: bold; } .dim { color: #8d96a6; }"
        " .notbuilt { color: #ff5c5f; }");
    HelpHTML->hide();
    HelpPanel->hide();
}

QAction* TFormMain::AddHiddenAction(const QString& caption, const QKeySequence& key, void (TFormMain::*handler)())
{
    auto* action = new QAction(caption, this);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    if (handler)
        connect(action, &QAction::triggered, this, handler);
    addAction(action);
    return action;
}

void TFormMain::BuildActions()
{
    Playstsop1 = AddHiddenAction("Play/stop", Qt::Key_Space, &TFormMain::Playstsop1Click);
    // Zoom and zone looping act only while the zone editor page is shown.
    ZoomIn1 = AddHiddenAction("Zoom In", QKeySequence(Qt::CTRL | Qt::Key_I), &TFormMain::ZoomIn1Click);
    ZoomOut1 = AddHiddenAction("ZoomOut", QKeySequence(Qt::CTRL | Qt::Key_O), &TFormMain::ZoomOut1Click);
    ZoneEditor1 = AddHiddenAction("Zone Editor", QKeySequence(Qt::CTRL | Qt::Key_Z), &TFormMain::LoopEditorClick);
    PlaylistEditor1 =
        AddHiddenAction("Playlist Editor", QKeySequence(Qt::CTRL | Qt::Key_P), &TFormMain::playlisteditorClick);
    LoopToZoneEnd1 =
        AddHiddenAction("Loop To Zone End", QKeySequence(Qt::CTRL | Qt::Key_Space), &TFormMain::LoopToZoneEndClick);
    OpenFromDisk1 = AddHiddenAction("Open From Disk", QKeySequence(Qt::CTRL | Qt::Key_F), nullptr);
    connect(OpenFromDisk1, &QAction::triggered, this, [this] { openmp3Click(OpenFromDisk1); });
    NewProject1 = AddHiddenAction("New Project", QKeySequence(), &TFormMain::NewProject1Click);
    Load1 = AddHiddenAction("Load Project", QKeySequence(), &TFormMain::Load1Click);
    Save1 = AddHiddenAction("Save Project", QKeySequence(), &TFormMain::Save1Click);
    // Bins come from adding sources: "Add Bin" does nothing.
    AddBin1 = AddHiddenAction("Add Bin", QKeySequence(), nullptr);
    Exit1 = AddHiddenAction("Exit", QKeySequence(), &TFormMain::Exit1Click);
    OnChange = AddHiddenAction("OnChange", QKeySequence(), nullptr);
    connect(OnChange, &QAction::triggered, this, [this] { OnChangeClick(OnChange); });
    MixViewMenu = AddHiddenAction("Mix View", QKeySequence(), nullptr);
    MixViewMenu->setVisible(false);
}

void TFormMain::ConnectPictures()
{
    Image2->OnClick = [this] { close(); };
    Image3->OnClick = [this] { NewProject1Click(); };
    Image10->OnClick = [this] { NewProject1Click(); };
    Image21->OnClick = [this] { Load1Click(); };
    loadproj->OnClick = [this] { Image21Click(); };
    Image9->OnClick = [this] { Save1Click(); };
    Exit->OnClick = [this] { ExitClick(); };
    Image16->OnClick = [this] { ShowPage(PageStartIndex); };
    Image11->OnClick = [this] { ShowPage(PageStartIndex); };
    Image18->OnClick = [this] { ShowPage(PageBinEditIndex); };
    LoopEditor->OnClick = [this] { LoopEditorClick(); };
    playlisteditor->OnClick = [this] { playlisteditorClick(); };
    Image40->OnClick = [this] { Image40Click(); };
    cdburn->OnClick = [this] { cdburnClick(); };
    HelpButton->OnClick = [this] { HelpButtonClick(); };
    NavigationTop->OnMouseDown = [this](QMouseEvent* event) { NavigationTopMouseDown(event); };
    Image6->OnClick = [this] { Image6Click(); };
    Play->OnClick = [this] { PlayClick(); };
    Stop->OnClick = [this] { StopClick(); };
    Image12->OnClick = [this] { Image12Click(); };
    MouseWait->OnDblClick = [this] { MouseWaitDblClick(); };
    KeyboardWait->OnDblClick = [this] { KeyboardWaitDblClick(); };
    ToWav->OnClick = [this] { ToWavClick(); };
    Image30->OnClick = [this] { Image30Click(); };
    selectfromdisk->OnClick = [this] { openmp3Click(selectfromdisk); };
    loadrepos->OnClick = [this] { loadreposClick(); };
    cdtrack->OnClick = [this] { cdtrackClick(); };
    record->OnClick = [this] { recordClick(); };
    ConnectZoneEditor();
    ConnectBins();
}

void TFormMain::FormCreate()
{
    if (IsSwitch("nolog"))
        SetFileLogEnabled(false);
    if (IsSwitch("log"))
        SetFileLogEnabled(true);
    SetFileLogName("SonorelLog.txt");
    LogToFile("", true, false);
    LogToFile("Started", true, true);
    LoadHelpTopics();
    // The panel is not blank before the pointer first rests on a control.
    Help->setPlainText(HelpTopics.value(0));
    DisableNotBuiltCommands();
    ui::SetDoubleBufferedControls(this);
    FilesList->setCurrentRow(0);
    ProjOpenDialog.Filter = ProjSaveDialog.Filter = "Sonorel Project|*.snmx";
    AudioOpen.Filter = SoundFileFilter();
    AudioOpen.DefaultExt.clear();
    LoopView->OptionMarkerZoneSelect = false;
    snl.OnChange = [this](QObject* sender) { OnChangeClick(sender); };
    Pages->setFixedSize(Image4->size());
    resize(Image4->size());
    TriggersTimer = new QTimer(this);
    TriggersTimer->setInterval(30);
    connect(TriggersTimer, &QTimer::timeout, this, &TFormMain::TriggersTimerTimer);
    TriggersTimer->start();
    ui::SetRoundWindowRegion(this, 3);
}

void TFormMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Start-up waits until the window has painted once, so the user sees it at once.
    if (FirstActivation)
        QTimer::singleShot(0, this, &TFormMain::FormActivate);
}

bool TFormMain::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && FirstActivation)
        QTimer::singleShot(0, this, &TFormMain::FormActivate);
    return QWidget::event(event);
}

void TFormMain::FormActivate()
{
    if (!FirstActivation)
        return;
    FirstActivation = false;
    trace("Refreshing");
    repaint();
    trace("FORM ACTIVATE");
    ShowPage(PageStartIndex);
    snl.InitOutput(StoredDeviceIndex(), ReadSettingInt(OutputFrequency));
    RunSwitchesBeforeProject();
    // A corrupt project is reported like any failed command, and the start-up goes on without it.
    DeliverGuarded([this] {
        const std::string first = ParamStr(1);
        if (!first.empty() && QFileInfo(QString::fromStdString(first)).isFile())
            LoadProject(first);
        // A source opened by "openmp3" is the new project: the last one must not replace it.
        else if (!IsSwitch("openmp3") && ReadSettingBool(LoadLast) && QFileInfo(QString::fromStdString(ReadSettingString(LastProject))).isFile())
            LoadProject(ReadSettingString(LastProject));
        return true;
    });
    RunSwitchesAfterProject();
    if (ReadSettingInt(ShowHelp) == 1)
        HelpButtonClick();
}

void TFormMain::ShowPage(int page)
{
    if (FormTransition)
        FormTransition->hide();
    if (Pages->currentIndex() == PagePlaylistIndex)
        StopMix();
    ui::SetDoubleBufferedControls(this);
    Pages->setCurrentIndex(page);
    QCoreApplication::processEvents();
    PlaylistEditorHighlight->setVisible(page == PagePlaylistIndex);
    LoopEditorHighlight->setVisible(page == PageBinEditIndex);
    NewProjectHighlight->setVisible(page == PageStartIndex);
    navigation_panel->setVisible(page != PageNewProjectIndex);
}

void TFormMain::StopMix()
{
    StopPreview();
}

void TFormMain::PlaceEditorForm(QWidget* form)
{
    // A main window near the top of the screen would push the editor's title strip, and with it
    // its Close button, off the screen.
    int top = y() - 40;
    if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        top = std::max(top, screen->availableGeometry().top());
    form->move(x(), top);
}

bool TFormMain::FormCloseQuery()
{
    if (IsSwitch("closenoquery"))
        return true;
    if (snl.Bins.Count() == 0 && snl.mixdata.Count() == 0)
        return true;
    if (!snl.AskOnClose)
        return true;
    return ui::ShowMessageBox("Close Sonorel. Are you sure?\r\nAll unsaved changes to current project will be lost.",
                              "Quit", ui::MsgButtons::YesNo, ui::MsgIcon::Question) == ui::MsgResult::Yes;
}

void TFormMain::FormClose()
{
    WriteSettingString(LastProject, snl.FileName);
    LogToFile("Closed", true, true);
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
    emit Closed();
}

void TFormMain::NavigationTopMouseDown(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        ui::DragWindowByControl(this);
}

void TFormMain::Image6Click()
{
    // The maker's page ships with the help pages, so the logo works without a network.
    ui::ShellOpen(ExecutableFolder() + "/html/about.html");
}

void TFormMain::ApplicationEvents1Exception(const std::string& message)
{
    LogToFile("Exception: " + message, true, true);
    ui::ShowMessage("Unhandled application exception:\r\n" + message);
}
