#pragma once

#include "model/class_Application.h"

#include <QWidget>

#include <array>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QScrollBar;
class TFramePlaylist;
class TFrameReposEdit;
class TSkinPicture;

// The playlist page: the mix's rows with their pop-up, play and stop, the time display, the
// trigger and editor pictures that act on the selected row, and three strips of bins to drag
// zones from.
class TPagePlaylist : public QWidget {
    Q_OBJECT
public:
    TPagePlaylist(QWidget* parent, cSonorelApp& app);

    // Playback and triggers.
    void PlayClick();
    void Playfromthisposition1Click();
    void StopClick();
    void Image12Click(); // time display toggle
    void TriggerNoneClick();
    void TriggerMouseClick();
    void TriggerKeyboardClick();
    void MouseWaitDblClick();
    void KeyboardWaitDblClick();
    void ShowTimes(); // the position while the mix plays, and the mix's length
    void UpdateSoundingRow();

    // Rows, drops and editors.
    void PlaylistStringGridClick();
    void PlaylistPopupPopup(); // checks the trigger item of the selected row
    void mixedit1DragDropClick(QObject* sender);
    void PlaylistBackDragDrop(QWidget* source);
    void PlaylistEditDoubleClickClick();
    void EditorPictureDragDrop(TSkinPicture* picture, QWidget* source);
    void TransitionDblClick();
    void TransformationDblClick();
    void Delete1Click();
    void ClearPlaylist1Click();
    int PlaylistCurrentRow() const;
    void RefreshPlaylistRow(int row);
    void SetPlaylistRows(); // the frame shows the project's rows
    void FocusPlaylist();

    // Bin strips.
    void ShowBins(); // the scroll bar and the strips after a project change
    void BinsScrollChange();
    void FocusStripOfCurrentBin();
    void DetachStrips(); // no strip keeps a bin

    TSkinPicture* PlaylistBack;
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

signals:
    void EditZoneWanted();   // the selected row's zone, in the zone editor
    void ZoneEditorWanted(); // the zone editor, on the bin of the focused strip

private:
    void BuildControls();
    void BuildPlaylistFrame();
    void BuildEditorLinks();
    void BuildStrips();
    void AfterTransitionEdited();
    int PlaylistHighlightRow() const;
    void SetPlaylistHighlightRow(int row);
    void SetSelectedRowTrigger(int trigger);
    void ToggleSelectedRowTrigger(int trigger);

    cSonorelApp& app;
};

// Places an editor window before it is shown: the main window's left, 40 pixels above it but
// never above the top of the screen.
void PlaceEditorForm(QWidget* form, const QWidget& mainWindow);
// A parameter icon dragged off a row: the parameter goes back to its neutral value.
void ResetGrabbedParameter(cMixRow& row, int dragPart);
// The main window's time format: "%dm %.1fs" of whole minutes and the rest of the seconds.
std::string FormatMinutesSeconds(float seconds);
