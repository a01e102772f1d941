#include "skin_catalogue.h"

#include <QPainterPath>
#include <array>
#include <tuple>
#include <QRadialGradient>
#include <stdexcept>

namespace skin {
namespace {

using namespace colour;

const QSize kMainSize(960, 662);
const QSize kExportSize(483, 140);
const QSize kTriggerSize(384, 80);
const QSize kPreferencesSize(393, 189);
const QSize kHelpPanelSize(350, 662);
const QSize kCDBurnSize(500, 300);

const char* const kMain = "TFormMain";
const char* const kStart = "TFormMain, page 0 \"Start\"";
const char* const kNewProject = "TFormMain, page 1 \"New Project\"";
const char* const kZoneEditor = "TFormMain, page 2 \"BinEdit\"";
const char* const kPlaylist = "TFormMain, page 3 \"Playlist\"";
const char* const kTop = "TFormMain, top strip";
const char* const kNavigation = "TFormMain, navigation strip";
const char* const kPlaylistFrame = "TFramePlaylist (cells of the playlist grid)";
const char* const kExport = "TFormSaveToWav";
const char* const kTrigger = "TFormTrigger";
const char* const kPreferences = "TFormPreferences";
const char* const kTransition = "TFormTransition";
const char* const kTransformation = "TFormTransformation";
const char* const kCDRip = "TFormCDRip";
const char* const kCDBurn = "TFormCDBurn";
const char* const kRecord = "TFormRecord";

// Places of the plain widgets that the backgrounds frame.
namespace place {
const QRect kLoopView(177, 126, 321, 162);
const QRect kScrollBar1(177, 292, 321, 16);
const QRect kFilesList(509, 126, 124, 133);
const QRect kBinGrid(177, 318, 321, 204);
const QRect kPlaylistEdit(171, 124, 372, 236);
const QRect kBinStrips(171, 389, 307, 140); // the three titles, strips and BinsScroll together
const QRect kPosition(760, 144, 86, 20);
const QRect kTotalLength(852, 144, 84, 20);
const QRect kExportFileName(26, 62, 380, 20);
const QRect kExportProgress(20, 106, 250, 14);
const QRect kHelpText(12, 56, 326, 594);
const QRect kCDRipDrives(20, 64, 520, 24);
const QRect kCDRipTitle(92, 102, 448, 22);
const QRect kCDRipTracks(20, 138, 520, 232);
const QRect kCDRipStatus(20, 376, 520, 16);
const QRect kCDRipProgress(116, 411, 150, 10);
const QRect kCDBurnPanel(16, 56, 468, 182); // the four step panels, one over the other
const QRect kRecordDevice(20, 62, 252, 24);
const QRect kRecordMeter(20, 112, 252, 11);
const QRect kRecordTime(300, 62, 125, 24);
const QRect kRecordRecording(300, 108, 125, 16);
} // namespace place

std::vector<WidgetPlace> MakeWidgetPlaces()
{
    return {
        {kNavigation, "`navigation_panel` (holds `NavigationImage` and the navigation pictures)", {0, 44, 160, 618}, "hidden on page 1"},
        {kMain, "`HelpPanel`", {960, 0, 350, 662}, "right of the pages when shown; background `help_panel`"},
        {kMain, "`Help` memo and `HelpHTML` (inside `HelpPanel`)", place::kHelpText.translated(960, 0), "text #e8ebf0 on #0e1014, no frame"},
        {kZoneEditor, "`LoopView`", place::kLoopView, "size and place as designed"},
        {kZoneEditor, "`ScrollBar1`", place::kScrollBar1, "under the view, inside the same well"},
        {kZoneEditor, "`FilesList`", place::kFilesList, "size and place as designed"},
        {kZoneEditor, "`bingrid`", place::kBinGrid, "size and place as designed"},
        {kPlaylist, "`PlaylistEdit`", place::kPlaylistEdit, "columns 110, 40, 200 plus the vertical scroll bar"},
        {kPlaylist, "`Repos1Title`..`Repos3Title`", {172, 391, 95, 13}, "x 172, 278, 379; white bold, transparent"},
        {kPlaylist, "`ReposEdit1`..`ReposEdit3`", {171, 407, 105, 104}, "x 171, 278, 379; widths 105, 99, 99"},
        {kPlaylist, "`BinsScroll`", {171, 513, 307, 16}, "under the strips"},
        {kPlaylist, "`lbPosition`", place::kPosition, "on `time_display`; white bold 15 px, left aligned"},
        {kPlaylist, "`lbTotalLength`", place::kTotalLength, "on `time_display`; white bold 15 px, right aligned"},
        {kExport, "`filename`", place::kExportFileName, "no border; text #e8ebf0 on #0e1014"},
        {kExport, "`ProgressBar1`", place::kExportProgress, "accent #4cc2ff on #0e1014"},
        {kCDRip, "`ComboBox1`", place::kCDRipDrives, "drop-down list; text #e8ebf0 on #0e1014"},
        {kCDRip, "`Label1`", {20, 104, 70, 18}, "\"CD Title:\", dim text, transparent"},
        {kCDRip, "`CDTitle`", place::kCDRipTitle, "no border; text #e8ebf0 on #0e1014"},
        {kCDRip, "`cdtracks`", place::kCDRipTracks, "grid #0e1014, lines #2c323c, selected row #1d3346"},
        {kCDRip, "`Status`", place::kCDRipStatus, "dim text, transparent"},
        {kCDRip, "`ProgressBar1`", place::kCDRipProgress, "accent #4cc2ff on #0e1014; shown while ripping"},
        {kTrigger, "`Label`", {72, 25, 300, 16}, "white 12 px (not bold: the longer prompt must fit), transparent"},
        {kTrigger, "`Image1`", {0, 0, 384, 80}, "no picture: transparent, takes the mouse presses"},
        {kRecord, "`ComboBox1`", place::kRecordDevice, "the input list; text #e8ebf0 on #0e1014"},
        {kRecord, "`AudioMeter1`", place::kRecordMeter, "horizontal, 252 x 11"},
        {kRecord, "`Label1`", place::kRecordTime, "white bold 15 px, right aligned, transparent"},
        {kRecord, "`Recording`", place::kRecordRecording, "\"Recording...\" in #ff5c5f bold 12 px, right aligned; hidden"},
        {kPreferences, "`Label1`, `OutputDevice`", {20, 44, 352, 24}, "label at x 20, list at (140, 40) 233 x 24"},
        {kPreferences, "`Label2`, `Frequency`", {20, 74, 352, 24}, "label at x 20, list at (140, 70) 110 x 24"},
        {kPreferences, "`cbLoadLast`", {20, 128, 260, 20}, ""},
        {kPreferences, "`Label3`", {16, 164, 190, 16}, "dim text #8d96a6"},
        {kPreferences, "`OKBtn`, `CancelBtn`", {216, 159, 165, 24}, "OK at (216, 159), Cancel at (301, 159), 80 x 24 each"},
        {kCDBurn, "`PanelInterface`, `PanelCDBurner`, `PanelSpeed`, `PanelBurn`", place::kCDBurnPanel,
         "one over the other, background #15181d; step title at (12, 8), white bold"},
        {kCDBurn, "`DeviceLV`", {12, 36, 444, 136}, "inside `PanelCDBurner`; columns 200, 80, 80"},
        {kCDBurn, "`Log`, `Progress`", {12, 8, 444, 166}, "inside `PanelBurn`; the bar 14 high at the bottom"},
    };
}

// ---- backgrounds ------------------------------------------------------------------------------

void PaintNavigationCaptions(QPainter& p)
{
    PaintCaption(p, {16, 60}, "PROJECT");
    PaintCaption(p, {16, 196}, "SOURCES");
    PaintCaption(p, {16, 332}, "EDIT");
    PaintCaption(p, {16, 434}, "OUTPUT");
    p.fillRect(QRect(16, 598, 128, 1), kLine);
}

void PaintMainFrame(QPainter& p, bool withNavigation)
{
    PaintMainChrome(p, kMainSize, withNavigation);
    if (withNavigation)
        PaintNavigationCaptions(p);
}

void PaintNote(QPainter& p, const QRect& r, const QString& text, const QColor& c = kTextDim, double size = 11.5)
{
    p.setFont(Font(size));
    p.setPen(c);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text);
}

void PaintKeyList(QPainter& p, const QPoint& at, const std::vector<std::pair<QString, QString>>& keys, int rowHeight = 22)
{
    int y = at.y();
    for (const auto& [key, what] : keys) {
        const QFont font = Font(10.5, true);
        const int width = QFontMetrics(font).horizontalAdvance(key) + 12;
        QPainterPath cap;
        cap.addRoundedRect(QRectF(at.x() + 0.5, y + 2.5, width, 16), 3, 3);
        p.fillPath(cap, QColor(0x2a, 0x30, 0x3a));
        p.strokePath(cap, QPen(kLineLight, 1));
        p.setFont(font);
        p.setPen(kText);
        p.drawText(QRectF(at.x(), y + 2, width, 17), Qt::AlignCenter, key);
        PaintNote(p, QRect(at.x() + width + 10, y, 240, 21), what, kTextDim, 11);
        y += rowHeight;
    }
}

void PaintStart(QPainter& p, const QSize&)
{
    PaintMainFrame(p, true);
    p.setRenderHint(QPainter::Antialiasing);
    // Hero: a wide waveform behind the word mark.
    const QRectF band(200, 110, 720, 120);
    for (int i = 0; i < 120; ++i) {
        const double x = band.left() + i * band.width() / 120.0;
        const double t = i / 120.0;
        const double envelope = std::sin(t * M_PI) * (0.45 + 0.55 * std::abs(std::sin(t * 17.0) * std::cos(t * 5.3)));
        const double h = 8 + envelope * 52;
        QColor c = kAccent;
        c.setAlpha(int(40 + 50 * std::sin(t * M_PI)));
        p.fillRect(QRectF(x, band.center().y() - h, 3, 2 * h), c);
    }
    p.setFont(Font(52, true));
    p.setPen(kText);
    p.drawText(QRect(160, 128, 800, 70), Qt::AlignCenter, "Sonorel");
    p.setFont(Font(15));
    p.setPen(QColor(0xb4, 0xbc, 0xc8));
    p.drawText(QRect(160, 240, 800, 24), Qt::AlignCenter, "Prepare a continuous mix. Perform it live.");
    p.setFont(Font(12));
    p.setPen(kTextDim);
    p.drawText(QRect(160, 280, 800, 20), Qt::AlignCenter, "Start a new project or open a saved one.");
    // Three steps under the cards.
    const int y = 490;
    const QString steps[][2] = {{"1  Add sources", "Files from disk, CD tracks or a recording"},
                                {"2  Cut zones", "Mark the parts you want in the zone editor"},
                                {"3  Build the mix", "Drag zones into the playlist and play it live"}};
    for (int i = 0; i < 3; ++i) {
        const QRect card(236 + i * 224, y, 200, 64);
        PaintCard(p, card);
        p.setFont(Font(12.5, true));
        p.setPen(kText);
        p.drawText(card.adjusted(14, 10, -8, -34), Qt::AlignLeft | Qt::AlignVCenter, steps[i][0]);
        PaintNote(p, card.adjusted(14, 30, -8, -6), steps[i][1], kTextDim, 10.5);
    }
    p.setFont(Font(10.5));
    p.setPen(kTextFaint);
    p.drawText(QRect(160, 628, 784, 20), Qt::AlignRight | Qt::AlignVCenter, "Sonorel 1.01");
}

void PaintNewProject(QPainter& p, const QSize&)
{
    PaintMainFrame(p, false);
    p.setRenderHint(QPainter::Antialiasing);
    PaintGlyph(p, QRectF(440, 210, 80, 80), Glyph::Waveform, kAccent);
    p.setFont(Font(44, true));
    p.setPen(kText);
    p.drawText(QRect(0, 300, 960, 60), Qt::AlignCenter, "Sonorel");
    p.setFont(Font(14));
    p.setPen(kTextDim);
    p.drawText(QRect(0, 362, 960, 24), Qt::AlignCenter, "New project");
}

void PaintZoneEditor(QPainter& p, const QSize&)
{
    PaintMainFrame(p, true);
    p.setRenderHint(QPainter::Antialiasing);
    PaintPageTitle(p, {177, 50}, "Zone Editor", "Cut named zones out of a source file.");
    PaintCaption(p, {177, 106}, "WAVEFORM");
    PaintCaption(p, {509, 106}, "SOURCES");
    PaintWell(p, place::kLoopView.united(place::kScrollBar1));
    PaintWell(p, place::kFilesList);
    PaintWell(p, place::kBinGrid);
    PaintCaption(p, {509, 306}, "ZONE");
    const QRect card(648, 106, 296, 416);
    PaintCard(p, card);
    PaintCaption(p, {664, 120}, "HOW TO CUT A ZONE");
    const QString steps[] = {"Drag across the waveform to select a part of the source.",
                             "Press Play to listen: the selection loops.",
                             "Save Zone names it; it appears in the list below the view.",
                             "Drag a zone's markers to move its start or end."};
    for (int i = 0; i < 4; ++i) {
        const QRect row(664, 142 + i * 48, 266, 44);
        p.setPen(Qt::NoPen);
        p.setBrush(kAccentDeep);
        p.drawEllipse(QRectF(row.left(), row.top() + 4, 20, 20));
        p.setFont(Font(11, true));
        p.setPen(Qt::white);
        p.drawText(QRectF(row.left(), row.top() + 4, 20, 20), Qt::AlignCenter, QString::number(i + 1));
        p.setFont(Font(11.5));
        p.setPen(QColor(0xc4, 0xca, 0xd4));
        p.drawText(row.adjusted(30, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, steps[i]);
    }
    p.fillRect(QRect(664, 340, 264, 1), kLine);
    PaintCaption(p, {664, 352}, "KEYS");
    PaintKeyList(p, {664, 372}, {{"Space", "Play or stop the zone"},
                                 {"Ctrl+Space", "Loop to the zone's end"},
                                 {"Ctrl+I / Ctrl+O", "Zoom in / out"},
                                 {"F2", "Rename the zone"},
                                 {"Right click", "Place the cursor"}});
}

void PaintPlaylist(QPainter& p, const QSize&)
{
    PaintMainFrame(p, true);
    p.setRenderHint(QPainter::Antialiasing);
    PaintPageTitle(p, {171, 50}, "Playlist", "Drag zones from the bins into the mix, then perform it live.");
    PaintCaption(p, {171, 106}, "MIX");
    PaintCaption(p, {171, 372}, "BINS");
    PaintWell(p, place::kPlaylistEdit);
    PaintWell(p, place::kBinStrips);
    PaintCaption(p, {560, 106}, "LIVE");
    PaintCaption(p, {560, 190}, "TRIGGERS AND EDITORS");
    p.setFont(Font(10));
    p.setPen(kTextFaint);
    p.drawText(QRect(700, 188, 244, 16), Qt::AlignRight | Qt::AlignVCenter, "double-click, or drag onto a row");
    PaintCaption(p, {560, 328}, "EXPORT");
    const QRect keys(560, 396, 384, 80);
    PaintCard(p, keys);
    PaintCaption(p, {574, 404}, "KEYS");
    PaintKeyList(p, {574, 424}, {{"Space", "Play or stop the mix"}, {"Del", "Remove the row"}}, 24);
    PaintKeyList(p, {760, 424}, {{"F4", "Edit transformation"}, {"F5", "Edit transition"}}, 24);
    PaintCaption(p, {560, 484}, "GO TO");
}

void PaintHelpPanel(QPainter& p, const QSize& size)
{
    const QRectF all(0, 0, size.width(), size.height());
    p.fillRect(all, kOutline);
    QPainterPath body;
    // Square on the left, where the panel meets the pages; rounded like the window on the right.
    body.addRoundedRect(all, kMainCornerRadius, kMainCornerRadius);
    body.addRect(QRectF(0, 0, 10, size.height()));
    body.setFillRule(Qt::WindingFill);
    p.save();
    p.setClipPath(body.simplified());
    FillVertical(p, all, QColor(0x1a, 0x1d, 0x23), kWindowBottom);
    PaintTopStrip(p, size.width());
    p.restore();
    p.setRenderHint(QPainter::Antialiasing);
    PaintGlyph(p, QRectF(14, 11, 22, 22), Glyph::Help, kAccent);
    p.setFont(Font(15, true));
    p.setPen(kText);
    p.drawText(QRect(44, 0, 200, 44), Qt::AlignLeft | Qt::AlignVCenter, "Help");
    p.setFont(Font(10.5));
    p.setPen(kTextDim);
    p.drawText(QRect(120, 0, 214, 44), Qt::AlignRight | Qt::AlignVCenter, "Point at anything for help");
    PaintWell(p, place::kHelpText, 4);
    p.setPen(QPen(kRim, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(all.adjusted(-kMainCornerRadius, 0.5, -0.5, -0.5), kMainCornerRadius, kMainCornerRadius);
    p.fillRect(QRect(0, 0, 1, size.height()), kLine);
}

// ---- export, trigger and preferences windows ---------------------------------------------------

void PaintDialogBody(QPainter& p, const QSize& size, int radius)
{
    const QRectF all(0, 0, size.width(), size.height());
    p.fillRect(all, kOutline);
    QPainterPath body;
    body.addRoundedRect(all, radius, radius);
    p.save();
    p.setClipPath(body);
    FillVertical(p, all, kWindowTop, kWindowBottom);
    QRadialGradient glow(QPointF(size.width() * 0.85, 0), size.width() * 0.6);
    glow.setColorAt(0, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 26));
    glow.setColorAt(1, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
    p.fillRect(all, glow);
    p.restore();
    if (radius > 0) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kRim, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(all.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    }
}

// The head of the rip, export, record and burn windows: the glyph beside the title at the left,
// what the window makes at the right.
void PaintWizardHead(QPainter& p, const QSize& size, Glyph glyph, const QColor& tint, const QRect& titlePlace,
                     const QString& title, const QRect& detailPlace, const QString& detail)
{
    PaintDialogBody(p, size, kExportCornerRadius);
    p.setRenderHint(QPainter::Antialiasing);
    PaintGlyph(p, QRectF(18, titlePlace.top() + 3, 24, 24), glyph, tint);
    p.setFont(Font(15, true));
    p.setPen(kText);
    p.drawText(titlePlace, Qt::AlignLeft | Qt::AlignVCenter, title);
    p.setFont(Font(11));
    p.setPen(kTextDim);
    p.drawText(detailPlace, Qt::AlignRight | Qt::AlignVCenter, detail);
}

void PaintCDRip(QPainter& p, const QSize& size)
{
    PaintWizardHead(p, size, Glyph::Disc, kAccent, QRect(50, 8, 300, 30), "Rip Audio CD", QRect(250, 8, 250, 30),
                    QString::fromUtf8("MP3 \u00b7 256 kbit/s \u00b7 stereo"));
    PaintCaption(p, {20, 46}, "DRIVE");
    PaintWell(p, place::kCDRipDrives, 3);
    PaintWell(p, place::kCDRipTitle, 3);
    PaintWell(p, place::kCDRipTracks, 3);
    PaintWell(p, place::kCDRipProgress, 2);
}

void PaintExport(QPainter& p, const QSize& size, bool mp3)
{
    PaintWizardHead(p, size, mp3 ? Glyph::Mp3 : Glyph::Wav, kAccent, QRect(50, 8, 260, 30),
                    mp3 ? "Export Mix to MP3" : "Export Mix to WAV", QRect(260, 8, 203, 30),
                    mp3 ? QString::fromUtf8("MP3 \u00b7 256 kbit/s \u00b7 stereo") : QString::fromUtf8("44.1 kHz \u00b7 16-bit \u00b7 stereo"));
    PaintCaption(p, {20, 42}, "FILE NAME");
    PaintWell(p, place::kExportFileName, 5);
    PaintNote(p, place::kExportProgress.adjusted(0, -3, 10, 3), "The whole mix, from its start, into one file.",
              kTextFaint, 10.5);
}

// The skinned editors: title bar with the window's glyph and name, the preview well, captions of
// the control groups. Places match the windows' code (form_Transition, form_Transformation).
void PaintEditorBack(QPainter& p, const QSize& size, Glyph glyph, const QColor& tint, const QString& title,
                     const QRect& preview, const std::vector<std::pair<QPoint, QString>>& captions)
{
    PaintDialogBody(p, size, kEditorCornerRadius);
    p.setRenderHint(QPainter::Antialiasing);
    PaintGlyph(p, QRectF(16, 8, 22, 22), glyph, tint);
    p.setFont(Font(15, true));
    p.setPen(kText);
    p.drawText(QRect(46, 4, 300, 30), Qt::AlignLeft | Qt::AlignVCenter, title);
    p.fillRect(QRect(12, 36, size.width() - 24, 1), kLine);
    PaintWell(p, preview.adjusted(0, 0, 0, 18), 3);
    for (const auto& [at, text] : captions)
        PaintCaption(p, at, text);
}

void PaintTransitionBack(QPainter& p, const QSize& size)
{
    PaintEditorBack(p, size, Glyph::Crossfade, kAccent, "Transition", QRect(16, 44, 661, 214),
                    {{{212, 292}, "PREVIEW: PLAYS THE MIX, LOOPS OVER THE VIEW"},
                     {{16, 324}, "OUTGOING ROW"}, {{357, 324}, "INCOMING ROW"}});
    p.fillRect(QRect(346, 322, 1, 86), kLine);
}

void PaintTransformationBack(QPainter& p, const QSize& size)
{
    PaintEditorBack(p, size, Glyph::Sliders, kViolet, "Transformation", QRect(16, 44, 664, 120),
                    {{{212, 198}, "PREVIEW: PLAYS THIS ROW ALONE"}, {{16, 216}, "ROW"}, {{400, 216}, "FADES"}});
}

void PaintRecordBack(QPainter& p, const QSize& size)
{
    PaintWizardHead(p, size, Glyph::Record, kStop, QRect(50, 8, 220, 30), "Record My Own", QRect(222, 8, 203, 30),
                    QString::fromUtf8("MP3 \u00b7 256 kbit/s \u00b7 stereo"));
    PaintCaption(p, {20, 44}, "INPUT");
    PaintWell(p, place::kRecordDevice, 2);
    PaintCaption(p, {300, 44}, "TIME");
    PaintWell(p, place::kRecordTime, 2);
    PaintCaption(p, {20, 94}, "LEVEL");
    PaintWell(p, place::kRecordMeter, 3);
    // The meter's scale: 48 dB over the bar, loud at the right.
    p.setFont(Font(9));
    p.setPen(kTextFaint);
    const QRect meter = place::kRecordMeter;
    for (int db = 48; db >= 0; db -= 12) {
        const int x = meter.left() + meter.width() * (48 - db) / 48;
        p.fillRect(QRect(x, meter.bottom() + 5, 1, 3), kTextFaint);
        p.drawText(QRect(x - 20, meter.bottom() + 8, 40, 12), Qt::AlignCenter, db ? QString("-%1").arg(db) : "0 dB");
    }
}

void PaintTriggerBack(QPainter& p, const QSize& size)
{
    PaintDialogBody(p, size, 0);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(0, 0, 4, size.height()), kWarm);
    QRadialGradient halo(QPointF(40, 32), 30);
    halo.setColorAt(0, QColor(kWarm.red(), kWarm.green(), kWarm.blue(), 60));
    halo.setColorAt(1, QColor(kWarm.red(), kWarm.green(), kWarm.blue(), 0));
    p.fillRect(QRect(0, 0, 80, 80), halo);
    p.setPen(QPen(QColor(kWarm.red(), kWarm.green(), kWarm.blue(), 150), 1.5));
    p.setBrush(QColor(0x2a, 0x24, 0x1a));
    p.drawEllipse(QPointF(40, 32), 21, 21);
    QFont font = Font(9.5, true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(font);
    p.setPen(kWarm);
    p.drawText(QRect(72, 7, 300, 14), Qt::AlignLeft | Qt::AlignVCenter, "WAITING FOR TRIGGER");
    PaintNote(p, QRect(72, 46, 300, 16), "The mix goes on with the next row.", kTextDim, 11);
}

void PaintPreferencesBack(QPainter& p, const QSize& size)
{
    PaintDialogBody(p, size, 0);
    p.setRenderHint(QPainter::Antialiasing);
    PaintCaption(p, {16, 10}, "SOUND OUTPUT");
    PaintCard(p, QRect(8, 30, 377, 76));
    PaintCaption(p, {16, 112}, "START-UP");
    p.fillRect(QRect(0, 152, size.width(), size.height() - 152), QColor(0x11, 0x13, 0x17));
    p.fillRect(QRect(0, 152, size.width(), 1), kLine);
}

void PaintCDBurnBack(QPainter& p, const QSize& size)
{
    PaintWizardHead(p, size, Glyph::Burn, kAccent, QRect(50, 9, 260, 30), "Burn Mix to Audio CD", QRect(260, 9, 224, 30),
                    QString::fromUtf8("CD-R \u00b7 CD-RW \u00b7 with CD-TEXT"));
    PaintWell(p, place::kCDBurnPanel, 3);
    p.fillRect(QRect(0, 248, size.width(), 1), kLine);
    PaintNote(p, QRect(18, 256, 190, 30), "The whole mix, as one track.", kTextFaint, 10.5);
}

// ---- icons ------------------------------------------------------------------------------------

std::function<void(QPainter&, const QSize&)> IconPainter(Glyph glyph, QColor tint, QRectF box)
{
    return [=](QPainter& p, const QSize&) { PaintGlyph(p, box, glyph, tint, true); };
}

Picture Icon(std::string file, std::string control, int side, Glyph glyph, QColor tint, QRectF box, std::string note)
{
    Picture icon{std::move(file), std::move(control), kPlaylistFrame, QRect(0, 0, side, side), Kind::Icon};
    icon.paint = IconPainter(glyph, tint, box);
    icon.note = std::move(note);
    return icon;
}

Picture Background(std::string file, std::string control, std::string window, QRect rect,
                   std::function<void(QPainter&, const QSize&)> paint, std::string note)
{
    Picture bg{std::move(file), std::move(control), std::move(window), rect, Kind::Background};
    bg.paint = std::move(paint);
    bg.note = std::move(note);
    return bg;
}

Picture Button(std::string file, std::string control, std::string window, QRect rect, std::string backdrop,
               ButtonFace face, std::string note = {})
{
    Picture b{std::move(file), std::move(control), std::move(window), rect, Kind::Button, std::move(backdrop)};
    b.face = std::move(face);
    b.note = std::move(note);
    return b;
}

Picture Highlight(std::string file, std::string control, const Picture& button, std::string note)
{
    Picture h = button;
    h.file = std::move(file);
    h.control = std::move(control);
    h.kind = Kind::Highlight;
    h.face.style = ButtonStyle::NavigationCurrent;
    h.note = std::move(note);
    return h;
}

Picture GlyphOnBackdrop(std::string file, std::string control, std::string window, QRect rect, std::string backdrop,
                        Glyph glyph, QColor tint, std::string note)
{
    Picture pic{std::move(file), std::move(control), std::move(window), rect, Kind::Picture, std::move(backdrop)};
    pic.paint = [=](QPainter& p, const QSize& size) { PaintGlyph(p, QRectF(4, 4, size.width() - 8, size.height() - 8), glyph, tint); };
    pic.note = std::move(note);
    return pic;
}

ButtonFace Nav(Glyph glyph, const char* caption)
{
    return {ButtonStyle::Navigation, glyph, caption};
}

ButtonFace Plain(Glyph glyph, const char* caption, QColor tint = {})
{
    return {ButtonStyle::Plain, glyph, caption, {}, tint};
}

ButtonFace Tile(Glyph glyph, const char* caption, const char* subtitle, QColor tint)
{
    return {ButtonStyle::Tile, glyph, caption, subtitle, tint};
}

std::vector<Picture> MakeCatalogue()
{
    std::vector<Picture> all;
    auto add = [&all](Picture p) -> const Picture& { return all.emplace_back(std::move(p)); };

    // Backgrounds of the main window: each page is the whole window, with the top strip and the
    // navigation strip painted exactly as their own pictures, so the overlays never show a seam.
    add(Background("main_start", "`Image1`", kStart, {0, 0, 960, 662}, PaintStart, "page background, at (0, 0) of the page"));
    add(Background("main_new_project", "`Image4`", kNewProject, {0, 0, 960, 662}, PaintNewProject,
                   "its size is the window's size (the window is sized to it); no navigation strip"));
    add(Background("main_zone_editor", "`Image8`", kZoneEditor, {0, 0, 960, 662}, PaintZoneEditor,
                   "its width is the client width without the help panel"));
    add(Background("main_playlist", "`PlaylistBack`", kPlaylist, {0, 0, 960, 662}, PaintPlaylist, "page background"));
    add(Background("main_top", "`NavigationTop`", kTop, {0, 0, 960, 44},
                   [](QPainter& p, const QSize&) { PaintMainFrame(p, true); },
                   "the top strip; drags the window; under the logo, preferences and help pictures"));
    add(Background("main_navigation", "`NavigationImage`", kNavigation, {0, 44, 160, 618},
                   [](QPainter& p, const QSize&) { p.translate(0, -44); PaintMainFrame(p, true); },
                   "fills `navigation_panel` at (0, 44); section captions included"));
    add(Background("help_panel", "`HelpPanel` background", kMain, {960, 0, 350, 662}, PaintHelpPanel,
                   "behind the help memo and HTML view when the panel is open"));

    // Top strip.
    const std::string top = "main_top";
    Picture logo{"logo", "`Image6`", kTop, {12, 6, 140, 32}, Kind::Button, top};
    logo.face = {ButtonStyle::Icon, Glyph::Logo, "Sonorel"};
    logo.note = "the logo; opens the web page";
    add(logo);
    add(Button("preferences", "`Image40`", kTop, {864, 6, 40, 32}, top, {ButtonStyle::Icon, Glyph::Gear}, "opens the preferences"));
    add(Button("help_button", "`HelpButton`", kTop, {908, 6, 40, 32}, top, {ButtonStyle::Icon, Glyph::Help},
               "toggles the help panel; show the down picture while the panel is open"));

    // Navigation strip (window coordinates; subtract 44 from y inside `navigation_panel`).
    const std::string nav = "main_navigation";
    auto navButton = [&](const char* file, const char* control, int y, Glyph glyph, const char* caption) -> const Picture& {
        return add(Button(file, control, kNavigation, {8, y, 144, 32}, nav, Nav(glyph, caption)));
    };
    const Picture newProject = navButton("nav_new_project", "`Image10`", 78, Glyph::Plus, "New Project");
    navButton("nav_load_project", "`loadproj`", 112, Glyph::Folder, "Load Project");
    navButton("nav_save_project", "`Image9`", 146, Glyph::Disk, "Save Project");
    navButton("nav_add_from_disk", "`selectfromdisk`", 214, Glyph::FileAdd, "Add From Disk");
    navButton("nav_rip_cd", "`cdtrack`", 248, Glyph::Disc, "Rip CD Track");
    navButton("nav_record", "`record`", 282, Glyph::Record, "Record");
    const Picture zoneEditor = navButton("nav_zone_editor", "`LoopEditor`", 350, Glyph::Waveform, "Zone Editor");
    const Picture playlist = navButton("nav_playlist", "`playlisteditor`", 384, Glyph::List, "Playlist");
    navButton("nav_burn_cd", "`cdburn`", 452, Glyph::Burn, "Burn CD");
    navButton("nav_exit", "`Exit`", 612, Glyph::Power, "Exit");
    const std::string highlightNote = "shown over the button on its page; make it transparent for the mouse";
    add(Highlight("nav_new_project_current", "`NewProjectHighlight`", newProject, highlightNote + " (page 0)"));
    add(Highlight("nav_zone_editor_current", "`LoopEditorHighlight`", zoneEditor, highlightNote + " (page 2)"));
    add(Highlight("nav_playlist_current", "`PlaylistEditorHighlight`", playlist, highlightNote + " (page 3)"));

    // Start page.
    const std::string start = "main_start";
    add(Button("start_new_project", "`Image3`", kStart, {236, 318, 200, 132}, start,
               {ButtonStyle::BigTile, Glyph::Plus, "New Project", "Start an empty mix", kAccent}));
    add(Button("start_load_project", "`Image21`", kStart, {460, 318, 200, 132}, start,
               {ButtonStyle::BigTile, Glyph::Folder, "Load Project", "Open a saved project", kAccent}));
    add(Button("start_quit", "`Image2`", kStart, {684, 318, 200, 132}, start,
               {ButtonStyle::BigTile, Glyph::Power, "Quit", "Close Sonorel", kTextDim}));

    // Zone editor page.
    const std::string zone = "main_zone_editor";
    add(Button("zone_zoom_in", "`ZoomIn`", kZoneEditor, {509, 268, 60, 30}, zone, Plain(Glyph::ZoomIn, "", kText), "zooms the view in"));
    add(Button("zone_zoom_out", "`ZoomOut`", kZoneEditor, {573, 268, 60, 30}, zone, Plain(Glyph::ZoomOut, "", kText), "zooms the view out"));
    add(Button("zone_play", "`ZoneEditPlay`", kZoneEditor, {509, 322, 60, 36}, zone, Plain(Glyph::Play, "Play", kPlay)));
    add(Button("zone_stop", "`Image13`", kZoneEditor, {573, 322, 60, 36}, zone, Plain(Glyph::Stop, "Stop", kStop)));
    add(Button("zone_save", "`Image38`", kZoneEditor, {509, 366, 124, 32}, zone, {ButtonStyle::Primary, Glyph::SaveZone, "Save Zone"}));
    add(Button("zone_rename", "`Image24`", kZoneEditor, {509, 404, 124, 32}, zone, Plain(Glyph::Rename, "Rename Zone", kText)));
    add(Button("zone_add_bin", "`Image23`", kZoneEditor, {509, 442, 124, 32}, zone, Plain(Glyph::AddBin, "Add Bin", kText)));
    add(Button("zone_start_page", "`Image16`", kZoneEditor, {509, 490, 124, 32}, zone, Plain(Glyph::Home, "Start Page", kTextDim)));

    // Playlist page.
    const std::string pl = "main_playlist";
    add(Button("play", "`Play`", kPlaylist, {560, 124, 88, 48}, pl, Plain(Glyph::Play, "Play", kPlay)));
    add(Button("stop", "`Stop`", kPlaylist, {656, 124, 88, 48}, pl, Plain(Glyph::Stop, "Stop", kStop)));
    Picture display{"time_display", "`Image12`", kPlaylist, {752, 124, 192, 48}, Kind::Button, pl};
    display.face = {ButtonStyle::Display, Glyph::None, ""};
    display.note = "toggles the time display; `lbPosition` and `lbTotalLength` stand on it";
    add(display);
    add(Button("mouse_trigger", "`MouseWait`", kPlaylist, {560, 206, 188, 48}, pl,
               Tile(Glyph::Mouse, "Mouse Trigger", "Wait for a click", kWarm)));
    add(Button("key_trigger", "`KeyboardWait`", kPlaylist, {756, 206, 188, 48}, pl,
               Tile(Glyph::Key, "Key Trigger", "Wait for the space bar", kWarm)));
    add(Button("transformation", "`Transformation`", kPlaylist, {560, 262, 188, 48}, pl,
               Tile(Glyph::Sliders, "Transformation", "Volume, tempo, pitch", kViolet)));
    add(Button("transition", "`Transition`", kPlaylist, {756, 262, 188, 48}, pl,
               Tile(Glyph::Crossfade, "Transition", "Overlap the next row", kAccent)));
    add(Button("out_wav", "`ToWav`", kPlaylist, {560, 344, 188, 40}, pl, Plain(Glyph::Wav, "Out to WAV", kAccent)));
    add(Button("out_mp3", "`Image30`", kPlaylist, {756, 344, 188, 40}, pl, Plain(Glyph::Mp3, "Out to MP3", kAccent)));
    add(Button("import_bins", "`loadrepos`", kPlaylist, {492, 407, 56, 48}, pl, {ButtonStyle::Stacked, Glyph::Import, "Import", {}, kText},
               "imports bins from another project"));
    add(Button("playlist_add_bin", "`Image22`", kPlaylist, {492, 463, 56, 48}, pl, {ButtonStyle::Stacked, Glyph::AddBin, "Add Bin", {}, kText}));
    add(Button("playlist_zone_editor", "`Image18`", kPlaylist, {560, 500, 188, 32}, pl, Plain(Glyph::Waveform, "Zone Editor", kAccent)));
    add(Button("playlist_start_page", "`Image11`", kPlaylist, {756, 500, 188, 32}, pl, Plain(Glyph::Home, "Start Page", kTextDim)));

    // Playlist grid icons: transparent (alpha picture beside them), read on dark, grey and
    // selected rows alike thanks to a dark outline.
    add(Icon("icon_fade_in", "`IconFadeIn`", 24, Glyph::FadeIn, kPlay, {2, 3, 20, 18}, "column 2 at left+0 when the row fades in"));
    add(Icon("icon_volume", "`IconVolume`", 24, Glyph::Speaker, kWarm, {2, 2, 20, 20}, "column 2 at left+24 when volume is not 100"));
    add(Icon("icon_pitch", "`IconPitch`", 24, Glyph::Pitch, kViolet, {2, 2, 20, 20}, "column 2 at left+48 when pitch is not 0"));
    add(Icon("icon_tempo", "`IconStretch`", 24, Glyph::Tempo, kAccent, {2, 2, 20, 20}, "column 2 at left+72 when tempo (speed) is not 0"));
    add(Icon("icon_fade_out", "`IconFadeOut`", 24, Glyph::FadeOut, kStop, {2, 3, 20, 18}, "column 2 at left+96 when the row fades out"));
    add(Icon("icon_overlap", "`IconFade`", 24, Glyph::Crossfade, QColor(0x5f, 0xe0, 0xd0), {2, 8, 20, 14},
             "column 0 at (left, top+12): the overlap mark; drawn low, under the row's name"));
    add(Icon("icon_mouse", "`IconMouse`", 32, Glyph::Mouse, kWarm, {5, 1, 22, 22}, "column 1 at (left+2, top) for a mouse trigger; drawn high, above the time"));
    add(Icon("icon_any_key", "`IconAnyKey`", 32, Glyph::Key, kWarm, {4, 0, 24, 24}, "column 1 at (left+2, top) for a key trigger; drawn high, above the time"));
    add(Icon("icon_overlap_gray", "`IconFadeGray`", 32, Glyph::Crossfade, QColor(0x9a, 0xa2, 0xae), {4, 8, 24, 18},
             "the grey overlap mark (not drawn by the frame)"));

    // Export window.
    add(Background("export_wav", "`towav`", kExport, {0, 0, 483, 140},
                   [](QPainter& p, const QSize& s) { PaintExport(p, s, false); }, "background in WAV mode; drags the window"));
    add(Background("export_mp3", "`tomp3`", kExport, {0, 0, 483, 140},
                   [](QPainter& p, const QSize& s) { PaintExport(p, s, true); }, "over `towav` at (0, 0) in MP3 mode; drags the window"));
    const std::string ex = "export_wav";
    add(Button("export_browse", "`Image3`", kExport, {418, 55, 45, 34}, ex, Plain(Glyph::Folder, "", kText), "browse for the file"));
    add(Button("export_start", "`Image2`", kExport, {283, 98, 88, 30}, ex, {ButtonStyle::Primary, Glyph::None, "Export"}));
    add(Button("export_cancel", "`Image6`", kExport, {379, 98, 84, 30}, ex, Plain(Glyph::None, "Cancel")));

    // CD rip window.
    add(Background("cdrip_back", "`Image`", kCDRip, {0, 0, 560, 446}, PaintCDRip, "background; drags the window"));
    const std::string cr = "cdrip_back";
    add(Button("cdrip_close", "`Image1`", kCDRip, {522, 10, 28, 26}, cr, Plain(Glyph::None, "\u00d7"), "closes the window (aborts a rip)"));
    add(Button("cdrip_play", "`Image2`", kCDRip, {20, 400, 40, 32}, cr, Plain(Glyph::Play, "", kPlay), "plays the selected track"));
    add(Button("cdrip_stop", "`Image3`", kCDRip, {66, 400, 40, 32}, cr, Plain(Glyph::Stop, "", kStop), "stops the track"));
    add(Button("cdrip_abort", "`Abort`", kCDRip, {272, 400, 78, 32}, cr, Plain(Glyph::None, "Abort"), "shown while ripping"));
    add(Button("cdrip_rip_marked", "`RipMarked`", kCDRip, {356, 400, 92, 32}, cr, {ButtonStyle::Primary, Glyph::None, "Rip Tracks"},
               "one file per marked track"));
    add(Button("cdrip_rip_onebin", "`RipOneBin`", kCDRip, {454, 400, 86, 32}, cr, Plain(Glyph::None, "One File"),
               "the marked tracks into one file, one zone per track"));
    // Record window.
    add(Background("record_back", "`Image1`", kRecord, {0, 0, 445, 200}, PaintRecordBack,
                   "background; the window takes its size; drags the window"));
    const std::string rec = "record_back";
    add(Button("record_start", "`Image4`", kRecord, {20, 154, 104, 32}, rec, Plain(Glyph::Record, "Record", kStop)));
    add(Button("record_stop", "`Image5`", kRecord, {132, 154, 88, 32}, rec, Plain(Glyph::Stop, "Stop", kText)));
    add(Button("record_done", "`Image3`", kRecord, {249, 154, 88, 32}, rec, {ButtonStyle::Primary, Glyph::None, "Done"}));
    add(Button("record_cancel", "`Image2`", kRecord, {345, 154, 80, 32}, rec, Plain(Glyph::None, "Cancel")));

    // Trigger window.
    add(Background("trigger_back", "window background", kTrigger, {0, 0, 384, 80}, PaintTriggerBack,
                   "painted under everything; `Image1` stays without a picture over it"));
    add(GlyphOnBackdrop("trigger_mouse", "`IconMouse`", kTrigger, {24, 16, 32, 32}, "trigger_back", Glyph::Mouse, kWarm,
                        "shown for a mouse wait"));
    add(GlyphOnBackdrop("trigger_key", "`IconAnyKey`", kTrigger, {24, 16, 32, 32}, "trigger_back", Glyph::Key, kWarm,
                        "shown for a key wait"));

    // Transition and transformation editors.
    add(Background("transition_back", "`Image`", kTransition, {0, 0, 693, 463}, PaintTransitionBack,
                   "window background; drags the window; rounded region radius 6"));
    add(Background("transformation_back", "`Image6`", kTransformation, {0, 0, 696, 310}, PaintTransformationBack,
                   "window background; drags the window; rounded region radius 6"));
    for (const auto& [prefix, window, y, names] :
         {std::tuple{std::string("transition"), kTransition, 282, std::array{"`Image2`", "`Image1`", "`Image4`", "`Image3`", "`Image6`"}},
          std::tuple{std::string("transformation"), kTransformation, 188,
                     std::array{"`Image4`", "`Image3`", "`Image1`", "`Image2`", "`Image7`"}}}) {
        const std::string back = prefix + "_back";
        const int closeLeft = window == kTransition ? 657 : 660;
        add(Button(prefix + "_play", names[0], window, {16, y, 40, 30}, back, Plain(Glyph::Play, "", kPlay), "plays the preview"));
        add(Button(prefix + "_stop", names[1], window, {60, y, 40, 30}, back, Plain(Glyph::Stop, "", kStop), "stops the preview"));
        add(Button(prefix + "_zoom_in", names[2], window, {112, y, 40, 30}, back, Plain(Glyph::ZoomIn, "", kText)));
        add(Button(prefix + "_zoom_out", names[3], window, {156, y, 40, 30}, back, Plain(Glyph::ZoomOut, "", kText)));
        add(Button(prefix + "_close", names[4], window, {closeLeft, 8, 24, 24}, back, Plain(Glyph::None, "\u00d7", kTextDim),
                   "closes the editor"));
    }
    // CD-burn wizard: Back, Next and Cancel in a row; Burn takes Next's place, CloseBtn Cancel's.
    add(Background("cdburn_back", "`Image1`", kCDBurn, {0, 0, 500, 300}, PaintCDBurnBack,
                   "the wizard's background; drags the window; the step panels stand in its well"));
    const std::string cb = "cdburn_back";
    add(Button("cdburn_previous", "`Back`", kCDBurn, {212, 256, 84, 30}, cb, Plain(Glyph::None, "Back")));
    add(Button("cdburn_next", "`Next`", kCDBurn, {306, 256, 84, 30}, cb, {ButtonStyle::Primary, Glyph::None, "Next"}));
    add(Button("cdburn_burn", "`Burn`", kCDBurn, {306, 256, 84, 30}, cb, {ButtonStyle::Primary, Glyph::Burn, "Burn"},
               "at `Next`'s place on the speed step"));
    add(Button("cdburn_cancel", "`Cancel`", kCDBurn, {400, 256, 84, 30}, cb, Plain(Glyph::None, "Cancel")));
    add(Button("cdburn_close", "`CloseBtn`", kCDBurn, {400, 256, 84, 30}, cb, Plain(Glyph::None, "Close"),
               "at `Cancel`'s place after the burn"));

    // Preferences window.
    add(Background("preferences_back", "window background", kPreferences, {0, 0, 393, 189}, PaintPreferencesBack,
                   "painted under the standard controls (places below)"));
    return all;
}

} // namespace

const std::vector<Picture>& Catalogue()
{
    static const std::vector<Picture> catalogue = MakeCatalogue();
    return catalogue;
}

const Picture& Find(const std::string& file)
{
    for (const auto& p : Catalogue())
        if (p.file == file)
            return p;
    throw std::runtime_error("no skin picture " + file);
}

const std::vector<WidgetPlace>& WidgetPlaces()
{
    static const std::vector<WidgetPlace> places = MakeWidgetPlaces();
    return places;
}

} // namespace skin
