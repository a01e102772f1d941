#pragma once

#include "model/class_Application.h"

#include <QWidget>

#include <cstdint>
#include <string>

class QListWidget;
class QMenu;
class QScrollBar;
class TAudioView;
class TFrameReposEdit;
class TSkinPicture;
struct cMarker;

// The zone editor page: the source list, the waveform view of the selected source's file, its
// zones in a grid, playing the selection or a zone, saving and renaming zones and dragging zone
// bounds (rows made from a zone follow it).
class TPageZoneEditor : public QWidget {
    Q_OBJECT
public:
    TPageZoneEditor(QWidget* parent, cSonorelApp& app);

    void ZoneEditPlayClick();
    void Image13Click(); // stop
    void ZoomInClick();
    void ZoomOutClick();
    void ToggleZonePlay(); // Space
    void LoopToZoneEndClick();
    void Button1Click(); // save the selection as a zone
    void Image24Click(); // rename the current zone
    void LoopViewSelChange();
    void LoopViewSelEnd();
    void LoopViewMarkerMoveStart(cMarker* marker);
    void LoopViewMarkerMove(cMarker* marker);
    void LoopViewMarkerMoveEnd(cMarker* marker);
    void UpdateSelectionColour();

    // The source list and the zone grid.
    void ShowSources(); // the list shows the project's bins, keeping the selected one
    void FilesListClick();
    void Rename2Click();
    void DeleteFile1Click();
    void ReposEdit2StringGrid1Click();
    void bingridAssignDataClick();
    void bingridStringGrid1DblClick();
    void bingridDoubleClickClick();
    void bingridSelectItemClick();
    void bingridDelete2Click();
    void DetachBin(); // neither the grid nor the view keeps a bin
    cBinItem* CurrentZone() const; // bingrid's bin's item at bingrid's current row

    TSkinPicture* Image8; // background
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

signals:
    // A bin is about to be removed: no frame or zone of any page may keep it.
    void BinLeaving();

private:
    void BuildView();
    void ConnectView();
    void ConnectSources();
    // Loads a file of the bin into LoopView; a source the user was told is missing passes without
    // its exception (the view names it).
    void LoadBinFile(const cBin& bin, const std::string& path);
    float ZonePos(float seconds) const; // seconds as a fraction of LoopView's file (0 without one)
    void PlayZoneRange(float start, float length);
    void NotifyChange();

    cSonorelApp& app;
};

// The zone name proposed for a new zone of the bin: its title, " #" and the first number from
// the zone count + 1 that no zone's title uses.
std::string MakeUniqueZoneName(const cBin& bin);
// Rows made from the old zone (same name, file, start and length) take the new name and bounds.
void FixPlaylistAfterRename(cmixdata& mix, const cBinItem& oldItem, const cBinItem& newItem);
