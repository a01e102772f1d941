#pragma once

#include "AudioControls/class_MixTable.h"

#include <QFrame>

#include <memory>
#include <vector>

// One stream of a stream mix table: a span of table time shown as a panel in a channel row.
struct cMixTableStream {
    QFrame* Panel = nullptr;   // owned by the table (through its client panel)
    TMouseDrag* Drag = nullptr; // owned by the table
    double start = 0.0;        // seconds on the table
    double len = 0.0;          // seconds
    int channel = 0;           // channel row, 0 = top
};

// A mix table whose streams are bordered panels in horizontal channel rows under the strip; the
// panels follow the view on every rebuild. One stream can be selected (border, in front).
class TStreamMixTable : public TMixTable {
    Q_OBJECT
public:
    explicit TStreamMixTable(QWidget* parent = nullptr);
    ~TStreamMixTable() override;

    std::function<void(QObject* Sender)> OnStreamClick;

    int ChannelHeight() const { return channelHeight; }
    void SetChannelHeight(int value);
    bool MoveStreamsHorizontal() const { return moveStreamsHorizontal; }
    void SetMoveStreamsHorizontal(bool value);
    int SelectedIndex() const { return selectedIndex; }
    void SetSelectedIndex(int value); // any index outside the streams selects none

    void StreamAdd(double start, double len, int channel);
    void StreamUpdate(int index, double start, double len, int channel); // a bad index is ignored
    cMixTableStream* Stream(int index) const;
    int StreamCount() const { return static_cast<int>(streams.size()); }
    void RebuildStream(int index);
    void Rebuild() override;
    void Stream_Select(int index);
    void Stream_Unselect(int index);
    // Frees every stream, last first; SelectedIndex keeps its value.
    void Streams_Clear();

    // Lays the panel's children over its inside again (after one was added).
    void FitPanelChildren(int index);

    // The stream panel's click: reports the panel of the stream at `index`.
    void PanelMouseDown(int index);

private:
    std::vector<std::unique_ptr<cMixTableStream>> streams;
    int selectedIndex = 0;
    int channelHeight = 32;
    bool moveStreamsHorizontal = false;
};
