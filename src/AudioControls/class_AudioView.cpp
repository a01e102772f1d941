#include "AudioControls/class_AudioView.h"

#include "platform/ui/FittedText.h"

#include <QPainter>
#include <QTextOption>

namespace {
constexpr int kRefreshMs = 30;
constexpr int kFailureMargin = 8; // pixels between a load failure's text and the view's sides
}

TAudioView::TAudioView(QWidget* parent) : TMarkersWavView(parent)
{
    store.OptCacheImage = CacheAudioImage;
    cMarker* playMarker = Markers.Add();
    playMarker->Dotted = false;
    playMarker->Pos = 0.0f;
    refreshTimer.setInterval(kRefreshMs);
    connect(&refreshTimer, &QTimer::timeout, this, &TAudioView::OnRefreshTimer);
    refreshTimer.start();
}

TAudioView::~TAudioView() = default;

void TAudioView::SetFileName(const std::string& path)
{
    if (FileLocked || (path == fileName && loadFailure.empty()))
        return;
    fileName = path;
    loadFailure.clear();
    store.OptCacheImage = CacheAudioImage;
    try {
        store.SetFileName(path);
        player.SetFileName(path);
    } catch (const std::exception& error) {
        // Neither the freed image nor the sound of the last file stays behind, and the name is
        // forgotten: the next call with it tries again (and fails again) instead of passing as loaded.
        fileName.clear();
        loadFailure = error.what();
        player.SetFileName("");
        SetMemBuffer(store.GetMemStart(), store.GetMemLen());
        throw;
    }
    SetMemBuffer(store.GetMemStart(), store.GetMemLen());
    WakeRefresh();
    if (OnFileOpen)
        OnFileOpen(this);
}

// A file that cannot be opened is named where its waveform would be; of a path too long for the
// view its beginning and its file name show.
void TAudioView::PostDraw(QPainter& canvas)
{
    TMarkersWavView::PostDraw(canvas);
    if (loadFailure.empty())
        return;
    QTextOption wrap(Qt::AlignCenter);
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere); // a long path breaks anywhere
    canvas.setFont(font());
    canvas.setPen(ui::ToQColor(FontColor));
    const QRectF area = rect().adjusted(kFailureMargin, 0, -kFailureMargin, 0);
    canvas.drawText(area, ui::FittedWrappedText(canvas, area, QString::fromStdString(loadFailure), wrap), wrap);
}

void TAudioView::DisplayFileZone(const std::string& path, float start, float len)
{
    SetFileName(path);
    SetViewStart(start / LenSec());
    SetViewLen(len / LenSec());
    SetSelStart(0.0f);
    SetSelLen(0.0f);
}

void TAudioView::Play(float start)
{
    if (fileName.empty())
        return;
    player.Play(start == -1.0f ? GetSelStart() : start, 0.0f, false, true);
    WakeRefresh();
}

void TAudioView::PlaySelection()
{
    player.Play(GetSelStart(), GetSelLen(), false, true);
    WakeRefresh();
}

void TAudioView::LoopSelection(bool seek)
{
    player.Play(GetSelStart(), GetSelLen(), true, seek);
    WakeRefresh();
}

void TAudioView::SetLoop(float start, float end) { player.SetLoop(start, end - start); }

void TAudioView::Stop() { player.Stop(); }

void TAudioView::OnRefreshTimer()
{
    if (cMarker* marker = PlayMarker(); marker && PlayMarkerUpdate)
        marker->Pos = player.IsPlaying() ? player.GetPos() : -1.0f;
    // Many views stand side by side in a mix table: one that shows nothing new draws nothing
    // (after its image has filled, one last time), and with nothing left to follow its timer
    // rests until the next file or play.
    const cMarker* marker = PlayMarker();
    const float markerPos = marker ? marker->Pos : -1.0f;
    const bool loading = store.Loading();
    if (!loading && !refreshLoading && markerPos == refreshMarkerPos) {
        if (!player.IsPlaying())
            refreshTimer.stop();
        return;
    }
    refreshLoading = loading;
    refreshMarkerPos = markerPos;
    Redraw();
}

void TAudioView::WakeRefresh()
{
    refreshLoading = true;
    if (!refreshTimer.isActive())
        refreshTimer.start();
}
