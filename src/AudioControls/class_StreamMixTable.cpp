#include "AudioControls/class_StreamMixTable.h"

#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace {

// Qt's largest widget coordinate: a stream of a deeply zoomed view stays a valid (clipped) widget.
constexpr double kMaxCoordinate = 16777215.0;

int PixelClamp(double value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(value, -kMaxCoordinate, kMaxCoordinate));
}

// The click surface that fills a stream panel.
class TStreamClickImage : public QWidget {
public:
    TStreamClickImage(QWidget* panel, TStreamMixTable* table, int index) : QWidget(panel), table(table), index(index) {}

protected:
    void mousePressEvent(QMouseEvent*) override { table->PanelMouseDown(index); }

private:
    TStreamMixTable* table;
    int index;
};

// The panel's children fill it inside its border.
void FitChildren(QFrame* panel)
{
    for (QObject* child : panel->children())
        if (auto* widget = qobject_cast<QWidget*>(child))
            widget->setGeometry(panel->contentsRect());
}

class TStreamPanel : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QFrame::resizeEvent(event);
        FitChildren(this);
    }
};

} // namespace

TStreamMixTable::TStreamMixTable(QWidget* parent) : TMixTable(parent) {}

TStreamMixTable::~TStreamMixTable() { Streams_Clear(); }

void TStreamMixTable::StreamAdd(double start, double len, int channel)
{
    auto* panel = new TStreamPanel(ClientPanel());
    panel->hide();
    auto* drag = new TMouseDrag(this);
    drag->SetTarget(panel);
    drag->Enabled = moveStreamsHorizontal;
    streams.push_back(std::make_unique<cMixTableStream>(cMixTableStream{panel, drag, start, len, channel}));
    const int index = StreamCount() - 1;
    Stream_Unselect(index);
    RebuildStream(index);
    new TStreamClickImage(panel, this, index);
    FitChildren(panel);
    panel->show();
}

void TStreamMixTable::FitPanelChildren(int index)
{
    if (cMixTableStream* stream = Stream(index))
        FitChildren(stream->Panel);
}

void TStreamMixTable::StreamUpdate(int index, double start, double len, int channel)
{
    cMixTableStream* stream = Stream(index);
    if (!stream)
        return;
    stream->start = start;
    stream->len = len;
    stream->channel = channel;
    RebuildStream(index);
}

cMixTableStream* TStreamMixTable::Stream(int index) const
{
    return index >= 0 && index < StreamCount() ? streams[index].get() : nullptr;
}

void TStreamMixTable::RebuildStream(int index)
{
    cMixTableStream* stream = Stream(index);
    if (!stream)
        return;
    const double w = width();
    const bool empty = !(ViewLen() > 0.0);
    // In double and clamped: a deep zoom must neither overflow nor hang the layout.
    const int left = empty ? 0 : PixelClamp(std::trunc((stream->start - ViewStart()) * w / ViewLen()));
    const int len = empty ? 0 : PixelClamp(std::trunc(stream->len * w / ViewLen()));
    stream->Panel->setGeometry(left, stream->channel * channelHeight, std::max(0, len), channelHeight + 1);
}

void TStreamMixTable::Rebuild()
{
    TMixTable::Rebuild();
    if (RebuildLocked)
        return;
    for (int i = 0; i < StreamCount(); ++i)
        RebuildStream(i);
}

void TStreamMixTable::SetSelectedIndex(int value)
{
    Stream_Unselect(selectedIndex);
    selectedIndex = value;
    Stream_Select(value);
}

void TStreamMixTable::Stream_Select(int index)
{
    if (cMixTableStream* stream = Stream(index)) {
        stream->Panel->setFrameShape(QFrame::Box);
        FitChildren(stream->Panel);
        stream->Panel->raise();
    }
}

void TStreamMixTable::Stream_Unselect(int index)
{
    if (cMixTableStream* stream = Stream(index)) {
        stream->Panel->setFrameShape(QFrame::NoFrame);
        FitChildren(stream->Panel);
    }
}

void TStreamMixTable::SetChannelHeight(int value)
{
    channelHeight = value;
    Rebuild();
}

void TStreamMixTable::SetMoveStreamsHorizontal(bool value)
{
    moveStreamsHorizontal = value;
    for (auto& stream : streams)
        stream->Drag->Enabled = value;
}

void TStreamMixTable::Streams_Clear()
{
    while (!streams.empty()) {
        cMixTableStream* stream = streams.back().get();
        delete stream->Panel;
        delete stream->Drag;
        streams.pop_back();
    }
}

void TStreamMixTable::PanelMouseDown(int index)
{
    if (OnStreamClick && Stream(index))
        OnStreamClick(Stream(index)->Panel);
}
