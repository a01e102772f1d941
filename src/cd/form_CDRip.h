#pragma once

#include <QDialog>

#include <array>
#include <string>
#include <vector>

#include "GraphControls/class_SkinPicture.h"
#include "cd/class_CDRipper.h"
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
    bool StartTrack(int track); // puts the needle on it; false (and the reason kept) when unreadable
    bool EncodeInto(const std::string& file);
    bool RipSeparateFiles(const std::string& folder);
    void NoteSkippedSectors();
    void ShowSkippedSectors();
    void CloseWithOk();

    bool abortFlag_ = false;
    std::array<float, TCDRipper::MaxTracks> trackEnds_{};
    int rippedTracks_ = 0;
    std::vector<std::string> results_;
    bool oneFile_ = false;
    std::string failure_;             // why the rip in hand ended early
    std::vector<std::string> skipped_; // "track 2 (3 sectors)" per track with skipped sectors
    std::vector<std::string> trackLengths_; // length texts of the disc in the drive
};

// Today's date and the time, "2009_02_14__16_05_09".
std::string MakeDateTimeStamp();

extern TFormCDRip* FormCDRip;
