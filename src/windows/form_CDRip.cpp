#include "windows/form_CDRip.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QTableWidget>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "GraphControls/class_SkinPicture.h"
#include "model/class_Folders.h"
#include "model/class_Switches.h"
#include "platform/trace/Trace.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/SkinImage.h"
#include "platform/ui/WindowHelpers.h"

TFormCDRip* FormCDRip = nullptr;

namespace {

constexpr int kTagDisabledWhileRipping = 1;
constexpr float kTrackEndMargin = 0.03f; // zones end this much before the next track starts
constexpr size_t kMaxNameBytes = 255;
const char* const kCantRead = "Can't read cd track.";

bool busy = false;         // a rip runs; play, stop and a second rip are refused
std::string lastSeenDiscId; // the disc watch's last id

// The cursor shows the lookup's wait for as long as it runs, however it ends.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

void PrepareStringGrid(QTableWidget* grid)
{
    grid->setColumnCount(4);
    grid->setHorizontalHeaderLabels({"#", "Track", "Length", "Rip"});
    // Wide enough for "99.", "59:59.9" and "rip" in the grid's font; the title takes the rest
    // but for room for the scroll bar.
    const int number = 28, length = 56, rip = 34;
    grid->setColumnWidth(0, number);
    grid->setColumnWidth(2, length);
    grid->setColumnWidth(3, rip);
    grid->setColumnWidth(1, grid->width() - number - length - rip - 30);
}

// The text cut to at most `bytes` bytes without splitting a UTF-8 character.
std::string CutOnCharacter(std::string text, size_t bytes)
{
    if (text.size() <= bytes)
        return text;
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80)
        --bytes;
    text.resize(bytes);
    return text;
}

// A reason of several lines on one, without the line that names the file (the track names it).
std::string OneLineReason(const std::string& text)
{
    std::string result;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.rfind("File name: ", 0) != 0)
            result += (result.empty() ? "" : " ") + line;
        start = end + 1;
    }
    return result;
}

bool Exists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// Creates one folder level; false (with the reason traced) when it neither exists nor can be made.
bool MakeFolder(const std::string& path)
{
    if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST)
        return true;
    trace("Can't create folder " + path + ": " + std::strerror(errno));
    return false;
}

// Processes pending events for `ms` milliseconds, so the window paints while it waits.
void WaitProcessing(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

const char* const kFieldStyle = "color: #e8ebf0; background: #0e1014; border: none; font-family: 'DejaVu Sans';"
                                " font-size: 9pt; selection-background-color: #1d3346;";

} // namespace

// Everything a rip changes on the window, put back on every way out (exceptions included): the
// busy flag, the controls, the progress bar and the Abort button. Abort stays shown from the rip's
// first track to its last: hiding it between tracks would drop a click whose press came before.
class TFormCDRip::RipScope {
public:
    explicit RipScope(TFormCDRip* form) : form_(form)
    {
        busy = true;
        form->CheckNewCD->stop(); // a disc change must not reload the list under a rip
        form->CDRipper1.StopPlay();
        form->abortFlag_ = false;
        form->failedTracks_.clear();
        form->skipped_.clear();
        ui::EnableControlsByTag(form, false, kTagDisabledWhileRipping);
        form->ProgressBar1->setValue(0);
        form->ProgressBar1->show();
        form->Abort->show();
        form->Abort->repaint();
    }
    ~RipScope()
    {
        busy = false;
        if (!form_)
            return;
        ui::EnableControlsByTag(form_, true, kTagDisabledWhileRipping);
        form_->ProgressBar1->hide();
        form_->Abort->hide();
        form_->CDRipper1.CloseNeedle();
        if (form_->isVisible())
            form_->CheckNewCD->start();
    }
    RipScope(const RipScope&) = delete;
    RipScope& operator=(const RipScope&) = delete;

private:
    QPointer<TFormCDRip> form_;
};

TFormCDRip::TFormCDRip(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormCDRip");
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowTitle("CD Rip");
    setModal(true);

    Image = new QLabel(this);
    Image->setObjectName("Image");
    Image->setPixmap(ui::SkinPixmap("cdrip_back"));
    Image->setGeometry(0, 0, Image->pixmap().width(), Image->pixmap().height());
    Image->installEventFilter(this);

    Image1 = MakeSkinButton(this, "cdrip_close", "Image1", 522, 10);
    Image2 = MakeSkinButton(this, "cdrip_play", "Image2", 20, 400);
    Image3 = MakeSkinButton(this, "cdrip_stop", "Image3", 66, 400);
    Abort = MakeSkinButton(this, "cdrip_abort", "Abort", 272, 400);
    RipMarked = MakeSkinButton(this, "cdrip_rip_marked", "RipMarked", 356, 400);
    RipOneBin = MakeSkinButton(this, "cdrip_rip_onebin", "RipOneBin", 454, 400);
    Image1->OnClick = [this] { Image1Click(); };
    Image2->OnClick = [this] { PlayClick(); };
    Image3->OnClick = [this] { StopClick(); };
    Abort->OnClick = [this] { AbortClick(); };
    RipMarked->OnClick = [this] { RipSepClick(); };
    RipOneBin->OnClick = [this] { RipOneBinClick(); };

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setGeometry(20, 64, 520, 24);
    ComboBox1->setStyleSheet(QString("QComboBox { %1 padding-left: 4px; } QComboBox:disabled { color: #5c6470; }").arg(kFieldStyle));
    ComboBox1->addItem("no drives");
    connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });

    Label1 = new QLabel("CD Title:", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(20, 104, 70, 18);
    Label1->setStyleSheet("color: #8d96a6; font-family: 'DejaVu Sans'; font-size: 9pt;");

    CDTitle = new QLineEdit(this);
    CDTitle->setObjectName("CDTitle");
    CDTitle->setFrame(false);
    CDTitle->setGeometry(92, 102, 448, 22);
    CDTitle->setStyleSheet(QString("QLineEdit { %1 } QLineEdit:disabled { color: #5c6470; }").arg(kFieldStyle));

    cdtracks = new QTableWidget(this);
    cdtracks->setObjectName("cdtracks");
    cdtracks->setGeometry(20, 138, 520, 232);
    cdtracks->verticalHeader()->hide();
    cdtracks->verticalHeader()->setDefaultSectionSize(18);
    cdtracks->setSelectionBehavior(QAbstractItemView::SelectRows);
    cdtracks->setSelectionMode(QAbstractItemView::SingleSelection);
    cdtracks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cdtracks->setShowGrid(false);
    cdtracks->setRowCount(1);
    cdtracks->setStyleSheet("QTableWidget { background: #0e1014; color: #e8ebf0; border: none; font-family: 'DejaVu Sans';"
                            " font-size: 9pt; selection-background-color: #1d3346; selection-color: #e8ebf0; }"
                            " QTableWidget:disabled { color: #5c6470; }"
                            " QHeaderView { background: #161a20; } QTableCornerButton::section { background: #161a20; }"
                            " QHeaderView::section { background: #161a20; color: #8d96a6; border: none;"
                            " border-bottom: 1px solid #2c323c; padding-left: 2px; }");
    cdtracks->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    cdtracks->viewport()->installEventFilter(this);
    cdtracks->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* menu = new QMenu(this);
    menu->addAction("Select All", this, [this] { SelectAll1Click(); });
    menu->addAction("Unselect All", this, [this] { UnselectAll1Click(); });
    connect(cdtracks, &QWidget::customContextMenuRequested, this,
            [this, menu](const QPoint& at) { menu->popup(cdtracks->viewport()->mapToGlobal(at)); });

    Status = new QLabel(this);
    Status->setObjectName("Status");
    Status->setGeometry(20, 376, 520, 16);
    Status->setStyleSheet("color: #8d96a6; font-family: 'DejaVu Sans'; font-size: 9pt;");

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(116, 411, 150, 10);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setStyleSheet("QProgressBar { background: #0e1014; border: none; }"
                                " QProgressBar::chunk { background: #4cc2ff; }");
    ProgressBar1->hide();

    for (QWidget* control : std::initializer_list<QWidget*>{CDTitle, ComboBox1, cdtracks})
        ui::SetTag(control, kTagDisabledWhileRipping);

    CheckNewCD = new QTimer(this);
    CheckNewCD->setInterval(1000);
    connect(CheckNewCD, &QTimer::timeout, this, [this] { CheckNewCDTimer(); });

    EncoderNode1.SourceNode = &CDRipper1;
    // The node's defaults are the format every wizard writes: 256 kbit/s stereo MP3 of 44.1 kHz PCM.
    EncoderNode1.SetOutputMP3(true);
    EncoderNode1.OnEncodeProgress = [this](TAudioTransformNode*) { EncoderNode1EncodeProgress(); };

    FormCreate();
}

TFormCDRip::~TFormCDRip() = default;

void TFormCDRip::FormCreate()
{
    PrepareStringGrid(cdtracks);
    setFixedSize(Image->size());
    ui::SetRoundWindowRegion(this, 6);
}

bool TFormCDRip::Busy() { return busy; }

void TFormCDRip::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TFormCDRip::FormShow()
{
    const int kept = std::max(ComboBox1->currentIndex(), 0);
    ComboBox1->clear();
    for (const std::string& drive : CDRipper1.GetDrives())
        ComboBox1->addItem(QString::fromStdString(drive));
    if (ComboBox1->count() == 0)
        ComboBox1->addItem("no drives");
    ComboBox1->setCurrentIndex(std::min(kept, ComboBox1->count() - 1));
    CheckNewCD->start();
    Abort->hide();
}

void TFormCDRip::FormClose()
{
    CheckNewCD->stop();
    CDRipper1.StopPlay();
    CDRipper1.CloseNeedle();
}

void TFormCDRip::done(int result)
{
    if (busy)
        AbortClick(); // the rip in hand ends at its next block and cleans up after itself
    FormClose();
    QDialog::done(result);
}

void TFormCDRip::ComboBox1Change()
{
    lastSeenDiscId = TCDRipper::GetCDID(ComboBox1->currentIndex()); // the watch asks no second time
    CDRipper1.SetDriveIndex(ComboBox1->currentIndex());
    CDTitle->clear();
    trackLengths_.clear();
    for (int i = 0; i < CDRipper1.TrackCount; ++i)
        trackLengths_.push_back(CDRipper1.GetTrackLenStr(i));
    cdtracks->setRowCount(CDRipper1.TrackCount == -1 ? 1 : CDRipper1.TrackCount);
    RefreshGrid();
    ShowImageRefusal();
    if (CDRipper1.TrackCount != -1)
        CDDBClick();
}

// An image drive whose sheet is not read says so on the status line, cut to the line's width; the
// whole reason is its tool tip.
void TFormCDRip::ShowImageRefusal()
{
    const QString text =
        CDRipper1.ImageRefusal.empty() ? QString() : "Cannot read image " + QString::fromStdString(CDRipper1.ImageRefusal);
    Status->setText(Status->fontMetrics().elidedText(text, Qt::ElideRight, Status->width()));
    Status->setToolTip(text);
}

void TFormCDRip::CheckNewCDTimer()
{
    if (busy)
        return;
    const std::string id = TCDRipper::GetCDID(ComboBox1->currentIndex());
    if (id != lastSeenDiscId)
        ComboBox1Change();
}

void TFormCDRip::CDDBClick()
{
    if (IsSwitch("nocddb"))
        return;
    Status->setText("Trying to get CD Info from Internet");
    Status->repaint();
    BusyCursor cursor;
    if (CDRipper1.GetCDDBInfo()) {
        CDTitle->setText(QString::fromStdString(CDRipper1.DiscTitle));
        RefreshGrid();
    }
    Status->clear();
}

void TFormCDRip::RefreshGrid()
{
    const int tracks = CDRipper1.TrackCount;
    for (int row = 0; row < cdtracks->rowCount(); ++row) {
        const bool track = tracks != -1 && row < tracks;
        const QString texts[4] = {
            tracks == -1 ? QString() : QString::number(row + 1) + ".",
            track && CDRipper1.ValidTrackIndex(row) ? QString::fromStdString(CDRipper1.TrackNames[row]) : QString(),
            track && row < static_cast<int>(trackLengths_.size()) ? QString::fromStdString(trackLengths_[row]) : QString(),
            track && CDRipper1.TrackMarks[row] ? QString("rip") : QString(),
        };
        for (int column = 0; column < 4; ++column) {
            QTableWidgetItem* item = cdtracks->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                cdtracks->setItem(row, column, item);
            }
            item->setText(texts[column]);
        }
    }
}

bool TFormCDRip::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Image) {
            ui::DragWindowByControl(this);
            return true;
        }
        if (watched == cdtracks->viewport()) {
            const int row = cdtracks->rowAt(static_cast<QMouseEvent*>(event)->position().toPoint().y());
            if (row >= 0 && row < std::min(CDRipper1.TrackCount, TCDRipper::MaxTracks)) {
                CDRipper1.TrackMarks[row] = !CDRipper1.TrackMarks[row];
                RefreshGrid();
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormCDRip::SelectAll1Click()
{
    CDRipper1.TrackMarks.fill(true);
    RefreshGrid();
}

void TFormCDRip::UnselectAll1Click()
{
    CDRipper1.TrackMarks.fill(false);
    RefreshGrid();
}

int TFormCDRip::SelectedTrack() const { return cdtracks->currentRow(); }

void TFormCDRip::SelectTrack(int track)
{
    if (track >= 0 && track < cdtracks->rowCount())
        cdtracks->selectRow(track);
}

void TFormCDRip::PlayClick()
{
    if (!busy && CDRipper1.ValidTrackIndex(SelectedTrack()))
        CDRipper1.PlayTrack(SelectedTrack());
}

void TFormCDRip::StopClick()
{
    if (!busy)
        CDRipper1.StopPlay();
}

void TFormCDRip::AbortClick()
{
    EncoderNode1.Stop();
    abortFlag_ = true;
}

void TFormCDRip::Image1Click()
{
    AbortClick();
    close();
}

bool TFormCDRip::CheckAudioCDPresent()
{
    if (CDRipper1.TrackCount == 0 || CDRipper1.TrackCount == -1) {
        ui::ShowMessage("Please insert audio cd.");
        return false;
    }
    return true;
}

int TFormCDRip::NextMarkedTrack(int index) const
{
    const int tracks = std::min(CDRipper1.TrackCount, TCDRipper::MaxTracks);
    for (int i = std::max(index + 1, 0); i < tracks; ++i)
        if (CDRipper1.TrackMarks[i])
            return i;
    return -1;
}

std::string TFormCDRip::TrackLabel(int track) const
{
    const std::string number = "track " + std::to_string(track + 1);
    const std::string name = CDRipper1.ValidTrackIndex(track) ? CDRipper1.TrackNames[track] : number;
    return name == number ? number : number + " (" + name + ")";
}

void TFormCDRip::NoteFailedTrack(int track, const std::string& reason)
{
    trace("CD rip: " + TrackLabel(track) + " not ripped: " + reason);
    failedTracks_.emplace(track, TrackLabel(track) + ": " + OneLineReason(reason)); // the first reason stays
}

bool TFormCDRip::StartTrack(int track)
{
    SelectTrack(track);
    try {
        CDRipper1.PutNeedleOnTrack(track);
        return true;
    } catch (const std::exception& e) {
        NoteFailedTrack(track, e.what());
        return false;
    }
}

int TFormCDRip::StartNextReadableTrack(int track)
{
    for (int next = NextMarkedTrack(track); next >= 0; next = NextMarkedTrack(next))
        if (StartTrack(next))
            return next;
    return -1;
}

std::string TFormCDRip::EncodeInto(const std::string& file)
{
    EncoderNode1.SetOutputFileName(file);
    EncoderNode1.OutputFormatDetect();
    ProgressBar1->setValue(0);
    const bool written = EncoderNode1.Encode();
    if (abortFlag_)
        return "";
    if (CDRipper1.NeedleReadFailed())
        return kCantRead;
    if (!written || !Exists(file))
        return EncoderNode1.ErrorText().empty() ? "The file " + file + " was not written." : EncoderNode1.ErrorText();
    NoteSkippedSectors();
    return "";
}

void TFormCDRip::NoteSkippedSectors()
{
    const int64_t skipped = CDRipper1.NeedleSkippedSectors();
    if (skipped > 0)
        skipped_[CDRipper1.NeedleTrack()] = skipped;
}

void TFormCDRip::ShowRipReport()
{
    std::string text;
    if (!failedTracks_.empty()) {
        text = "These tracks were not ripped:";
        for (const auto& [track, line] : failedTracks_)
            text += "\r\n" + line;
        if (results_.empty())
            text += "\r\n\r\nNo file was kept.";
    }
    if (!skipped_.empty()) {
        text += text.empty() ? "" : "\r\n\r\n";
        text += "Some sectors could not be read and were skipped:";
        for (const auto& [track, sectors] : skipped_)
            text += "\r\ntrack " + std::to_string(track + 1) + " (" + std::to_string(sectors) + " sectors)";
    }
    if (text.empty())
        return;
    trace(text);
    ui::ShowMessage(text);
}

void TFormCDRip::CloseWithOk()
{
    done(QDialog::Accepted);
    WaitProcessing(1000);
}

void TFormCDRip::RipSepClick()
{
    if (busy || !CheckAudioCDPresent())
        return;
    oneFile_ = false;
    bool ripped = false;
    {
        RipScope scope(this);
        const std::string folder = GetCDRipFolder() + "/" + MakeDateTimeStamp();
        results_.clear();
        if (!MakeFolder(folder)) {
            ui::ShowMessage("Can't create folder " + folder + ".");
            return;
        }
        const int remembered = SelectedTrack();
        ripped = RipSeparateFiles(folder);
        SelectTrack(remembered);
    }
    if (!abortFlag_)
        ShowRipReport();
    if (ripped)
        CloseWithOk();
}

bool TFormCDRip::RipSeparateFiles(const std::string& folder)
{
    EncoderNode1.KeepPartOnFailure = false; // a track is ripped whole or not at all
    const bool anyMarked = NextMarkedTrack(-1) >= 0;
    for (int track = NextMarkedTrack(-1); track >= 0 && !abortFlag_; track = NextMarkedTrack(track)) {
        if (!StartTrack(track))
            continue;
        const std::string name = SafeFileName(CDTitle->text().toStdString() + " - " + CDRipper1.TrackNames[track], ".mp3");
        const std::string file = UniqueFilePath(folder, name, results_);
        const std::string failure = EncodeInto(file);
        if (failure.empty() && !abortFlag_) {
            results_.push_back(file);
            continue;
        }
        std::remove(file.c_str()); // what there is of a failed or aborted track
        if (!failure.empty())
            NoteFailedTrack(track, failure);
    }
    TakeLateAbort();
    if (abortFlag_) {
        for (const std::string& file : results_)
            std::remove(file.c_str());
        results_.clear();
    }
    if (results_.empty())
        rmdir(folder.c_str()); // stays when something else is in it
    return !abortFlag_ && (!results_.empty() || !anyMarked);
}

void TFormCDRip::RipOneBinClick()
{
    if (busy || !CheckAudioCDPresent())
        return;
    bool ripped = false;
    {
        RipScope scope(this);
        oneFile_ = true;
        const std::string base = GetDocumentsFolder() + "/CD Rip";
        const std::string folder = base + "/" + MakeDateTimeStamp();
        rippedTracks_ = 0;
        results_.clear();
        if (!MakeFolder(base) || !MakeFolder(folder)) {
            ui::ShowMessage("Can't create folder " + folder + ".");
            return;
        }
        const int remembered = SelectedTrack();
        if (NextMarkedTrack(-1) < 0)
            SelectAll1Click();
        if (StartNextReadableTrack(-1) >= 0)
            RipIntoOneFile(folder);
        else
            rmdir(folder.c_str());
        SelectTrack(remembered);
        ripped = !abortFlag_ && !results_.empty();
    }
    if (!abortFlag_)
        ShowRipReport();
    if (ripped)
        CloseWithOk();
}

void TFormCDRip::RipIntoOneFile(const std::string& folder)
{
    const std::string name = SafeFileName(CDTitle->text().toStdString() + " - onebin", ".mp3");
    const std::string file = UniqueFilePath(folder, name, {});
    // Should the encoder fail (a full disk), the tracks read whole before are kept: the file is cut
    // at the end of the last one it holds.
    EncoderNode1.KeepPartOnFailure = true;
    EncoderNode1.KeepPartEnds.clear();
    fileTracks_.clear();
    const std::string failure = EncodeInto(file);
    TakeLateAbort();
    if (!failure.empty() && !abortFlag_)
        FitTracksToFile(file, failure);
    // An aborted one-file rip keeps what it wrote; a failed one what it holds of complete tracks.
    if ((failure.empty() || abortFlag_ || rippedTracks_ > 0) && Exists(file)) {
        results_.push_back(file);
        return;
    }
    std::remove(file.c_str());
    rmdir(folder.c_str());
}

void TFormCDRip::FitTracksToFile(const std::string& file, const std::string& failure)
{
    // A failed encoder kept its file up to the end of a track; otherwise the file holds every
    // track read whole.
    const bool cut = !EncoderNode1.ErrorText().empty();
    const std::vector<int64_t>& ends = EncoderNode1.KeepPartEnds;
    const double keptBytes = EncoderNode1.KeptSeconds() * TCDRipper::BytesPerSecond + 0.5;
    size_t held = fileTracks_.size();
    if (cut)
        held = static_cast<size_t>(std::count_if(ends.begin(), ends.end(), [keptBytes](int64_t end) { return end <= keptBytes; }));
    if (!Exists(file))
        held = 0;
    rippedTracks_ = static_cast<int>(held);
    if (cut && held > 0) // the file's last track: no next one to keep clear of
        trackEnds_[held - 1] = static_cast<float>(ends[held - 1] / TCDRipper::BytesPerSecond);
    std::vector<int> reached = fileTracks_;
    if (reached.empty() || reached.back() != CDRipper1.NeedleTrack())
        reached.push_back(CDRipper1.NeedleTrack()); // the track the rip was in
    if (held == reached.size())
        return;
    const int stopped = reached[held];
    NoteFailedTrack(stopped, failure);
    for (int track = NextMarkedTrack(stopped); track >= 0; track = NextMarkedTrack(track))
        NoteFailedTrack(track, "the rip stopped at track " + std::to_string(stopped + 1) + ".");
}

void TFormCDRip::TakeLateAbort()
{
    QCoreApplication::processEvents();
    if (Abort->Pressed())
        AbortClick();
}

void TFormCDRip::EncoderNode1EncodeProgress()
{
    ProgressBar1->setValue(static_cast<int>(CDRipper1.Progress * 100));
    const float elapsed = static_cast<float>(EncoderNode1.ProgressBytes / TCDRipper::BytesPerSecond);
    if (CDRipper1.Progress == 1.0f) {
        if (!oneFile_) {
            EncoderNode1.Stop();
        } else if (rippedTracks_ < TCDRipper::MaxTracks) {
            trackEnds_[rippedTracks_] = elapsed;
            EncoderNode1.KeepPartEnds.push_back(EncoderNode1.ProgressBytes);
            fileTracks_.push_back(CDRipper1.NeedleTrack());
            NoteSkippedSectors();
            ++rippedTracks_;
            if (StartNextReadableTrack(CDRipper1.NeedleTrack()) >= 0) {
                trackEnds_[rippedTracks_ - 1] -= kTrackEndMargin;
                QCoreApplication::processEvents();
                return;
            }
            EncoderNode1.Stop();
        }
    }
    // Keeps the window painted and lets Abort and closing reach the window.
    QCoreApplication::processEvents();
}

CDRipResult TFormCDRip::Result() const
{
    CDRipResult result;
    result.files = results_;
    result.oneBin = oneFile_;
    if (oneFile_)
        result.trackEnds.assign(trackEnds_.begin(), trackEnds_.begin() + rippedTracks_);
    return result;
}

std::string TFormCDRip::SafeFileName(const std::string& stem, const std::string& extension)
{
    std::string name;
    for (unsigned char c : stem)
        name += (c == '/' || c < 0x20 || c == 0x7f) ? '-' : static_cast<char>(c);
    name.erase(0, name.find_first_not_of('.'));
    return CutOnCharacter(name, kMaxNameBytes - extension.size()) + extension;
}

std::string TFormCDRip::UniqueFilePath(const std::string& folder, const std::string& name,
                                       const std::vector<std::string>& taken)
{
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    auto used = [&taken](const std::string& path) {
        return Exists(path) || std::find(taken.begin(), taken.end(), path) != taken.end();
    };
    std::string path = folder + "/" + name;
    for (int n = 2; used(path); ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        path = folder + "/" + CutOnCharacter(stem, kMaxNameBytes - extension.size() - suffix.size()) + suffix + extension;
    }
    return path;
}

std::string MakeDateTimeStamp()
{
    return QDateTime::currentDateTime().toString("yyyy_MM_dd__hh_mm_ss").toStdString();
}
