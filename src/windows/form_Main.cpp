// The main window's frame: the pages, the top and navigation strips, the help panel, the hidden
// menu items, start-up and closing.
#include "windows/form_Main.h"

#include "GraphControls/class_SkinPicture.h"
#include "model/class_FileLog.h"
#include "model/class_Folders.h"
#include "model/class_Settings.h"
#include "model/class_Switches.h"
#include "platform/trace/Trace.h"
#include "platform/ui/DragController.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ShellOpen.h"
#include "platform/ui/WindowHelpers.h"
#include "windows/class_SonorelApplication.h"
#include "windows/editor_controls.h"
#include "windows/form_Transition.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStackedWidget>
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

} // namespace

TFormMain::TFormMain(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setWindowTitle("Sonorel");
    setObjectName("FormMain");
    setStyleSheet(kPlainWidgetStyle);
    BuildShell();
    BuildHelpPanel();
    BuildActions();
    ConnectPictures();
    WatchHelpOfControls();
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
    Pages->addWidget(PageStart = new TPageStart(Pages));
    Pages->addWidget(PageNewProject = new TPageNewProject(Pages));
    Pages->addWidget(PageBinEdit = new TPageZoneEditor(Pages, snl));
    Pages->addWidget(PagePlaylist = new TPagePlaylist(Pages, snl));
    Pages->setGeometry(QRect(QPoint(0, 0), PagesSize()));

    PlacePictures(this, {
                            {&NavigationTop, "main_top", 0, 0, 29},
                            {&Image6, "logo", 12, 6},
                            {&Image40, "preferences", 864, 6, 27},
                            {&HelpButton, "help_button", 908, 6, 28},
                        });

    // The strip starts 44 pixels down the window, below the top strip.
    navigation_panel = new QWidget(this);
    navigation_panel->setGeometry(0, 44, 160, 618);
    PlacePictures(navigation_panel, {
                                        {&NavigationImage, "main_navigation", 0, 0, 14},
                                        {&Image10, "nav_new_project", 8, 34, 9},
                                        {&loadproj, "nav_load_project", 8, 68, 7},
                                        {&Image9, "nav_save_project", 8, 102, 8},
                                        {&selectfromdisk, "nav_add_from_disk", 8, 170, 4},
                                        {&cdtrack, "nav_rip_cd", 8, 204, 2},
                                        {&record, "nav_record", 8, 238, 3},
                                        {&LoopEditor, "nav_zone_editor", 8, 306, 5},
                                        {&playlisteditor, "nav_playlist", 8, 340, 6},
                                        {&cdburn, "nav_burn_cd", 8, 408, 21},
                                        {&Exit, "nav_exit", 8, 568, 10},
                                        {&NewProjectHighlight, "nav_new_project_current", 8, 34},
                                        {&LoopEditorHighlight, "nav_zone_editor_current", 8, 306},
                                        {&PlaylistEditorHighlight, "nav_playlist_current", 8, 340},
                                    });
    for (TSkinPicture* highlight : {NewProjectHighlight, LoopEditorHighlight, PlaylistEditorHighlight}) {
        highlight->setAttribute(Qt::WA_TransparentForMouseEvents);
        highlight->hide();
    }
}

QSize TFormMain::PagesSize() const
{
    return PageNewProject->Image4->size();
}

void TFormMain::BuildHelpPanel()
{
    HelpPanel = new QWidget(this);
    HelpPanel->setGeometry(PagesSize().width(), 0, HelpPanelWidth, PagesSize().height());
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
    MixViewMenu = AddHiddenAction("Mix View", QKeySequence(), &TFormMain::MixViewMenuClick);
    MixViewMenu->setVisible(false);
}

void TFormMain::ConnectPictures()
{
    PageStart->Image2->OnClick = [this] { close(); };
    PageStart->Image3->OnClick = [this] { NewProject1Click(); };
    Image10->OnClick = [this] { NewProject1Click(); };
    PageStart->Image21->OnClick = [this] { Load1Click(); };
    loadproj->OnClick = [this] { Image21Click(); };
    Image9->OnClick = [this] { Save1Click(); };
    Exit->OnClick = [this] { ExitClick(); };
    PageBinEdit->Image16->OnClick = [this] { ShowPage(PageStartIndex); };
    PagePlaylist->Image11->OnClick = [this] { ShowPage(PageStartIndex); };
    PagePlaylist->Image18->OnClick = [this] { ShowPage(PageBinEditIndex); };
    LoopEditor->OnClick = [this] { LoopEditorClick(); };
    playlisteditor->OnClick = [this] { playlisteditorClick(); };
    Image40->OnClick = [this] { Image40Click(); };
    cdburn->OnClick = [this] { cdburnClick(); };
    HelpButton->OnClick = [this] { HelpButtonClick(); };
    NavigationTop->OnMouseDown = [this](QMouseEvent* event) { NavigationTopMouseDown(event); };
    Image6->OnClick = [this] { Image6Click(); };
    PagePlaylist->ToWav->OnClick = [this] { ToWavClick(); };
    PagePlaylist->Image30->OnClick = [this] { Image30Click(); };
    selectfromdisk->OnClick = [this] { openmp3Click(selectfromdisk); };
    PagePlaylist->loadrepos->OnClick = [this] { loadreposClick(); };
    cdtrack->OnClick = [this] { cdtrackClick(); };
    record->OnClick = [this] { recordClick(); };
    ConnectPages();
    // The top and navigation strips take drops as the playlist page's background does.
    for (QWidget* background : {static_cast<QWidget*>(NavigationTop), static_cast<QWidget*>(NavigationImage)})
        ui::SetDropTarget(background, {[](QWidget*, QPoint, ui::DragState, bool& accept) { accept = true; },
                                       [this](QWidget* source, QPoint) { PlaylistBackDragDrop(source); }});
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
    ProjOpenDialog.Filter = ProjSaveDialog.Filter = "Sonorel Project|*.snmx";
    AudioOpen.Filter = SoundFileFilter();
    AudioOpen.DefaultExt.clear();
    snl.OnChange = [this](QObject* sender) { OnChangeClick(sender); };
    Pages->setFixedSize(PagesSize());
    resize(PagesSize());
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
