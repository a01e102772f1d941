// The main window's commands of the zone editor page: the page does the work; the keys act only
// while it is shown, and the zone editor command comes from either page.
#include "windows/form_Main.h"

#include "model/class_FileLog.h"
#include "windows/frame_reposedit.h"

#include <QListWidget>
#include <QScrollBar>
#include <QStackedWidget>

void TFormMain::ZoneEditPlayClick()
{
    PageBinEdit->ZoneEditPlayClick();
}

void TFormMain::Image13Click()
{
    PageBinEdit->Image13Click();
}

void TFormMain::ZoomInClick()
{
    PageBinEdit->ZoomInClick();
}

void TFormMain::ZoomOutClick()
{
    PageBinEdit->ZoomOutClick();
}

void TFormMain::Button1Click()
{
    PageBinEdit->Button1Click();
}

void TFormMain::Image24Click()
{
    PageBinEdit->Image24Click();
}

void TFormMain::LoopViewSelChange()
{
    PageBinEdit->LoopViewSelChange();
}

void TFormMain::LoopViewSelEnd()
{
    PageBinEdit->LoopViewSelEnd();
}

void TFormMain::bingridAssignDataClick()
{
    PageBinEdit->bingridAssignDataClick();
}

void TFormMain::ReposEdit2StringGrid1Click()
{
    PageBinEdit->ReposEdit2StringGrid1Click();
}

void TFormMain::FilesListClick()
{
    PageBinEdit->FilesListClick();
}

void TFormMain::Rename2Click()
{
    PageBinEdit->Rename2Click();
}

void TFormMain::DeleteFile1Click()
{
    PageBinEdit->DeleteFile1Click();
}

void TFormMain::bingridStringGrid1DblClick()
{
    PageBinEdit->bingridStringGrid1DblClick();
}

void TFormMain::bingridDoubleClickClick()
{
    PageBinEdit->bingridDoubleClickClick();
}

void TFormMain::bingridSelectItemClick()
{
    PageBinEdit->bingridSelectItemClick();
}

void TFormMain::bingridDelete2Click()
{
    PageBinEdit->bingridDelete2Click();
}

void TFormMain::LoopViewMarkerMoveStart(cMarker* marker)
{
    PageBinEdit->LoopViewMarkerMoveStart(marker);
}

void TFormMain::LoopViewMarkerMove(cMarker* marker)
{
    PageBinEdit->LoopViewMarkerMove(marker);
}

void TFormMain::LoopViewMarkerMoveEnd(cMarker* marker)
{
    PageBinEdit->LoopViewMarkerMoveEnd(marker);
}

void TFormMain::ZoomIn1Click()
{
    if (Pages->currentIndex() == PageBinEditIndex)
        ZoomInClick();
}

void TFormMain::ZoomOut1Click()
{
    if (Pages->currentIndex() == PageBinEditIndex)
        ZoomOutClick();
}

void TFormMain::LoopToZoneEndClick()
{
    // Elsewhere it would start a preview in a hidden view that nothing there stops.
    if (Pages->currentIndex() == PageBinEditIndex)
        PageBinEdit->LoopToZoneEndClick();
}

void TFormMain::LoopEditorClick()
{
    LogToFile("Zone Editor", true, true);
    if (!HasSourceFiles())
        return;
    if (Pages->currentIndex() == PagePlaylistIndex) {
        for (int k = 0; k < 3; ++k) {
            if (!PagePlaylist->ReposEdits[k]->StringGrid1->hasFocus())
                continue;
            PageBinEdit->FilesList->setCurrentRow(PagePlaylist->BinsScroll->value() + k);
            PageBinEdit->FilesListClick();
        }
    }
    ShowPage(PageBinEditIndex);
    ReposEdit2StringGrid1Click();
}
