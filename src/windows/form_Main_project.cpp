// The main window's project commands (new, load, save, exit), the project-changed refresh, the
// source list and the bin strips, and the page commands.
#include "windows/form_Main.h"

#include "AudioControls/class_AudioView.h"
#include "model/class_FileLog.h"
#include "model/class_Folders.h"
#include "model/class_Switches.h"
#include "model/form_LoadRepository.h"
#include "platform/ui/FittedText.h"
#include "platform/ui/MessageBox.h"
#include "windows/frame_mixedit.h"
#include "windows/frame_reposedit.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStackedWidget>

#include <algorithm>
#include <exception>
#include <filesystem>

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

    {
        const QSignalBlocker quiet(FilesList);
        const int remembered = FilesList->currentRow();
        FilesList->clear();
        for (const auto& bin : snl.Bins)
            FilesList->addItem(QString::fromStdString(bin->title));
        FilesList->setCurrentRow(remembered < FilesList->count() ? remembered : -1);
        if (FilesList->currentRow() < 0 && snl.Bins.Count() > 0)
            FilesList->setCurrentRow(0);
    }
    if (snl.Bins.Count() == 0) {
        LoopView->SetFileName("");
        DetachBins();
    }
    FilesListClick();

    const int bins = snl.Bins.Count();
    {
        const QSignalBlocker quiet(BinsScroll);
        // The bar's maximum is its highest position: the last three bins fill the strips there.
        BinsScroll->setMaximum(bins > 3 ? bins - 3 : 0);
        BinsScroll->setPageStep(3);
        if (bins <= 3)
            BinsScroll->setValue(0);
    }
    BinsScroll->setVisible(bins > 3);
    BinsScrollChange();
}

void TFormMain::DetachBins()
{
    bingrid->AssignBin(nullptr);
    for (TFrameReposEdit* strip : ReposEdits)
        strip->AssignBin(nullptr);
    LoopView->SelectedZoneIndex = -1;
}

void TFormMain::PlaylistStringGridClick()
{
    const int row = PlaylistCurrentRow();
    if (snl.mixdata.Get(row))
        snl.SelectedRow = row;
}

// ---- Source list and bins ------------------------------------------------------------------

void TFormMain::ConnectBins()
{
    FilesPopup = new QMenu(this);
    FilesPopup->addAction("Remove", this, &TFormMain::DeleteFile1Click);
    FilesPopup->addAction("Rename", this, &TFormMain::Rename2Click);
    FilesList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FilesList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { FilesPopup->exec(FilesList->viewport()->mapToGlobal(at)); });
    // The user's choice only: refills from code select without a click.
    connect(FilesList, &QListWidget::itemClicked, this, [this] { FilesListClick(); });

    bingridPopup = new QMenu(this);
    bingridPopup->addAction("Remove", this, &TFormMain::bingridDelete2Click);
    QAction* rename = bingridPopup->addAction("Rename", this, &TFormMain::Image24Click);
    rename->setShortcut(Qt::Key_F2);
    rename->setShortcutContext(Qt::WidgetShortcut);
    bingrid->StringGrid1->addAction(rename);
    bingrid->StringGrid1->PopupMenu = bingridPopup;
    bingrid->StringGrid1->OnClick = [this] { ReposEdit2StringGrid1Click(); };
    bingrid->StringGrid1->OnDblClick = [this] { bingridStringGrid1DblClick(); };
    bingrid->OnDoubleClickEventTimer = [this] { bingrid->DoubleClickEventTimer(); };
    bingrid->OnDeleteItemClick = [this] { bingridDelete2Click(); };
    bingrid->DoubleClick.OnClick = [this](QObject*) { bingridDoubleClickClick(); };
    bingrid->AssignData.OnClick = [this](QObject*) { bingridAssignDataClick(); };
    bingrid->SelectItem.OnClick = [this](QObject*) { bingridSelectItemClick(); };

    BinPopup = new QMenu(this);
    BinPopup->addAction("Edit", this, &TFormMain::LoopEditorClick);
    for (TFrameReposEdit* strip : ReposEdits) {
        strip->StringGrid1->PopupMenu = BinPopup;
        strip->DoubleClick.OnClick = [this](QObject*) { LoopEditorClick(); };
        strip->DeleteItem->setVisible(false);
        strip->OnDeleteItemClick = nullptr;
        strip->AllowReorder = false;
    }
    DetachBins();
}

void TFormMain::FilesListClick()
{
    const int index = FilesList->currentRow();
    cBin* bin = snl.Bins.Get(index);
    if (!bin)
        return;
    std::string loadFailure;
    try {
        snl.SelectedBin = index;
        try {
            LoadBinFile(*bin, bin->filename);
        } catch (const std::exception& error) {
            // A source that went since the load is named once; its zones stay in reach.
            loadFailure = error.what();
            bin->SourceMissing = true;
        }
        LoopView->SetViewStart(0);
        LoopView->SetViewLen(1);
        bingrid->AssignBin(bin);
        if (bin->Items.Count() == 0) {
            LoopView->SetSelStart(0);
            LoopView->SetSelLen(0);
        } else {
            ReposEdit2StringGrid1Click();
        }
    } catch (const std::exception& error) {
        ui::ShowMessage(error.what());
    }
    if (!loadFailure.empty())
        ui::ShowMessage(loadFailure); // over the bin as it now shows
}

// A source found missing was named once, when the project loaded or when its bin was selected
// since: its bin and zones show without a waveform and without another word.
void TFormMain::LoadBinFile(const cBin& bin, const std::string& path)
{
    std::error_code ec;
    const bool named = bin.SourceMissing && !std::filesystem::exists(path, ec);
    LoopView->SetFileName(named ? "" : path);
}

void TFormMain::Rename2Click()
{
    cBin* bin = snl.Bins.Get(FilesList->currentRow());
    if (!bin)
        return;
    const std::optional<std::string> name = ui::InputBox("Rename", "New Name", bin->title);
    if (!name)
        return;
    bin->title = *name;
    if (snl.OnChange)
        snl.OnChange(nullptr);
}

void TFormMain::DeleteFile1Click()
{
    const int index = FilesList->currentRow();
    if (snl.Bins.Get(index)) {
        DetachBins(); // no frame or zone may keep the bin that goes
        snl.Bins.Delete(index);
    }
    if (snl.OnChange)
        snl.OnChange(nullptr);
}

void TFormMain::bingridStringGrid1DblClick()
{
    bingrid->StringGrid1DblClick();
    ZoneEditPlayClick();
}

void TFormMain::bingridDoubleClickClick()
{
    if (const cBinItem* zone = CurrentZone())
        LoadBinFile(*bingrid->data, zone->filename);
}

void TFormMain::bingridSelectItemClick()
{
    if (const cBinItem* zone = CurrentZone())
        LoadBinFile(*bingrid->data, zone->filename);
}

void TFormMain::bingridDelete2Click()
{
    bingrid->DeleteItemClick();
    LoopView->SetSelLen(0);
    ReposEdit2StringGrid1Click();
}

void TFormMain::BinsScrollChange()
{
    const int first = BinsScroll->value();
    for (int k = 0; k < 3; ++k) {
        cBin* bin = snl.Bins.Get(first + k);
        ReposTitles[k]->setVisible(bin != nullptr);
        ReposEdits[k]->setVisible(bin != nullptr);
        if (bin)
            ui::ShowFittedTitle(ReposTitles[k], QString::fromStdString(bin->title));
        // A hidden strip keeps no bin that may go meanwhile.
        ReposEdits[k]->AssignBin(bin);
    }
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
    FocusPlaylist();
    BinsScroll->setVisible(snl.Bins.Count() > 3);
    SetPlaylistRows();
    PlaylistStringGridClick();
    FocusStripOfCurrentBin();
}

// Scrolls the strips as little as needed to show the current bin, and focuses its strip.
void TFormMain::FocusStripOfCurrentBin()
{
    const int current = snl.SelectedBin;
    if (!snl.Bins.Get(current))
        return;
    const int position = BinsScroll->value();
    const int wanted = std::clamp(position, current - 2, current);
    if (wanted != position)
        BinsScroll->setValue(wanted); // refills the strips
    const int strip = current - BinsScroll->value();
    if (strip >= 0 && strip < 3 && !ReposEdits[strip]->isHidden())
        ReposEdits[strip]->StringGrid1->setFocus();
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
