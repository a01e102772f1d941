// Adding sources: audio files from disk and the files the CD rip and record wizards made become
// bins of the project, titled from their tags.
#include "windows/form_Main.h"

#include "AudioControls/class_AudioView.h"
#include "model/class_FileLog.h"
#include "platform/sound/SoundCD.h"
#include "platform/sound/SoundLibrary.h"
#include "platform/sound/SoundTags.h"
#include "platform/trace/Trace.h"
#include "platform/ui/MessageBox.h"
#include "windows/frame_reposedit.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QListWidget>
#include <QTimer>

#include <filesystem>

namespace {

// Pause after each wizard file: the window keeps painting while its waveform is prepared.
constexpr int kWizardFilePauseMs = 500;

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Clears a flag on every way out of a scope, exceptions included.
class ClearOnExit {
public:
    explicit ClearOnExit(bool& flag) : flag(flag) {}
    ~ClearOnExit() { flag = false; }
    ClearOnExit(const ClearOnExit&) = delete;
    ClearOnExit& operator=(const ClearOnExit&) = delete;

private:
    bool& flag;
};

void PauseWithEvents(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

bool ReadArtistTitle(const std::string& fileName, std::string& artist, std::string& title)
{
    BassHandle stream = BASS_StreamCreateFile(fileName, BASS_STREAM_DECODE);
    if (!stream)
        stream = BASS_WMA_StreamCreateFile(fileName, BASS_STREAM_DECODE);
    if (!stream)
        stream = BASS_CD_StreamCreateFile(fileName, BASS_STREAM_DECODE);
    if (!stream)
        return false;
    std::string tagArtist;
    std::string tagTitle;
    TAGS_ReadArtistTitle(fileName, tagArtist, tagTitle);
    BASS_StreamFree(stream);
    tagArtist = Trimmed(tagArtist);
    tagTitle = Trimmed(tagTitle);
    if (tagArtist.empty() && tagTitle.empty())
        return false;
    artist = tagArtist;
    title = tagTitle;
    return true;
}

std::string SourceTitle(const std::string& fileName)
{
    std::string artist;
    std::string title;
    if (!ReadArtistTitle(fileName, artist, title))
        return std::filesystem::path(fileName).filename().string();
    if (!artist.empty() && !title.empty())
        return artist + " - " + title;
    return artist.empty() ? title : artist;
}

std::string SoundFileFilter()
{
    std::string patterns;
    for (const std::string& extension : BASS_GetFileExtensions())
        patterns += (patterns.empty() ? "*." : ";*.") + extension;
    return "Sound files|" + patterns + "|All files|*";
}

void TFormMain::openmp3Click(QObject* sender)
{
    LogToFile("Select From Disk", true, true);
    if (sender && !AudioOpen.Execute(this))
        return;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(AudioOpen.FileName, ec)) {
        ui::ShowMessage("Can't open file. Wrong file name.");
        return;
    }
    OpenSourceFile(AudioOpen.FileName, true);
}

void TFormMain::OpenSourceFile(const std::string& fileName, bool select)
{
    trace("Opening file in audioview");
    LoopView->SetFileName(fileName);
    // The refresh below must not load another file; a failed step must not leave the view
    // deaf to every later file.
    LoopView->FileLocked = true;
    const ClearOnExit unlock(LoopView->FileLocked);
    ShowPage(PageBinEditIndex);
    cBin* bin = snl.Bins.Add();
    bin->title = SourceTitle(fileName);
    bin->filename = fileName;
    if (snl.OnChange)
        snl.OnChange(nullptr);
    if (select) {
        FilesList->setCurrentRow(FilesList->count() - 1);
        FilesListClick();
    }
}

void TFormMain::AddWizardSources(const std::vector<std::string>& files, bool oneBin,
                                 const std::vector<float>& trackEnds)
{
    QCoreApplication::processEvents();
    for (size_t i = 0; i < files.size(); ++i) {
        OpenSourceFile(files[i], i + 1 == files.size());
        QCoreApplication::processEvents();
        PauseWithEvents(kWizardFilePauseMs);
        QCoreApplication::processEvents();
    }
    cBin* bin = bingrid->data;
    if (!oneBin || !bin)
        return;
    float start = 0;
    for (const float end : trackEnds) {
        std::string title = MakeUniqueZoneName(*bin);
        cBinItem* zone = bin->Items.Add();
        zone->title = std::move(title);
        zone->filename = LoopView->FileName();
        zone->start = start;
        zone->length = end - start;
        start = end;
    }
    if (snl.OnChange)
        snl.OnChange(nullptr);
}
