#pragma once

#include "engine/class_EncoderNode.h"
#include "model/class_Application.h"
#include "model/class_MixRender.h"
#include "windows/class_ProjectFileDialog.h"
#include "windows/page_Pictures.h"
#include "windows/page_Playlist.h"
#include "windows/page_Start.h"
#include "windows/page_ZoneEditor.h"

#include <QRect>
#include <QStringList>
#include <QWidget>

#include <string>
#include <vector>

class QAction;
class QMenu;
class QMouseEvent;
class QPlainTextEdit;
class QStackedWidget;
class QTextBrowser;
class QTimer;
class TSkinPicture;
struct cMarker;

// Page indexes of `Pages`.
enum : int { PageStartIndex = 0, PageNewProjectIndex = 1, PageBinEditIndex = 2, PagePlaylistIndex = 3 };

// The main window: a borderless skinned window whose body is a notebook of four pages, with the
// navigation strip at the left, the top strip (drags the window) and the help panel at the right.
// Each page is a class of its own; the window forwards their commands under the names the rest of
// the program knows them by, and does itself what spans pages.
class TFormMain : public QWidget {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // The one way to switch pages: stops what plays on the page being left (the playlist page
    // also when it is asked for again) and shows the page's navigation highlight.
    void ShowPage(int page);

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

    // The space key on either page, and the 30 ms poll of the playlist page and trigger window.
    void Playstsop1Click();
    void TriggersTimerTimer();

    // Project commands.
    void NewProject1Click();
    void Save1Click();
    void Load1Click();
    void Image21Click();
    void ExitClick();
    void Exit1Click();
    void OnChangeClick(QObject* sender); // both pages show the project again
    void LoadProject(const std::string& path); // load, remember the full path, show the playlist
    void ClearProject(); // no file name, rows or bins; the sound thread has let go of them

    // Commands that span pages.
    void LoopEditorClick(); // the zone editor, on the bin of the focused strip of the playlist page
    void playlisteditorClick();
    void EditZoneClick(); // the selected row's zone in the zone editor
    void MixViewMenuClick();
    void ZoomIn1Click();  // Ctrl+I, on the zone editor page only
    void ZoomOut1Click(); // Ctrl+O, on the zone editor page only
    void LoopToZoneEndClick(); // Ctrl+Space, on the zone editor page only
    void loadreposClick();

    // The playlist page's commands, forwarded to it.
    void PlayClick();
    void Playfromthisposition1Click();
    void StopClick();
    void Image12Click();
    void TriggerNoneClick();
    void TriggerMouseClick();
    void TriggerKeyboardClick();
    void MouseWaitDblClick();
    void KeyboardWaitDblClick();
    void PlaylistStringGridClick();
    void PlaylistPopupPopup();
    void mixedit1DragDropClick(QObject* sender);
    void PlaylistBackDragDrop(QWidget* source);
    void PlaylistEditDoubleClickClick();
    void TransitionDblClick();
    void TransformationDblClick();
    void Delete1Click();
    void ClearPlaylist1Click();
    void BinsScrollChange();

    // The zone editor page's commands, forwarded to it.
    void ZoneEditPlayClick();
    void Image13Click();
    void ZoomInClick();
    void ZoomOutClick();
    void Button1Click();
    void Image24Click();
    void LoopViewSelChange();
    void LoopViewSelEnd();
    void LoopViewMarkerMoveStart(cMarker* marker);
    void LoopViewMarkerMove(cMarker* marker);
    void LoopViewMarkerMoveEnd(cMarker* marker);
    void bingridAssignDataClick();
    void FilesListClick();
    void Rename2Click();
    void DeleteFile1Click();
    void ReposEdit2StringGrid1Click();
    void bingridStringGrid1DblClick();
    void bingridDoubleClickClick();
    void bingridSelectItemClick();
    void bingridDelete2Click();

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
    TPageStart* PageStart;
    TPageNewProject* PageNewProject;
    TPageZoneEditor* PageBinEdit;
    TPagePlaylist* PagePlaylist;

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
    QSize PagesSize() const; // the window's size without the help panel
    void BuildHelpPanel();
    void BuildActions();
    void ConnectPictures();
    void ConnectPages();
    QAction* AddHiddenAction(const QString& caption, const QKeySequence& key, void (TFormMain::*handler)());
    void WatchHelp(QWidget* control, int helpContext);
    void WatchHelpOfControls(); // every control with a help context
    void LoadHelpTopics();
    void StopMix();
    void DetachBins(); // before bins are removed or replaced: no frame or zone keeps one
    int StoredDeviceIndex();
    void ShowTriggerWindow(int waitState);
    void ExportTo(const std::string& path);
    void OpenExport(bool wavMode);
};

extern TFormMain* FormMain;

// The artist and title tags of a sound file, trimmed; false when the sound layer opens no stream
// of it or both are blank.
bool ReadArtistTitle(const std::string& fileName, std::string& artist, std::string& title);
// A new source's title: "artist - title" from its tags, or the one it has, or its file name.
std::string SourceTitle(const std::string& fileName);
// The source dialog's filter: every kind of sound file the sound layer opens, then all files.
std::string SoundFileFilter();

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
