// The main window's project commands (new, load, save, exit), the project-changed refresh of
// both pages, and the page commands.
#include "windows/form_Main.h"

#include "model/class_FileLog.h"
#include "model/class_Folders.h"
#include "model/class_Switches.h"
#include "windows/form_LoadRepository.h"
#include "platform/ui/MessageBox.h"
#include "windows/frame_mixedit.h"
#include "windows/frame_reposedit.h"

#include <QFileInfo>
#include <QScrollBar>
#include <QStackedWidget>


void TFormMain::NewProject1Click()
{
    LogToFile("New Project", true, true);
    if (ui::ShowMessageBox("All unsaved data in current project will be lost. Continue?", "Start New Project",
                           ui::MsgButtons::OkCancel, ui::MsgIcon::Question) != ui::MsgResult::Ok)
        return;
    ClearProject();
    ShowPage(PageStartIndex);
}

void TFormMain::ClearProject()
{
    ProjSaveDialog.FileName.clear();
    snl.FileName.clear();
    // The sound thread must let go of the rows before they are freed.
    StopMix();
    snl.WavProducer.Stop();
    DetachBins();
    snl.mixdata.Clear();
    snl.Bins.Clear();
    if (snl.OnChange)
        snl.OnChange(nullptr);
}

void TFormMain::Save1Click()
{
    LogToFile("Save Project", true, true);
    // The dialog offers the project's own path; a project never saved goes to the data folder.
    ProjSaveDialog.InitialDir = GetDataFolder();
    if (!ProjSaveDialog.Execute(this))
        return;
    snl.SaveToFile(ProjSaveDialog.FileName);
}

void TFormMain::Load1Click()
{
    Image21Click();
}

void TFormMain::Image21Click()
{
    LogToFile("Load Project", true, true);
    ProjOpenDialog.FileName.clear();
    if (ProjOpenDialog.Execute(this))
        LoadProject(ProjOpenDialog.FileName);
}

void TFormMain::LoadProject(const std::string& given)
{
    // Remembered as a full path: the next start may be in another working folder.
    const std::string path = QFileInfo(QString::fromStdString(given)).absoluteFilePath().toStdString();
    // Loading stops the renderer before it replaces the rows, and the frames let go of the bins
    // before they are replaced (the missing-source message repaints the window meanwhile).
    StopMix();
    DetachBins();
    try {
        snl.LoadFromFile(path);
    } catch (...) {
        OnChangeClick(nullptr); // the project is unchanged: show it again
        throw;
    }
    // A missing file leaves the project as it was, without a change callback.
    OnChangeClick(nullptr);
    ProjSaveDialog.FileName = path;
    ShowPage(PagePlaylistIndex);
    // A loaded mix plays from its first row: show that row selected.
    if (snl.mixdata.Count() > 0)
        PagePlaylist->PlaylistEdit->Grid->SetRow(0);
}

void TFormMain::ExitClick()
{
    LogToFile("Exit", true, true);
    close();
}

void TFormMain::Exit1Click()
{
    close();
}

void TFormMain::OnChangeClick(QObject*)
{
    PagePlaylist->SetPlaylistRows();
    PlaylistStringGridClick();
    PageBinEdit->ShowSources();
    PagePlaylist->ShowBins();
}

void TFormMain::DetachBins()
{
    PageBinEdit->DetachBin();
    PagePlaylist->DetachStrips();
}

// ---- Pages and bins --------------------------------------------------------------------------

void TFormMain::ConnectPages()
{
    connect(PageBinEdit, &TPageZoneEditor::BinLeaving, this, &TFormMain::DetachBins);
    connect(PagePlaylist, &TPagePlaylist::EditZoneWanted, this, &TFormMain::EditZoneClick);
    connect(PagePlaylist, &TPagePlaylist::ZoneEditorWanted, this, &TFormMain::LoopEditorClick);
    DetachBins();
}

bool TFormMain::HasSourceFiles()
{
    if (snl.Bins.Count() > 0)
        return true;
    ui::ShowMessage("Project doesn't have any source audio files.");
    return false;
}

void TFormMain::playlisteditorClick()
{
    LogToFile("Playlist Editor", true, true);
    if (Pages->currentIndex() == PagePlaylistIndex)
        return;
    BinsScrollChange();
    ShowPage(PagePlaylistIndex);
    PagePlaylist->FocusPlaylist();
    PagePlaylist->BinsScroll->setVisible(snl.Bins.Count() > 3);
    PagePlaylist->SetPlaylistRows();
    PlaylistStringGridClick();
    PagePlaylist->FocusStripOfCurrentBin();
}

void TFormMain::loadreposClick()
{
    LogToFile("Load bins", true, true);
    std::string path = SwitchValue("loadrepos");
    if (path.empty()) {
        ProjOpenDialog.FileName.clear();
        if (!ProjOpenDialog.Execute(this))
            return;
        path = ProjOpenDialog.FileName;
    }
    FormLoadRepository->LoadProject(path);
}
