// The main window's commands of the playlist page: the page does the work; editing a row's zone
// and the mix view reach beyond it.
#include "windows/form_Main.h"

#include "platform/ui/MessageBox.h"
#include "windows/form_MixView.h"
#include "windows/frame_mixedit.h"
#include "windows/frame_reposedit.h"

#include <QListWidget>
#include <QTableWidget>

void TFormMain::PlayClick()
{
    PagePlaylist->PlayClick();
}

void TFormMain::Playfromthisposition1Click()
{
    PagePlaylist->Playfromthisposition1Click();
}

void TFormMain::StopClick()
{
    PagePlaylist->StopClick();
}

void TFormMain::Image12Click()
{
    PagePlaylist->Image12Click();
}

void TFormMain::TriggerNoneClick()
{
    PagePlaylist->TriggerNoneClick();
}

void TFormMain::TriggerMouseClick()
{
    PagePlaylist->TriggerMouseClick();
}

void TFormMain::TriggerKeyboardClick()
{
    PagePlaylist->TriggerKeyboardClick();
}

void TFormMain::MouseWaitDblClick()
{
    PagePlaylist->MouseWaitDblClick();
}

void TFormMain::KeyboardWaitDblClick()
{
    PagePlaylist->KeyboardWaitDblClick();
}

void TFormMain::PlaylistStringGridClick()
{
    PagePlaylist->PlaylistStringGridClick();
}

void TFormMain::PlaylistPopupPopup()
{
    PagePlaylist->PlaylistPopupPopup();
}

void TFormMain::PlaylistEditDoubleClickClick()
{
    PagePlaylist->PlaylistEditDoubleClickClick();
}

void TFormMain::TransitionDblClick()
{
    PagePlaylist->TransitionDblClick();
}

void TFormMain::TransformationDblClick()
{
    PagePlaylist->TransformationDblClick();
}

void TFormMain::Delete1Click()
{
    PagePlaylist->Delete1Click();
}

void TFormMain::ClearPlaylist1Click()
{
    PagePlaylist->ClearPlaylist1Click();
}

void TFormMain::BinsScrollChange()
{
    PagePlaylist->BinsScrollChange();
}

void TFormMain::mixedit1DragDropClick(QObject* sender)
{
    PagePlaylist->mixedit1DragDropClick(sender);
}

void TFormMain::PlaylistBackDragDrop(QWidget* source)
{
    PagePlaylist->PlaylistBackDragDrop(source);
}

void TFormMain::EditZoneClick()
{
    const cMixRow* row = snl.mixdata.Get(snl.SelectedRow);
    if (!row)
        return;
    for (int b = 0; b < snl.Bins.Count(); ++b) {
        const cBin* bin = snl.Bins.Get(b);
        for (int z = 0; z < bin->Items.Count(); ++z) {
            const cBinItem* zone = bin->Items.Get(z);
            if (zone->filename == row->filename && zone->start == row->start && zone->length == row->length) {
                ShowPage(PageBinEditIndex);
                PageBinEdit->FilesList->setCurrentRow(b);
                PageBinEdit->FilesListClick();
                PageBinEdit->bingrid->StringGrid1->SetRow(z);
                return;
            }
        }
    }
    ui::ShowMessage("Can't find the zone in bins.");
}

void TFormMain::MixViewMenuClick()
{
    FormMixView->ShowWholeMix();
    FormMixView->exec();
}
