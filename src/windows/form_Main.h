#pragma once

#include "model/class_Application.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <string>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QMouseEvent;
class QPlainTextEdit;
class QScrollBar;
class QStackedWidget;
class QTableWidget;
class QTextBrowser;
class QTimer;
class TFramePlaylist;
class TSkinPicture;

// Page indexes of `Pages`.
enum : int { PageStartIndex = 0, PageNewProjectIndex = 1, PageBinEditIndex = 2, PagePlaylistIndex = 3 };

// The main window: a borderless skinned window whose body is a notebook of four pages, with the
// navigation strip at the left, the top strip (drags the window) and the help panel at the right.
// Controls keep the names the rest of the program knows them by.
class TFormMain : public QWidget {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // The one way to switch pages: stops what plays on the page being left (the playlist page
    // also when it is asked for again) and shows the page's navigation highlight.
    void ShowPage(int page);
    // Places an editor window before it is shown: the main window's left, 40 pixels above it.
    void PlaceEditorForm(QWidget* form);

    // Start-up and shell.
    void FormCreate();
    void FormActivate(); // the start-up steps; only the first call does anything
    bool FormCloseQuery();
    void FormClose();
    void HelpButtonClick();
    void HelpMouseMove(QWidget* sender);
    void NavigationTopMouseDown(QMouseEvent* event);
    void Image6Click();
    // Every exception that reaches the event loop: logged and shown; the program goes on.
    static void ApplicationEvents1Exception(const std::string& message);
    void Image40Click();

    // Playback controls and trigger polling.
    void PlayClick();
    void Playfromthisposition1Click();
    void StopClick();
    void Playstsop1Click();
    void TriggersTimerTimer();
    void Image12Click();
    void TriggerNoneClick();
    void TriggerMouseClick();
    void TriggerKeyboardClick();
    void MouseWaitDblClick();
    void KeyboardWaitDblClick();

    // Project commands.
    void NewProject1Click();
    void Save1Click();
    void Load1Click();
    void Image21Click();
    void ExitClick();
    void Exit1Click();
    void OnChangeClick(QObject* sender);
    void LoadProject(const std::string& path); // load, remember the path, show the playlist
    void PlaylistStringGridClick();
    void PlaylistPopupPopup(); // checks the trigger item of the selected row
    void mixedit1DragDropClick(QObject* sender);

    // Pages and sources.
    void LoopEditorClick();
    void playlisteditorClick();
    void FilesListClick();
    void BinsScrollChange();
    bool HasSourceFiles();

    // Export.
    void ToWavClick();
    void Image30Click();

    // Sources of one's own: the record wizard, shown modally.
    void recordClick();

    // Automation switches of the first activation.
    void RunSwitchesBeforeProject();
    void RunSwitchesAfterProject();
    void HelpTopicsTest();

    static constexpr int HelpPanelWidth = 350;
    bool FirstActivation = true;

signals:
    void Closed(); // the window closed (the query allowed it); the program ends

public:

    QStackedWidget* Pages;
    QWidget* PageStart;
    QWidget* PageNewProject;
    QWidget* PageBinEdit;
    QWidget* PagePlaylist;

    // Page backgrounds.
    TSkinPicture* Image1;       // start page
    TSkinPicture* Image4;       // "New Project" page; its size is the window's
    TSkinPicture* Image8;       // zone editor page; its width is the client width without help
    TSkinPicture* PlaylistBack; // playlist page

    // Top strip.
    TSkinPicture* NavigationTop;
    TSkinPicture* Image6; // logo
    TSkinPicture* Image40; // preferences
    TSkinPicture* HelpButton;

    // Navigation strip.
    QWidget* navigation_panel;
    TSkinPicture* NavigationImage;
    TSkinPicture* Image10; // new project
    TSkinPicture* loadproj;
    TSkinPicture* Image9; // save project
    TSkinPicture* selectfromdisk;
    TSkinPicture* cdtrack;
    TSkinPicture* record;
    TSkinPicture* LoopEditor;
    TSkinPicture* playlisteditor;
    TSkinPicture* cdburn;
    TSkinPicture* Exit;
    TSkinPicture* NewProjectHighlight;
    TSkinPicture* LoopEditorHighlight;
    TSkinPicture* PlaylistEditorHighlight;

    // Start page.
    TSkinPicture* Image3;  // new project
    TSkinPicture* Image21; // load project
    TSkinPicture* Image2;  // quit

    // Zone editor page.
    TSkinPicture* ZoomIn;
    TSkinPicture* ZoomOut;
    TSkinPicture* ZoneEditPlay;
    TSkinPicture* Image13; // zone stop
    TSkinPicture* Image38; // save zone
    TSkinPicture* Image24; // rename zone
    TSkinPicture* Image23; // add bin
    TSkinPicture* Image16; // start page
    QListWidget* FilesList;
    QTableWidget* bingrid;

    // Playlist page.
    TFramePlaylist* PlaylistEdit;
    QMenu* PlaylistPopup;
    QAction* Playfromthisposition1;
    QAction* TriggerNone;
    QAction* TriggerMouse;
    QAction* TriggerKeyboard;
    TSkinPicture* Play;
    TSkinPicture* Stop;
    TSkinPicture* Image12; // time display toggle
    QLabel* lbPosition;
    QLabel* lbTotalLength;
    TSkinPicture* MouseWait;
    TSkinPicture* KeyboardWait;
    TSkinPicture* Transformation;
    TSkinPicture* Transition;
    TSkinPicture* ToWav;
    TSkinPicture* Image30; // out to MP3
    TSkinPicture* loadrepos;
    TSkinPicture* Image22; // add bin
    TSkinPicture* Image18; // zone editor
    TSkinPicture* Image11; // start page
    std::array<QLabel*, 3> ReposTitles;
    std::array<QTableWidget*, 3> ReposEdits;
    QScrollBar* BinsScroll;

    // Help panel.
    QWidget* HelpPanel;
    QPlainTextEdit* Help;
    QTextBrowser* HelpHTML;
    QStringList HelpTopics; // line n-1 is the topic of HelpContext n
    QString LastHelpTopic;
    QString LastHelpPage;

    QTimer* TriggersTimer;

    // Hidden menu items: window actions that act through their keys.
    QAction* Playstsop1;
    QAction* ZoomIn1;
    QAction* ZoomOut1;
    QAction* ZoneEditor1;
    QAction* PlaylistEditor1;
    QAction* LoopToZoneEnd1;
    QAction* OpenFromDisk1;
    QAction* NewProject1;
    QAction* Load1;
    QAction* Save1;
    QAction* AddBin1;
    QAction* Exit1;
    QAction* OnChange;
    QAction* MixViewMenu;

    cProjectFileDialog ProjOpenDialog{cProjectFileDialog::Mode::Open};
    cProjectFileDialog ProjSaveDialog{cProjectFileDialog::Mode::Save};

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildShell();
    void BuildStartPage();
    void BuildZoneEditorPage();
    void BuildPlaylistPage();
    void BuildHelpPanel();
    void BuildActions();
    void PlacePlaylistFrame();
    void ConnectPictures();
    QAction* AddHiddenAction(const QString& caption, const QKeySequence& key, void (TFormMain::*handler)());
    void WatchHelp(QWidget* control, int helpContext);
    void LoadHelpTopics();
    void StopMix();
    // Reaching the windows of the playlist frame, the trigger window, preferences and export.
    int PlaylistCurrentRow() const;
    void RefreshPlaylistRow(int row);
    int PlaylistHighlightRow() const;
    void SetPlaylistHighlightRow(int row);
    void SetPlaylistRows(); // the frame shows the project's rows
    void FocusPlaylist();
    void ToggleZonePlay();
    int StoredDeviceIndex();
    void SetSelectedRowTrigger(int trigger);
    void ToggleSelectedRowTrigger(int trigger);
    void ShowTriggerWindow(int waitState);
    void UpdateSoundingRow();
    void ExportTo(const std::string& path);
    void OpenExport(bool wavMode);
};

extern TFormMain* FormMain;

// The help context of a control: the help.txt line that describes it (0 uses line 1).
void SetHelpContext(QWidget* control, int helpContext);
int HelpContext(const QWidget* control);

// The main window's time format: "%dm %.1fs" of whole minutes and the rest of the seconds.
std::string FormatMinutesSeconds(float seconds);

// The fixed files of the self-test switches, in the application-data folder.
std::string TestWavPath();
std::string TestProjectPath();
