#pragma once

#include <string>

class QPainter;
class TAudioMixTable;
class TAudioView;
class cSonorelApp;
class cmixdata;
struct cMixRow;

// The caption of a row's waveform: its number from 1, ". " and its name.
std::string MixRowCaption(int index, const cMixRow& row);

// Shows playlist row rowIndex (and with twoRows also the next one) as streams at their places in
// the mix, channel 0 and 1; view k gets Tag rowIndex + k and the row's volume as its scale. A
// table that already holds as many views is only re-laid. With centre, the end of the project's
// selected row stands in the middle of the view. The caller sets Total before. When a row's file
// cannot be opened the exception passes on; the table stays usable.
void FillMixTable(TAudioMixTable& table, const cSonorelApp& project, int rowIndex, bool twoRows, bool centre);

// Every view of the table draws the fade lines of its row (the row whose index is its Tag).
void AttachFadePainter(const cSonorelApp& project, TAudioMixTable& table);

// Dotted lines over a row's waveform: from the bottom left up to the top where its fade-in ends,
// and from the top where its fade-out begins down to the bottom right; each only while its fade
// is on. Nothing for a missing row or a view without length.
void PaintFadeLines(const cmixdata& rows, TAudioView& view, QPainter& canvas);
