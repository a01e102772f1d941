#pragma once

// The editors' common test ground: the program's windows created as at start-up, the output on
// the sound layer's manual device (the test pumps the blocks), and a playlist of rows made from
// real sound files (sweep with noise, 30 s each).

#include "model/class_Application.h"
#include "model/class_Settings.h"
#include "model/class_Switches.h"
#include "platform/sound/SoundLibrary.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ShellOpen.h"
#include "support/audio_fixtures.h"
#include "support/ui_waits.h"
#include "windows/Forms.h"
#include "windows/class_SonorelApplication.h"
#include "windows/editor_controls.h"
#include "windows/form_Main.h"
#include "windows/frame_mixedit.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace editor_test {

constexpr int kRate = 44100;

inline std::string SongFile()
{
    static const std::string path = [] {
        const std::string file = sonorel_test::FixtureFolder() + "/song.wav";
        sonorel_test::WriteAudioFile(file, sonorel_test::AudioFileKind::Wav,
                                     sonorel_test::MakeSweepNoise({kRate, 2, 30.0}), kRate, 2);
        return file;
    }();
    return path;
}

// Every field of a row, for "nothing changed" comparisons.
inline std::string RowFields(const cMixRow& r)
{
    const MixParams& p = r.MixParams;
    return r.name + "|" + r.filename + "|" + std::to_string(r.start) + "|" + std::to_string(r.length) + "|" +
           std::to_string(r.overlap) + "|" + std::to_string(r.overlaplen) + "|" + std::to_string(r.trigger) + "|" +
           std::to_string(p.volume) + "|" + std::to_string(p.pitch) + "|" + std::to_string(p.speed) + "|" +
           std::to_string(p.fadein) + "|" + std::to_string(p.fadeinlength) + "|" + std::to_string(p.fadeout) + "|" +
           std::to_string(p.fadeoutlength);
}

inline std::vector<std::string> AllRowFields()
{
    std::vector<std::string> fields;
    for (int i = 0; i < snl.mixdata.Count(); ++i)
        fields.push_back(RowFields(*snl.mixdata.Get(i)));
    return fields;
}

// Picks an item of a seconds list as the user does.
inline void Pick(TSecondsList* list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

class EditorTest : public testing::Test {
protected:
    void SetUp() override
    {
        snl.WavProducer.Stop();
        snl.Playing = 0;
        snl.mixdata.Clear();
        snl.Bins.Clear();
        snl.SelectedRow = 0;
        snl.Enabled = 1;
        WriteSettingString(ShowHelp, "0");
        WriteSettingString(LoadLast, "0");
        SetCommandLine({"sonorel"});
        BASS_ManualOutputEnable(true);
        CreateForms();
        FormMain->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FormMain));
        WAIT_TRUE(!FormMain->FirstActivation);
        FormMain->ShowPage(PagePlaylistIndex);
    }
    void TearDown() override
    {
        snl.WavProducer.Stop();
        snl.Playing = 0;
        DestroyForms();
        snl.mixdata.Clear();
        snl.Bins.Clear();
        BASS_ManualOutputEnable(false);
    }

    cMixRow* AddRow(float start, float length)
    {
        cMixRow* row = snl.mixdata.Add();
        row->name = "row " + std::to_string(snl.mixdata.Count());
        row->filename = SongFile();
        row->start = start;
        row->length = length;
        return row;
    }
    // The playlist the editors are tried on: three rows of 10, 8 and 6 s from different starts.
    void AddThreeRows()
    {
        AddRow(0.0f, 10.0f);
        AddRow(10.0f, 8.0f);
        AddRow(2.0f, 6.0f);
    }
    // The playlist shows the rows; row `selected` is current (and so the selected row).
    void ShowRows(int selected)
    {
        FormMain->OnChangeClick(nullptr); // as after a project change: the grid, the bins
        FormMain->PagePlaylist->PlaylistEdit->Grid->SetRow(selected);
        ASSERT_EQ(snl.SelectedRow, selected);
    }
    // Calls `open`; once one of the windows is shown (modally) inside it, runs `action` and
    // closes that window. Returns the window seen, null when none showed while `open` ran.
    static QWidget* WhileModal(const std::vector<QWidget*>& windows, const std::function<void()>& open,
                               const std::function<void()>& action = {})
    {
        QWidget* seen = nullptr;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* window : windows)
                if (!seen && window->isVisible()) {
                    seen = window;
                    if (action)
                        action();
                    window->close();
                }
            if (seen)
                poll.stop();
        });
        poll.start();
        open();
        QCoreApplication::processEvents();
        return seen;
    }
    // Lets the manual output play `seconds` of the mix, each block once the rows it starts are ready
    // (faster than real time, yet no row starts late); returns what it played.
    static std::vector<int16_t> Pump(double seconds)
    {
        const uint32_t frames = 1024;
        std::vector<int16_t> played;
        std::vector<int16_t> block(frames * 2);
        for (double done = 0; done < seconds; done += double(frames) / kRate) {
            EXPECT_TRUE(sonorel_test::PollUntil([&] { return snl.WavProducer.StartsReady(double(frames) / kRate); }));
            BASS_ManualOutputPump(block.data(), frames);
            played.insert(played.end(), block.begin(), block.end());
        }
        return played;
    }

    ui::MessageRecorder messages;
    ui::ShellOpenRecorder opened;
};

} // namespace editor_test
