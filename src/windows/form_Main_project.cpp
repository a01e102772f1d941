// The main window's project commands (new, load, save, exit), the project-changed refresh, the
// page commands.
#include "windows/form_Main.h"

#include "model/class_FileLog.h"
#include "model/class_Folders.h"
#include "platform/ui/MessageBox.h"
#include "windows/frame_mixedit.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStackedWidget>
#include <QListWidget>
#include <QScrollBar>
#include <QTableWidget>

namespace {

void FillZoneGrid(QTableWidget* grid, const cBin& bin, bool withTimes)
{
    grid->setRowCount(bin.Items.Count());
    for (int32_t i = 0; i < bin.Items.Count(); ++i) {
        const cBinItem& zone = *bin.Items.At(i);
        grid->setItem(i, 0, new QTableWidgetItem(QString::fromStdString(zone.title)));
        if (!withTimes)
            continue;
        grid->setItem(i, 1, new QTableWidgetItem(QString::asprintf("%.2fs", zone.start)));
        grid->setItem(i, 2, new QTableWidgetItem(QString::asprintf("%.2fs", zone.length)));
    }
}

} // namespace

void TFormMain::NewProject1Click()
{
    LogToFile("New Project", true, true);
    if (ui::ShowMessageBox("All unsaved data in current project will be lost. Continue?", "Start New Project",
                           ui::MsgButtons::OkCancel, ui::MsgIcon::Question) != ui::MsgResult::Ok)
        return;
    ProjSaveDialog.FileName.clear();
    snl.FileName.clear();
    // The sound thread must let go of the rows before they are freed.
    StopMix();
    snl.WavProducer.Stop();
    snl.mixdata.Clear();
    snl.Bins.Clear();
    if (snl.OnChange)
        snl.OnChange(nullptr);
    ShowPage(PageStartIndex);
}

void TFormMain::Save1Click()
{
    LogToFile("Save Project", true, true);
    // A never-saved project opens the dialog in the data folder.
    cProjectFileDialog dialog = ProjSaveDialog;
    if (dialog.FileName.empty())
        dialog.FileName = GetDataFolder() + "/";
    if (!dialog.Execute(this))
        return;
    ProjSaveDialog.FileName = dialog.FileName;
    snl.SaveToFile(dialog.FileName);
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
    // Loading stops the renderer before it replaces the rows.
    StopMix();
    snl.LoadFromFile(path);
    ProjSaveDialog.FileName = path;
    ShowPage(PagePlaylistIndex);
    // A loaded mix plays from its first row: show that row selected.
    if (snl.mixdata.Count() > 0)
        PlaylistEdit->Grid->SetRow(0);
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
    SetPlaylistRows();
    PlaylistStringGridClick();

    const int remembered = FilesList->currentRow();
    FilesList->clear();
    for (const auto& bin : snl.Bins)
        FilesList->addItem(QString::fromStdString(bin->title));
    FilesList->setCurrentRow(remembered < FilesList->count() ? remembered : -1);
    if (FilesList->currentRow() < 0 && snl.Bins.Count() > 0)
        FilesList->setCurrentRow(0);
    if (snl.Bins.Count() == 0)
        bingrid->setRowCount(0);
    FilesListClick();

    const int bins = snl.Bins.Count();
    BinsScroll->setMaximum(bins > 3 ? bins - 3 : 0);
    BinsScroll->setPageStep(3);
    if (bins <= 3)
        BinsScroll->setValue(0);
    BinsScroll->setVisible(bins > 3);
    BinsScrollChange();
}

void TFormMain::PlaylistStringGridClick()
{
    const int row = PlaylistCurrentRow();
    if (snl.mixdata.Get(row))
        snl.SelectedRow = row;
}

void TFormMain::FilesListClick()
{
    const int index = FilesList->currentRow();
    const cBin* bin = snl.Bins.Get(index);
    if (!bin)
        return;
    snl.SelectedBin = index;
    FillZoneGrid(bingrid, *bin, true);
}

void TFormMain::BinsScrollChange()
{
    const int first = BinsScroll->value();
    for (int k = 0; k < 3; ++k) {
        const cBin* bin = snl.Bins.Get(first + k);
        ReposTitles[k]->setVisible(bin != nullptr);
        ReposEdits[k]->setVisible(bin != nullptr);
        if (!bin)
            continue;
        ReposTitles[k]->setText(QString::fromStdString(bin->title));
        ReposTitles[k]->setToolTip(ReposTitles[k]->text());
        FillZoneGrid(ReposEdits[k], *bin, false);
    }
}

bool TFormMain::HasSourceFiles()
{
    if (snl.Bins.Count() > 0)
        return true;
    ui::ShowMessage("Project doesn't have any source audio files.");
    return false;
}

void TFormMain::LoopEditorClick()
{
    LogToFile("Zone Editor", true, true);
    if (!HasSourceFiles())
        return;
    ShowPage(PageBinEditIndex);
}

void TFormMain::playlisteditorClick()
{
    LogToFile("Playlist Editor", true, true);
    if (Pages->currentIndex() == PagePlaylistIndex)
        return;
    BinsScrollChange();
    ShowPage(PagePlaylistIndex);
    BinsScroll->setVisible(snl.Bins.Count() > 3);
    SetPlaylistRows();
    PlaylistStringGridClick();
    FocusPlaylist();
}
