// The main window's live playback controls: play, stop, the 30 ms poll and the row triggers.
#include "windows/form_Main.h"

#include "model/class_FileLog.h"
#include "platform/trace/Trace.h"

#include <QLabel>
#include <QStackedWidget>
#include <QString>

std::string FormatMinutesSeconds(float seconds)
{
    const int minutes = static_cast<int>(seconds / 60);
    return QString::asprintf("%dm %.1fs", minutes, seconds - 60.0f * minutes).toStdString();
}

namespace {

QString SecondsText(float seconds)
{
    return QString::asprintf("%.1fs", seconds);
}

} // namespace

void TFormMain::PlayClick()
{
    LogToFile("Playlist Play", true, true);
    Playfromthisposition1Click();
}

void TFormMain::Playfromthisposition1Click()
{
    const float pos = snl.mixdata.RowStart(PlaylistCurrentRow());
    trace("snl.play(pos)");
    snl.WavProducer.SetNeedlePos(snl.mixdata, pos, true, -1);
    snl.Playing = 1;
    FocusPlaylist();
}

void TFormMain::StopClick()
{
    LogToFile("Playlist Stop", true, true);
    StopMix();
}

void TFormMain::Playstsop1Click()
{
    if (Pages->currentIndex() == PageBinEditIndex) {
        PageBinEdit->ToggleZonePlay();
    } else if (Pages->currentIndex() == PagePlaylistIndex) {
        if (snl.WavProducer.Stopped)
            PlayClick();
        else
            StopClick();
    }
}

void TFormMain::TriggersTimerTimer()
{
    const bool stopped = snl.WavProducer.Stopped != 0;
    if (stopped) {
        if (!lbPosition->text().isEmpty())
            lbPosition->clear();
    } else {
        const float time = snl.WavProducer.MainTime;
        lbPosition->setText(snl.TimeDisplayMode ? QString::fromStdString(FormatMinutesSeconds(time - 0.08f))
                                                : SecondsText(time));
    }
    const float total = snl.mixdata.TotalLength();
    lbTotalLength->setText(snl.TimeDisplayMode ? QString::fromStdString(FormatMinutesSeconds(total)) : SecondsText(total));
    ShowTriggerWindow(snl.WavProducer.WaitState);
    UpdateSoundingRow();
}

void TFormMain::UpdateSoundingRow()
{
    const int playing = snl.WavProducer.PlayingRowIndex;
    const int highlighted = PlaylistHighlightRow();
    if (!snl.WavProducer.Stopped && playing != -1) {
        if (playing == highlighted)
            return;
        if (highlighted != -1)
            RefreshPlaylistRow(highlighted);
        SetPlaylistHighlightRow(playing);
        RefreshPlaylistRow(playing);
    } else if (highlighted != -1) {
        RefreshPlaylistRow(highlighted);
        SetPlaylistHighlightRow(-1);
    }
}

void TFormMain::Image12Click()
{
    snl.TimeDisplayMode = !snl.TimeDisplayMode;
}

void TFormMain::SetSelectedRowTrigger(int trigger)
{
    cMixRow* row = snl.mixdata.Get(snl.SelectedRow);
    if (!row)
        return;
    row->trigger = trigger;
    RefreshPlaylistRow(snl.SelectedRow);
    RefreshPlaylistRow(snl.SelectedRow - 1);
}

void TFormMain::TriggerNoneClick()
{
    SetSelectedRowTrigger(::TriggerNone);
}

void TFormMain::TriggerMouseClick()
{
    SetSelectedRowTrigger(::TriggerMouse);
}

void TFormMain::TriggerKeyboardClick()
{
    SetSelectedRowTrigger(TriggerKey);
}

void TFormMain::ToggleSelectedRowTrigger(int trigger)
{
    cMixRow* row = snl.mixdata.Get(snl.SelectedRow);
    if (!row)
        return;
    row->trigger = row->trigger == trigger ? ::TriggerNone : trigger;
    RefreshPlaylistRow(PlaylistCurrentRow());
}

void TFormMain::MouseWaitDblClick()
{
    ToggleSelectedRowTrigger(::TriggerMouse);
}

void TFormMain::KeyboardWaitDblClick()
{
    ToggleSelectedRowTrigger(TriggerKey);
}
