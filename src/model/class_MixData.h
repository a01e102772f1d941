#pragma once

#include "engine/class_AnyList.h"
#include "engine/class_MixParams.h"

#include <cstdint>
#include <string>

// Row trigger values: what live playback waits for before the row starts.
enum : int32_t { TriggerNone = 0, TriggerMouse = 1, TriggerKey = 2 };

// One playlist row: a fragment of a source audio file with its playback parameters.
struct cMixRow {
    std::string name;           // title shown in the playlist
    std::string filename;       // path of the source audio file
    ::MixParams MixParams;
    float start = 0;            // start of the fragment in the source file, seconds
    float length = 0;           // length in source time (before the tempo change), seconds
    bool overlap = false;       // the next row starts overlaplen seconds before this row ends
    float overlaplen = 0;       // seconds of mix time
    int32_t trigger = TriggerNone;
    bool SourceMissing = false; // the source file was not there when the project loaded; not stored

    // Seconds of mix time the row plays: length x 100 / (100 + speed), in extended precision.
    // A tempo change of -100 % or below has no meaningful length; such a row plays for 0 s.
    long double PlayLength() const;
};

// The rows of the mix, in play order, with the one timeline every part of the program uses.
class cmixdata : public cAnyList<cMixRow> {
public:
    // Start of row i in the mix, seconds. 0 for i <= 0; indices past the end count every row.
    // The running sum is rounded to single precision after each step, so every caller sees
    // exactly the same start times.
    float RowStart(int32_t i) const;

    // Length of the whole mix, seconds; the last row's own overlap does not shorten it.
    float TotalLength() const;
};

// One zone of a bin.
struct cBinItem {
    std::string title;
    std::string filename;
    float start = 0;   // seconds in the source
    float length = 0;  // seconds in the source
};

// The bin of one source file: its zones.
struct cBin {
    cAnyList<cBinItem> Items;
    std::string title;
    std::string filename;     // the source file the bin belongs to
    int32_t SelectedItem = 0; // the bin's selected zone; not stored in the project file
    bool SourceMissing = false; // the user was told that the source file is missing; not stored
};

// Per row of the mix while rendering: where it starts and whether it has been started (or muted).
// A live start whose source was not ready in time is late: the row joins the mix where it has got
// to once the preparation worker has opened it there.
struct cMixRowPosition {
    float start = 0;
    uint8_t added = 0;
    uint8_t late = 0;        // due, not yet sounding: waits for its source
    int64_t joinFrame = -1;  // late: output frames after its start where it joins; -1 not planned
    int32_t joinMisses = 0;  // planned joins its source missed: each doubles the next lead
};
