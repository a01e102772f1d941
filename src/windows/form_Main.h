#pragma once

#include "cd/class_MixRender.h"
#include "engine/class_EncoderNode.h"
#include "model/class_Application.h"

#include <QRect>
#include <QStringList>
#include <QWidget>

#include <array>
#include <string>
#include <vector>

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
class TAudioView;
class TFramePlaylist;
class TFrameReposEdit;
class TSkinPicture;
struct cMarker;

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
    // Places an editor window before it is shown: the main window's left, 40 pixels above it but
    // never above the top of the screen.
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
    void LoadProject(const std::string& path); // load, remember the full path, show the playlist
    void ClearProject(); // no file name, rows or bins; the sound thread has let go of them
    void PlaylistStringGridClick();
    void PlaylistPopupPopup(); // checks the trigger item of the selected row

    // Drops on the playlist page.
    void mixedit1DragDropClick(QObject* sender);
    void PlaylistBackDragDrop(QWidget* source);
    void TransitionDblClick();
    void TransformationDblClick();

    // Zone editor page.
    void ZoneEditPlayClick();
    void Image13Click(); // stop
    void ZoomInClick();
    void ZoomOutClick();
    void ZoomIn1Click();  // Ctrl+I, on the zone editor page only
    void ZoomOut1Click(); // Ctrl+O, on the zone editor page only
    void Button1Click();  // save the selection as a zone
    void Image24Click();  // rename the current zone
    void LoopToZoneEndClick();
    void LoopViewSelChange();
    void LoopViewSelEnd();
    void LoopViewMarkerMoveStart(cMarker* marker);
    void LoopViewMarkerMove(cMarker* marker);
    void LoopViewMarkerMoveEnd(cMarker* marker);
    void bingridAssignDataClick();
    void UpdateSelectionColour();

    // Editors and row commands of the playlist page.
    void PlaylistEditDoubleClickClick();
    void EditorPictureDragDrop(TSkinPicture* picture, QWidget* source);
    void EditZoneClick();
    void Delete1Click();
    void ClearPlaylist1Click();
    void MixViewMenuClick();

    // Source list and bins.
    void LoopEditorClick();
    void playlisteditorClick();
    void FilesListClick();
    void Rename2Click();
    void DeleteFile1Click();
    void ReposEdit2StringGrid1Click();
    void bingridStringGrid1DblClick();
    void bingridDoubleClickClick();
    void bingridSelectItemClick();
    void bingridDelete2Click();
    void BinsScrollChange();
    void loadreposClick();

    // Adding sources.
    void openmp3Click(QObject* sender); // without a sender (automation) the dialog is skipped
    // Adds the file as a new bin and shows it in the zone editor; `select` also selects it in the
    // source list. A file the view cannot open throws and adds nothing.
    void OpenSourceFile(const std::string& fileName, bool select);
    bool HasSourceFiles();
    // What the CD rip and record wizards made: each file becomes a source, the last one selected.
    // With `oneBin`, the last file holds every track and gets one zone per track, track i ending
    // at trackEnds[i] seconds.
    void AddWizardSources(const std::vector<std::string>& files, bool oneBin, const std::vector<float>& trackEnds);

    // Ripping CD tracks: shows the rip wizard; true when it closed with OK (its result is then in
    // FormCDRip->Result()).
    bool cdtrackClick();

    // Export.
    void ToWavClick();
    void Image30Click();

    // CD burn (form_Main_burn.cpp): the wizard, and the render of the mix into its image.
    void cdburnClick();
    void RenderCDImage(QObject* sender);
    void CDBurnRenderEncoderQueryData(void* buffer, int length);
    void CDBurnRenderEncoderEncodeProgress();
    TEncoderNode CDBurnRenderEncoder;
    cMixRender CDBurnRender;
    float CDBurnRenderLength = 0;

    // Sources of one's own: the record wizard, shown modally.
    void recordClick();

    // Automation switches of the first activation.
    void RunSwitchesBeforeProject();
    void RunSwitchesAfterProject();
    void HelpTopicsTest();
    // Shows every command of NotBuiltCommands disabled and the page texts about them dimmed, their
    // tooltips saying they are not built yet.
    void DisableNotBuiltCommands();

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
    QMenu* FilesPopup;
    TFrameReposEdit* bingrid;
    QMenu* bingridPopup;
    TAudioView* LoopView;
    QScrollBar* ScrollBar1;
    // 0 stopped; looping: 1 the selection, 2 the zone, 3 the cursor to the zone end; 4 the cursor to the file end
    int8_t PlayMode = 0;
    cBinItem ZoneBeforeMove; // the dragged zone's item as it was when the marker drag started

    // Playlist page.
    TFramePlaylist* PlaylistEdit;
    QMenu* PlaylistPopup;
    QAction* Playfromthisposition1;
    QAction* TriggerNone;
    QAction* TriggerMouse;
    QAction* TriggerKeyboard;
    QAction* EditZone;
    QAction* EditTransformation2; // F4
    QAction* EditTransformation1; // F5
    QAction* Delete1;
    QAction* ClearPlaylist1;
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
    std::array<TFrameReposEdit*, 3> ReposEdits;
    QMenu* BinPopup;
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
    cProjectFileDialog AudioOpen{cProjectFileDialog::Mode::Open};

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
    void BuildEditorLinks();
    void AfterTransitionEdited();
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
    void ConnectZoneEditor();
    void ConnectBins();
    void DetachBins(); // before bins are removed or replaced: no frame or zone keeps one
    void FocusStripOfCurrentBin();
    // Loads a file of the bin into LoopView; empty for a source the user was told is missing.
    void LoadBinFile(const cBin& bin, const std::string& path);
    cBinItem* CurrentZone() const; // bingrid's bin's item at bingrid's current row
    float ZonePos(float seconds) const; // seconds as a fraction of LoopView's file (0 without one)
    void PlayZoneRange(float start, float length);
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

// The zone name proposed for a new zone of the bin: its title, " #" and the first number from
// the zone count + 1 that no zone's title uses.
std::string MakeUniqueZoneName(const cBin& bin);
// Rows made from the old zone (same name, file, start and length) take the new name and bounds.
void FixPlaylistAfterRename(cmixdata& mix, const cBinItem& oldItem, const cBinItem& newItem);
// A parameter icon dragged off a row: the parameter goes back to its neutral value.
void ResetGrabbedParameter(cMixRow& row, int dragPart);
// The artist and title tags of a sound file, trimmed; false when the sound layer opens no stream
// of it or both are blank.
bool ReadArtistTitle(const std::string& fileName, std::string& artist, std::string& title);
// A new source's title: "artist - title" from its tags, or the one it has, or its file name.
std::string SourceTitle(const std::string& fileName);
// The source dialog's filter: every kind of sound file the sound layer opens, then all files.
std::string SoundFileFilter();

// The main window's time format: "%dm %.1fs" of whole minutes and the rest of the seconds.
std::string FormatMinutesSeconds(float seconds);

// A command whose work is not built yet: shown disabled, its tooltip and help topic say so.
struct NotBuiltCommand {
    const char* name;  // the control's name in the main window; also its mark in the help pages
    QObject* control;  // a picture or an action of the main window; null for a command without one
    QWidget* page = nullptr;    // a page whose artwork describes the command, there dimmed
    QRect textOnPage = QRect(); // where on that page
};
// The one list of them (form_Main_notbuilt.cpp).
std::vector<NotBuiltCommand> NotBuiltCommands(const TFormMain& form);
bool IsNotBuilt(const TFormMain& form, const QObject* control);
// What a not-built command's tooltip and help panel show for its help topic.
QString NotBuiltText(const QString& topic);
// A help topic with its marks of not-built commands ("[name]") shown as "(not built yet)".
QString ShowNotBuiltMarks(QString topic);

// The fixed files of the self-test switches, in the application-data folder.
std::string TestWavPath();
std::string TestProjectPath();
