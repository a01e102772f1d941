#pragma once

#include "AudioControls/class_StreamMixTable.h"

#include <string>
#include <vector>

class TAudioView;

// A stream mix table whose every stream shows a waveform: a locked audio view of one zone of a
// source file fills each stream panel, its caption at the zone's start kept to the visible part
// of the stream. View i belongs to stream i.
class TAudioMixTable : public TStreamMixTable {
    Q_OBJECT
public:
    explicit TAudioMixTable(QWidget* parent = nullptr);
    ~TAudioMixTable() override;

    std::function<void(QObject* Sender, TAudioView* View)> OnAudioViewClick;

    // When the file cannot be opened the exception passes on and the table is as it was.
    void AddAudioStream(const std::string& file, float zoneStart, float zoneLen, double start, double len,
                        int channel, const std::string& caption);
    void UpdateAudioStream(int index, const std::string& file, float zoneStart, float zoneLen, double start,
                           double len, int channel);
    TAudioView* GetAudioView(int index) const; // null outside the views
    int AudioViewCount() const { return static_cast<int>(views.size()); }
    void Rebuild() override;
    // Forgets the views, then frees the streams (and with their panels the views).
    void DestroyAudioViews();
    void AudioViewClick(QObject* Sender);

    // Holds RebuildLocked set for its life and puts the old value back, also when an exception
    // passes; the owner rebuilds after.
    class RebuildLock {
    public:
        explicit RebuildLock(TMixTable& table) : table(table), saved(table.RebuildLocked) { table.RebuildLocked = true; }
        ~RebuildLock() { table.RebuildLocked = saved; }
        RebuildLock(const RebuildLock&) = delete;
        RebuildLock& operator=(const RebuildLock&) = delete;

    private:
        TMixTable& table;
        bool saved;
    };

private:
    std::vector<TAudioView*> views;
};
