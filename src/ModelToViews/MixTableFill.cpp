#include "ModelToViews/MixTableFill.h"

#include "AudioControls/class_AudioMixTable.h"
#include "AudioControls/class_AudioView.h"
#include "model/class_Application.h"

#include <QPainter>

#include <cmath>

std::string MixRowCaption(int index, const cMixRow& row)
{
    return std::to_string(index + 1) + ". " + row.name;
}

void FillMixTable(TAudioMixTable& table, const cSonorelApp& project, int rowIndex, bool twoRows, bool centre)
{
    const cmixdata& rows = project.mixdata;
    {
        TAudioMixTable::RebuildLock lock(table);
        const int wanted = twoRows ? 2 : 1;
        const bool reuse = table.AudioViewCount() == wanted;
        if (!reuse)
            table.DestroyAudioViews();
        for (int k = 0; k < wanted; ++k) {
            const cMixRow* row = rows.Get(rowIndex + k);
            if (!row)
                break;
            const double start = rows.RowStart(rowIndex + k);
            const double playLen = static_cast<double>(row->PlayLength());
            if (reuse)
                table.StreamUpdate(k, start, playLen, k);
            else
                table.AddAudioStream(row->filename, row->start, row->length, start, playLen, k,
                                     MixRowCaption(rowIndex + k, *row));
            table.GetAudioView(k)->Scale = row->MixParams.volume * 0.01f;
        }
        for (int k = 0; k < table.AudioViewCount(); ++k)
            table.GetAudioView(k)->Tag = rowIndex + k;
        if (const cMixRow* selected = rows.Get(project.SelectedRow); centre && selected)
            table.SetViewStart(rows.RowStart(project.SelectedRow) + static_cast<double>(selected->PlayLength()) -
                               table.ViewLen() * 0.5);
    }
    table.Rebuild();
}

void AttachFadePainter(const cSonorelApp& project, TAudioMixTable& table)
{
    const cmixdata* rows = &project.mixdata;
    for (int i = 0; i < rows->Count(); ++i)
        if (TAudioView* view = table.GetAudioView(i))
            view->OnDraw = [rows](QObject* sender, QPainter& canvas) {
                PaintFadeLines(*rows, *static_cast<TAudioView*>(sender), canvas);
            };
}

void PaintFadeLines(const cmixdata& rows, TAudioView& view, QPainter& canvas)
{
    const cMixRow* row = rows.Get(view.Tag);
    const double lenSec = view.LenSec();
    if (!row || !(lenSec > 0.0) || !std::isfinite(lenSec))
        return;
    // Fades are mix time; the view shows source time, which runs faster by the tempo change.
    const double sourcePerMix = (100.0 + row->MixParams.speed) / 100.0;
    if (!(sourcePerMix > 0.0))
        return;
    canvas.save();
    canvas.setPen(QPen(Qt::black, 1, Qt::DotLine));
    const int w = view.width();
    const int h = view.height();
    const MixParams& params = row->MixParams;
    if (params.fadein) {
        const double p = view.ViewStart() + params.fadeinlength * sourcePerMix / lenSec;
        const int x = view.WavPosToX(static_cast<float>(p));
        canvas.drawLine(0, h, x == -1 ? w : x, 0);
    }
    if (params.fadeout) {
        const double p = view.ViewStart() + view.ViewLen() - params.fadeoutlength * sourcePerMix / lenSec;
        const int x = view.WavPosToX(static_cast<float>(p));
        canvas.drawLine(w, h, x == -1 ? 0 : x, 0);
    }
    canvas.restore();
}
