#pragma once

#include <QDialog>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "GraphControls/class_SkinPicture.h"
#include "disc/class_CDRipper.h"
#include "engine/class_EncoderNode.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTableWidget;
class QTimer;

// What a rip hands to the main window after the window closed with OK: the ripped files in rip
// order; for a one-file rip the one file and, per ripped track, where it ends in that file
// (seconds; each 0.03 s early except the last, so zones never overlap the next track).
struct CDRipResult {
    std::vector<std::string> files;
    bool oneBin = false;
    std::vector<float> trackEnds;
};

// The CD rip wizard: pick a drive, see the disc's tracks (titled from the CDDB server when it
// answers), mark tracks, listen to one, and rip the marked tracks to MP3, one file per track or
// all into one file. The drive is watched: another disc reloads the list within a second.
class TFormCDRip : public QDialog {
    Q_OBJECT
public:
    explicit TFormCDRip(QWidget* parent = nullptr);
    ~TFormCDRip() override;

    QLabel* Image = nullptr;
    TSkinPicture* Image1 = nullptr; // close
    TSkinPicture* Image2 = nullptr; // play
    TSkinPicture* Image3 = nullptr; // stop
    TSkinPicture* RipMarked = nullptr;
    TSkinPicture* RipOneBin = nullptr;
    TSkinPicture* Abort = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* CDTitle = nullptr;
    QLabel* Status = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QTableWidget* cdtracks = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QTimer* CheckNewCD = nullptr;
    TCDRipper CDRipper1;
    TEncoderNode EncoderNode1;

    void ComboBox1Change();
    void CheckNewCDTimer();
    void CDDBClick();
    void SelectAll1Click();
    void UnselectAll1Click();
    void PlayClick();
    void StopClick();
    void AbortClick();
    void Image1Click();
    void RipSepClick();
    void RipOneBinClick();
    void EncoderNode1EncodeProgress();

    // Shows the ripper's track names, lengths and marks in the grid.
    void RefreshGrid();
    void ShowImageRefusal();
    void SelectTrack(int track);

    // The last rip's result (read after the window closed with OK).
    CDRipResult Result() const;
    static bool Busy();

    // A file name from titles: "/", NUL and control characters become "-", leading dots go, and
    // the name is cut to 255 bytes on a character boundary, keeping `extension`.
    static std::string SafeFileName(const std::string& stem, const std::string& extension);
    // `name` in `folder`, or with " (2)", " (3)"... before its extension when that file exists or
    // is in `taken`.
    static std::string UniqueFilePath(const std::string& folder, const std::string& name,
                                      const std::vector<std::string>& taken);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class RipScope;
    void FormCreate();
    void FormShow();
    void FormClose();
    bool CheckAudioCDPresent();
    int NextMarkedTrack(int index) const;
    int SelectedTrack() const;
    // "track 3", or "track 3 (Title)" when the track has a title.
    std::string TrackLabel(int track) const;
    void NoteFailedTrack(int track, const std::string& reason);
    bool StartTrack(int track); // puts the needle on it; false (and the track noted) when unreadable
    // Puts the needle on the first marked track after `track` that opens; -1 when none is left.
    int StartNextReadableTrack(int track);
    // One run of the encoder into `file`; why the needle's track did not get into it whole, ""
    // when it did (and after an abort).
    std::string EncodeInto(const std::string& file);
    // Rips each marked track into its own file. A track that fails is noted, its partial file
    // removed, and the rip goes on; an abort removes every file of the rip and the folder. True
    // when not aborted and something was ripped (or nothing was marked).
    bool RipSeparateFiles(const std::string& folder);
    void RipIntoOneFile(const std::string& folder);
    // After a one-file rip that failed: the file's tracks are those it holds whole; the first
    // track it does not hold is named with the failure, the marked ones after it as not reached.
    void FitTracksToFile(const std::string& file, const std::string& failure);
    // The encoder finishes a file without looking at events, and Abort goes when the rip ends: a
    // click on Abort that came meanwhile, or whose press did, still aborts the rip.
    void TakeLateAbort();
    void NoteSkippedSectors();
    // One message naming the tracks that were not ripped and those with skipped sectors.
    void ShowRipReport();
    void CloseWithOk();

    bool abortFlag_ = false;
    std::array<float, TCDRipper::MaxTracks> trackEnds_{};
    int rippedTracks_ = 0;
    std::vector<std::string> results_;
    bool oneFile_ = false;
    std::map<int, std::string> failedTracks_; // "track 5: Can't read cd track." per track not ripped
    std::vector<int> fileTracks_;             // one-file rip: the tracks read whole into the file
    std::map<int, int64_t> skipped_;        // sectors skipped, per track
    std::vector<std::string> trackLengths_; // length texts of the disc in the drive
};

// Today's date and the time, "2009_02_14__16_05_09".
std::string MakeDateTimeStamp();

extern TFormCDRip* FormCDRip;
