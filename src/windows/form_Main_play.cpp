// The main window's live playback: the space key on either page and the 30 ms poll.
#include "windows/form_Main.h"

#include <QStackedWidget>

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
    PagePlaylist->ShowTimes();
    ShowTriggerWindow(snl.WavProducer.WaitState);
    PagePlaylist->UpdateSoundingRow();
}
