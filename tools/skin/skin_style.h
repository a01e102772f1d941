#pragma once

// The one visual design of Sonorel's skin: palette, fonts and the drawing primitives that every
// picture is made of (window chrome, wells, buttons, captions, glyphs).

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRect>
#include <QString>

#include <vector>

namespace skin {

namespace colour {
inline const QColor kWindowTop{0x1d, 0x21, 0x29};
inline const QColor kWindowBottom{0x13, 0x16, 0x1b};
inline const QColor kStripTop{0x25, 0x2a, 0x33};
inline const QColor kStripBottom{0x1c, 0x20, 0x27};
inline const QColor kNavigation{0x16, 0x19, 0x1e};
inline const QColor kPanel{0x1f, 0x23, 0x2b};
inline const QColor kWell{0x0e, 0x10, 0x14};
inline const QColor kLine{0x2c, 0x32, 0x3c};
inline const QColor kLineLight{0x3a, 0x42, 0x4f};
inline const QColor kRim{0x48, 0x51, 0x60};
inline const QColor kText{0xe8, 0xeb, 0xf0};
inline const QColor kTextDim{0x8d, 0x96, 0xa6};
inline const QColor kTextFaint{0x5c, 0x65, 0x73};
inline const QColor kAccent{0x4c, 0xc2, 0xff};      // selection, primary actions
inline const QColor kAccentDeep{0x1d, 0x6f, 0xa3};
inline const QColor kWarm{0xff, 0xb5, 0x47};        // triggers, live
inline const QColor kPlay{0x3d, 0xd6, 0x84};
inline const QColor kStop{0xff, 0x5c, 0x5f};
inline const QColor kViolet{0xb9, 0x8c, 0xff};
inline const QColor kOutline{0x0a, 0x0c, 0x0f};
} // namespace colour

// Corner radii of the window regions the windows set, so the painted frames meet them exactly.
inline constexpr int kMainCornerRadius = 3;
inline constexpr int kExportCornerRadius = 6;
inline constexpr int kEditorCornerRadius = 6;

enum class ButtonState { Normal, Hover, Down };
enum class ButtonStyle { Plain, Primary, Navigation, NavigationCurrent, Tile, BigTile, Stacked, Icon, Display };

enum class Glyph {
    None, Plus, Folder, Disk, FileAdd, Disc, Record, Waveform, List, Burn, Power, Gear, Help,
    Play, Stop, ZoomIn, ZoomOut, SaveZone, Rename, AddBin, Home, Mouse, Key, Sliders, Crossfade,
    Wav, Mp3, Import, Speaker, Tempo, Pitch, FadeIn, FadeOut, Logo
};

QFont Font(double pixelSize, bool bold = false);

void FillVertical(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom);

// The main window's frame: gradient body, the top strip (0..44) and, when asked, the navigation
// strip at the left; the one-pixel rim follows the window's rounded region.
void PaintMainChrome(QPainter& p, const QSize& size, bool withNavigation);
void PaintTopStrip(QPainter& p, int width);
void PaintNavigation(QPainter& p, const QRect& r);

// A dark recessed area that a widget (grid, list, view, edit) covers; the rim shows around it.
void PaintWell(QPainter& p, const QRect& widgetRect, int margin = 2);
// A raised card that groups things.
void PaintCard(QPainter& p, const QRect& r);
// Small upper-case caption in the dim text colour.
void PaintCaption(QPainter& p, const QPoint& at, const QString& text);
void PaintPageTitle(QPainter& p, const QPoint& at, const QString& title, const QString& subtitle);

// What a picture button shows; `tint` colours the glyph (the style's colour when invalid).
struct ButtonFace {
    ButtonStyle style = ButtonStyle::Plain;
    Glyph glyph = Glyph::None;
    QString caption;
    QString subtitle;
    QColor tint;
};

// One state of a picture button: everything inside `r` (the background is already painted).
void PaintButton(QPainter& p, const QRect& r, const ButtonFace& face, ButtonState state);

// A text that PaintButton writes: what, in which box, font and colour. A caption is set at the
// largest size up to its style's own at which it fits its box whole, one size in every state.
struct ButtonText {
    QString text;
    QRectF box;
    QFont font;
    QColor colour;
    int flags;
};
std::vector<ButtonText> ButtonTexts(const QRect& r, const ButtonFace& face, ButtonState state);

// A glyph drawn inside `box` in `colour`, with a dark outline when `outlined`.
void PaintGlyph(QPainter& p, const QRectF& box, Glyph glyph, const QColor& colour, bool outlined = false);

// The word mark: wave glyph and "Sonorel".
void PaintLogo(QPainter& p, const QRect& r, bool hover);

} // namespace skin
