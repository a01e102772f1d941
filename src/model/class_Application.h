#pragma once

#include "model/class_MixData.h"
#include "model/class_WavProducer.h"
#include "model/class_XMLStorage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QObject;
class QWidget;
class cSoundDevice;

// A project file dialog. Holds only its settings: the window itself is made each time it runs,
// so the project object never creates a widget (it exists before the application object).
struct cProjectFileDialog {
    enum class Mode { Open, Save };
    explicit cProjectFileDialog(Mode mode = Mode::Open) : DialogMode(mode) {}

    Mode DialogMode;
    std::string Filter = "Sonorel Mix|*.snmx"; // pairs of caption and pattern, separated by "|"
    std::string DefaultExt = "snmx";
    std::string FileName;
    std::string InitialDir; // where a file name without a folder of its own (or none) opens
    bool ConfirmOverwrite = true; // a save dialog asks before it picks an existing file

    // Runs the dialog modally; true when a file was chosen (then in FileName).
    bool Execute(QWidget* parent = nullptr);
};

// The project: the playlist rows, the bins, the renderer and the play state.
class cSonorelApp : public cXMLStorage {
public:
    cSonorelApp();
    ~cSonorelApp() override;

    void Save(pugi::xml_document& doc) override;
    void Load(const pugi::xml_document& doc) override;
    // Sets AskOnClose, then loads the file. Replacing the rows stops the renderer first. Relative
    // source paths are taken from the project file's folder. Entries whose source audio file is
    // missing stay (rows marked SourceMissing), named in one message; then OnChange fires.
    void LoadFromFile(const std::string& path) override;

    uint8_t AskOnClose = 1;      // ask before closing while the project holds rows or bins
    uint8_t TimeDisplayMode = 0; // form of the main window's time display
    int32_t SelectedRow = 0;
    uint8_t Enabled = 1;         // live parameter pushes act only when set
    cmixdata mixdata;            // the rows, in play order
    cAnyList<cBin> Bins;
    int32_t SelectedBin = 0;     // bin shown in the zone editor
    int32_t SelectedZone = 0;    // zone grid row last clicked in the zone editor
    cWavProducer WavProducer;    // renderer; its WavMix is the live mixer
    std::function<void(QObject* sender)> OnChange; // project-changed callback
    std::atomic<uint8_t> Playing{0};               // 1 while the mix is performed live
    cProjectFileDialog OpenDialog;
    cProjectFileDialog SaveDialog{cProjectFileDialog::Mode::Save};

    // Live playback.
    cSoundDevice* OutputDevice = nullptr; // the sound output the mix plays through
    void Play(int32_t device, int32_t rate);       // (re)opens the output; resumes a running mix
    void InitOutput(int32_t device, int32_t rate); // Play, then SelectedBin = 0
    // The output device's fill callback: renders one block of n bytes while Playing, else silence.
    SOUND_THREAD static void StreamProc(cSoundDevice* device, void* buffer, int32_t n);
    void SetRowVolume(int32_t row, int32_t max, int32_t position);
    void ApplyPlayingRowParams();

    // More rows, bins and zones than this in one file is no project: loading refuses it.
    static constexpr int32_t MaxFileEntries = 100000;

protected:
    void Loaded() override;
};

// The one message of a load that found source files missing: the files, then what becomes of them.
std::string MissingSourcesMessage(const std::vector<std::string>& paths);

// The one project of the program, built before the application object.
extern cSonorelApp snl;
