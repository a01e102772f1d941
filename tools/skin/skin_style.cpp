#include "skin_style.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace skin {
namespace {

constexpr int kTopStripHeight = 44;
constexpr int kNavigationWidth = 160;

QColor WithAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

// Glyphs are drawn in a 24 x 24 design space. Each glyph is a list of strokes and fills; the
// outlined variant first draws them wider in a dark colour, so the glyph reads on any row colour.
class Ink {
public:
    Ink(QPainter& p, const QColor& colour, qreal outline) : p_(p), colour_(colour), outline_(outline) {}

    void Stroke(const QPainterPath& path, qreal width) const
    {
        p_.strokePath(path, QPen(colour_, width + outline_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    void Fill(const QPainterPath& path) const
    {
        if (outline_ > 0)
            p_.strokePath(path, QPen(colour_, outline_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p_.fillPath(path, colour_);
    }
    void Line(qreal x1, qreal y1, qreal x2, qreal y2, qreal width) const
    {
        QPainterPath path;
        path.moveTo(x1, y1);
        path.lineTo(x2, y2);
        Stroke(path, width);
    }
    void Circle(qreal cx, qreal cy, qreal r, qreal width) const
    {
        QPainterPath path;
        path.addEllipse(QPointF(cx, cy), r, r);
        Stroke(path, width);
    }
    void Dot(qreal cx, qreal cy, qreal r) const
    {
        QPainterPath path;
        path.addEllipse(QPointF(cx, cy), r, r);
        Fill(path);
    }
    void Polygon(std::initializer_list<QPointF> points, bool filled, qreal width = 1.8) const
    {
        QPainterPath path;
        path.addPolygon(QPolygonF(QList<QPointF>(points)));
        path.closeSubpath();
        filled ? Fill(path) : Stroke(path, width);
    }
    void Box(const QRectF& r, qreal radius, bool filled, qreal width = 1.8) const
    {
        QPainterPath path;
        path.addRoundedRect(r, radius, radius);
        filled ? Fill(path) : Stroke(path, width);
    }
    void Text(const QRectF& r, const QString& text, double size) const
    {
        QPainterPath path;
        const QFont font = skin::Font(size, true);
        const QFontMetricsF metrics(font);
        const QPointF origin(r.center().x() - metrics.horizontalAdvance(text) / 2,
                             r.center().y() + (metrics.ascent() - metrics.descent()) / 2);
        path.addText(origin, font, text);
        Fill(path);
    }

private:
    QPainter& p_;
    QColor colour_;
    qreal outline_;
};

void DrawPlusSign(const Ink& ink, qreal cx, qreal cy, qreal half, qreal width)
{
    ink.Line(cx - half, cy, cx + half, cy, width);
    ink.Line(cx, cy - half, cx, cy + half, width);
}

void DrawDocument(const Ink& ink)
{
    ink.Polygon({{5, 2.5}, {14.5, 2.5}, {19.5, 7.5}, {19.5, 21.5}, {5, 21.5}}, false, 1.7);
    ink.Line(14.5, 2.5, 14.5, 7.5, 1.4);
    ink.Line(14.5, 7.5, 19.5, 7.5, 1.4);
}

void DrawWaveBars(const Ink& ink, qreal left, qreal right, qreal mid, qreal scale, qreal width)
{
    static const qreal heights[] = {0.25, 0.55, 0.9, 0.6, 1.0, 0.7, 0.4, 0.8, 0.45, 0.2};
    const int n = int(std::size(heights));
    for (int i = 0; i < n; ++i) {
        const qreal x = left + (right - left) * i / (n - 1);
        const qreal h = heights[i] * scale;
        ink.Line(x, mid - h, x, mid + h, width);
    }
}

void DrawGear(const Ink& ink)
{
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        const qreal angle = (i * 2 * M_PI) / (teeth * 4) - M_PI / 2;
        const qreal r = (i % 4 == 0 || i % 4 == 1) ? 9.6 : 7.2;
        const QPointF pt(12 + r * std::cos(angle), 12 + r * std::sin(angle));
        i == 0 ? gear.moveTo(pt) : gear.lineTo(pt);
    }
    gear.closeSubpath();
    gear.addEllipse(QPointF(12, 12), 3.3, 3.3);
    gear.setFillRule(Qt::OddEvenFill);
    ink.Fill(gear);
}

void DrawMagnifier(const Ink& ink, bool plus)
{
    ink.Circle(10, 10, 6.5, 1.9);
    ink.Line(14.8, 14.8, 20.5, 20.5, 2.8);
    ink.Line(7, 10, 13, 10, 1.8);
    if (plus)
        ink.Line(10, 7, 10, 13, 1.8);
}

void DrawGlyphShape(const Ink& ink, Glyph glyph)
{
    switch (glyph) {
    case Glyph::None:
    case Glyph::Logo:
        return;
    case Glyph::Plus:
        DrawDocument(ink);
        DrawPlusSign(ink, 12.2, 14, 3.6, 1.8);
        return;
    case Glyph::Folder:
        ink.Polygon({{2.5, 5.5}, {9, 5.5}, {11, 8}, {21.5, 8}, {21.5, 19.5}, {2.5, 19.5}}, false, 1.7);
        ink.Line(2.5, 11, 21.5, 11, 1.4);
        return;
    case Glyph::Disk:
        ink.Polygon({{3.5, 3.5}, {17, 3.5}, {20.5, 7}, {20.5, 20.5}, {3.5, 20.5}}, false, 1.7);
        ink.Box(QRectF(7.5, 3.5, 8, 5), 0.8, false, 1.4);
        ink.Box(QRectF(7, 13, 10, 7.5), 1, false, 1.4);
        return;
    case Glyph::FileAdd:
        DrawDocument(ink);
        DrawWaveBars(ink, 8.5, 16, 14.5, 4, 1.4);
        return;
    case Glyph::Disc:
        ink.Circle(12, 12, 9, 1.7);
        ink.Circle(12, 12, 2.6, 1.5);
        ink.Line(12, 5.5, 16.5, 7.2, 1.2);
        return;
    case Glyph::Record:
        ink.Circle(12, 12, 9, 1.7);
        ink.Dot(12, 12, 4.8);
        return;
    case Glyph::Waveform:
        DrawWaveBars(ink, 3, 21, 12, 8.5, 1.9);
        return;
    case Glyph::List:
        for (int i = 0; i < 3; ++i) {
            const qreal y = 6.5 + i * 5.5;
            ink.Dot(4.5, y, 1.4);
            ink.Line(9, y, 21, y, 1.8);
        }
        return;
    case Glyph::Burn:
        ink.Circle(11, 13, 8.5, 1.7);
        ink.Circle(11, 13, 2.3, 1.4);
        ink.Polygon({{19, 1.5}, {22.5, 6.5}, {20.8, 10.5}, {17.2, 10.5}, {15.8, 6.8}}, true);
        return;
    case Glyph::Power: {
        QPainterPath arc;
        arc.arcMoveTo(QRectF(3.5, 4, 17, 17), 55);
        arc.arcTo(QRectF(3.5, 4, 17, 17), 55, 290);
        ink.Stroke(arc, 2);
        ink.Line(12, 2.5, 12, 11, 2.2);
        return;
    }
    case Glyph::Gear:
        DrawGear(ink);
        return;
    case Glyph::Help:
        ink.Circle(12, 12, 9.5, 1.7);
        ink.Text(QRectF(2, 2, 20, 20), "?", 13);
        return;
    case Glyph::Play:
        ink.Polygon({{7, 4}, {20, 12}, {7, 20}}, true);
        return;
    case Glyph::Stop:
        ink.Box(QRectF(5.5, 5.5, 13, 13), 2, true);
        return;
    case Glyph::ZoomIn:
        DrawMagnifier(ink, true);
        return;
    case Glyph::ZoomOut:
        DrawMagnifier(ink, false);
        return;
    case Glyph::SaveZone:
        ink.Polygon({{7, 3.5}, {3.5, 3.5}, {3.5, 20.5}, {7, 20.5}}, false, 1.8);
        ink.Polygon({{17, 3.5}, {20.5, 3.5}, {20.5, 20.5}, {17, 20.5}}, false, 1.8);
        DrawPlusSign(ink, 12, 12, 4.2, 2);
        return;
    case Glyph::Rename:
        ink.Polygon({{15.5, 3.5}, {20.5, 8.5}, {9, 20}, {3.5, 20.5}, {4, 15}}, false, 1.7);
        ink.Line(13, 6, 18, 11, 1.4);
        return;
    case Glyph::AddBin:
        ink.Polygon({{3, 11}, {3, 20.5}, {21, 20.5}, {21, 11}}, false, 1.7);
        ink.Line(3, 11, 8, 11, 1.7);
        ink.Line(16, 11, 21, 11, 1.7);
        DrawPlusSign(ink, 12, 9, 4.5, 2);
        return;
    case Glyph::Home:
        ink.Polygon({{2.5, 12}, {12, 3.5}, {21.5, 12}}, false, 1.8);
        ink.Polygon({{5.5, 10}, {5.5, 20.5}, {18.5, 20.5}, {18.5, 10}}, false, 1.7);
        ink.Box(QRectF(10, 14, 4, 6.5), 0.5, true);
        return;
    case Glyph::Mouse:
        ink.Box(QRectF(6.5, 2, 11, 19), 5.5, false, 1.7);
        ink.Line(12, 2.5, 12, 9, 1.4);
        ink.Line(6.8, 9, 17.2, 9, 1.4);
        ink.Polygon({{7.6, 8.2}, {7.6, 5.5}, {9.2, 3.4}, {11.2, 2.9}, {11.2, 8.2}}, true);
        return;
    case Glyph::Key:
        ink.Box(QRectF(1.5, 5.5, 21, 14), 3, false, 1.7);
        ink.Line(6.5, 14.5, 17.5, 14.5, 2.2);
        ink.Line(6.5, 12, 6.5, 14.5, 1.5);
        ink.Line(17.5, 12, 17.5, 14.5, 1.5);
        return;
    case Glyph::Sliders:
        for (int i = 0; i < 3; ++i) {
            const qreal x = 5 + i * 7;
            const qreal knob = (i == 1) ? 15 : (i == 0 ? 8 : 11);
            ink.Line(x, 3, x, 21, 1.6);
            ink.Box(QRectF(x - 2.8, knob - 2, 5.6, 4), 1, true);
        }
        return;
    case Glyph::Crossfade:
        ink.Line(2.5, 19.5, 21.5, 6, 2);
        ink.Line(2.5, 6, 21.5, 19.5, 2);
        ink.Line(2.5, 21, 21.5, 21, 1.3);
        return;
    case Glyph::Wav:
        DrawDocument(ink);
        DrawWaveBars(ink, 8, 16.5, 14.5, 4.2, 1.4);
        return;
    case Glyph::Mp3:
        DrawDocument(ink);
        ink.Dot(10, 17, 2.3);
        ink.Line(12, 17, 12, 9.5, 1.5);
        ink.Line(12, 9.5, 15.5, 11, 1.5);
        return;
    case Glyph::Import:
        ink.Polygon({{3, 12}, {3, 20.5}, {21, 20.5}, {21, 12}}, false, 1.7);
        ink.Line(12, 2.5, 12, 14, 2);
        ink.Polygon({{8, 10.5}, {12, 15}, {16, 10.5}}, true);
        return;
    case Glyph::Speaker: {
        ink.Polygon({{2.5, 9}, {7, 9}, {12.5, 4}, {12.5, 20}, {7, 15}, {2.5, 15}}, true);
        QPainterPath waves;
        waves.arcMoveTo(QRectF(9, 7, 10, 10), -50);
        waves.arcTo(QRectF(9, 7, 10, 10), -50, 100);
        waves.arcMoveTo(QRectF(8, 3.5, 15, 17), -55);
        waves.arcTo(QRectF(8, 3.5, 15, 17), -55, 110);
        ink.Stroke(waves, 1.8);
        return;
    }
    case Glyph::Tempo:
        ink.Polygon({{6, 21}, {9, 3}, {15, 3}, {18, 21}}, false, 1.7);
        ink.Line(6.8, 16.5, 17.2, 16.5, 1.3);
        ink.Line(12, 16.5, 19.5, 5.5, 1.9);
        ink.Dot(17.4, 8.6, 1.8);
        return;
    case Glyph::Pitch:
        ink.Dot(7.5, 17.5, 3.3);
        ink.Line(10.4, 17.3, 10.4, 3.5, 1.6);
        ink.Line(10.4, 3.5, 14, 6.5, 1.6);
        ink.Polygon({{15.5, 8}, {18.5, 3.5}, {21.5, 8}}, true);
        ink.Polygon({{15.5, 16}, {18.5, 20.5}, {21.5, 16}}, true);
        ink.Line(18.5, 7, 18.5, 17, 1.4);
        return;
    case Glyph::FadeIn:
        ink.Polygon({{2.5, 20.5}, {21.5, 4}, {21.5, 20.5}}, true);
        return;
    case Glyph::FadeOut:
        ink.Polygon({{2.5, 4}, {21.5, 20.5}, {2.5, 20.5}}, true);
        return;
    }
}

void PaintCenteredText(QPainter& p, const QRectF& r, const QString& text, const QFont& font, const QColor& c,
                       int flags = Qt::AlignCenter)
{
    p.setFont(font);
    p.setPen(c);
    p.drawText(r, flags, text);
}

struct Look {
    QColor fillTop, fillBottom, border, text, glyph;
    bool filled = true;
};

Look LookOf(const ButtonFace& face, ButtonState state)
{
    using namespace colour;
    const QColor tint = face.tint.isValid() ? face.tint : kText;
    switch (face.style) {
    case ButtonStyle::Primary:
        if (state == ButtonState::Down)
            return {QColor(0x1f, 0x6c, 0x9e), QColor(0x1a, 0x5d, 0x89), QColor(0x17, 0x4d, 0x72), kText, kText};
        if (state == ButtonState::Hover)
            return {QColor(0x4a, 0xb4, 0xf0), QColor(0x30, 0x92, 0xd0), QColor(0x7c, 0xcf, 0xff), Qt::white, Qt::white};
        return {QColor(0x37, 0xa0, 0xe0), QColor(0x24, 0x7f, 0xbd), QColor(0x4c, 0xb2, 0xee), Qt::white, Qt::white};
    case ButtonStyle::Navigation:
        if (state == ButtonState::Down)
            return {QColor(0x19, 0x27, 0x34), QColor(0x19, 0x27, 0x34), QColor(0x19, 0x27, 0x34), kText, kAccent};
        if (state == ButtonState::Hover)
            return {QColor(0x24, 0x29, 0x33), QColor(0x21, 0x26, 0x2f), QColor(0x2e, 0x34, 0x3f), Qt::white, kText};
        return {{}, {}, {}, QColor(0xc4, 0xca, 0xd4), kTextDim, false};
    case ButtonStyle::NavigationCurrent:
        return {QColor(0x1d, 0x33, 0x46), QColor(0x1a, 0x2d, 0x3e), QColor(0x25, 0x45, 0x5e), Qt::white, kAccent};
    case ButtonStyle::Icon:
        if (state == ButtonState::Down)
            return {QColor(0x19, 0x27, 0x34), QColor(0x19, 0x27, 0x34), QColor(0x23, 0x3a, 0x4d), kText, kAccent};
        if (state == ButtonState::Hover)
            return {QColor(0x31, 0x38, 0x44), QColor(0x2a, 0x30, 0x3a), QColor(0x3f, 0x48, 0x56), Qt::white, Qt::white};
        return {{}, {}, {}, kText, kTextDim, false};
    case ButtonStyle::Display:
        if (state == ButtonState::Down)
            return {QColor(0x08, 0x0a, 0x0d), QColor(0x08, 0x0a, 0x0d), kAccentDeep, kText, kAccent};
        if (state == ButtonState::Hover)
            return {QColor(0x0d, 0x10, 0x14), QColor(0x0b, 0x0d, 0x11), QColor(0x3d, 0x6f, 0x93), kText, kAccent};
        return {QColor(0x0c, 0x0e, 0x12), QColor(0x0a, 0x0c, 0x0f), QColor(0x2c, 0x32, 0x3c), kText, kAccent};
    case ButtonStyle::Plain:
    case ButtonStyle::Tile:
    case ButtonStyle::BigTile:
    case ButtonStyle::Stacked:
        if (state == ButtonState::Down)
            return {QColor(0x17, 0x1a, 0x20), QColor(0x1b, 0x1f, 0x26), QColor(0x2c, 0x33, 0x3e), kTextDim.lighter(130), tint.darker(115)};
        if (state == ButtonState::Hover)
            return {QColor(0x33, 0x3a, 0x47), QColor(0x2a, 0x30, 0x3b), QColor(0x4f, 0x6b, 0x86), Qt::white, tint.lighter(110)};
        return {QColor(0x2a, 0x30, 0x3a), QColor(0x22, 0x27, 0x2f), QColor(0x39, 0x41, 0x4e), kText, tint};
    }
    return {};
}

void PaintButtonBody(QPainter& p, const QRectF& r, const Look& look, ButtonStyle style, ButtonState state)
{
    if (!look.filled)
        return;
    const qreal radius = (style == ButtonStyle::Tile || style == ButtonStyle::BigTile) ? 8 : 6;
    const QRectF body = r.adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(body, radius, radius);
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, look.fillTop);
    g.setColorAt(1, look.fillBottom);
    p.fillPath(path, g);
    p.setPen(QPen(look.border, 1));
    p.drawPath(path);
    if (state != ButtonState::Down && style != ButtonStyle::NavigationCurrent && style != ButtonStyle::Display) {
        // A faint light edge along the top makes the button read as raised.
        p.setPen(QPen(QColor(255, 255, 255, style == ButtonStyle::Primary ? 60 : 22), 1));
        p.drawLine(QPointF(body.left() + radius, body.top() + 1), QPointF(body.right() - radius, body.top() + 1));
    }
    if (style == ButtonStyle::NavigationCurrent) {
        QPainterPath bar;
        bar.addRoundedRect(QRectF(r.left() + 1, r.top() + 6, 3, r.height() - 12), 1.5, 1.5);
        p.fillPath(bar, colour::kAccent);
    }
}

} // namespace

QFont Font(double pixelSize, bool bold)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(int(std::lround(pixelSize)));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void FillVertical(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(r, g);
}

void PaintTopStrip(QPainter& p, int width)
{
    FillVertical(p, QRectF(0, 0, width, kTopStripHeight), colour::kStripTop, colour::kStripBottom);
    p.fillRect(QRect(0, kTopStripHeight - 1, width, 1), colour::kLine);
    p.fillRect(QRect(0, kTopStripHeight, width, 1), QColor(0, 0, 0, 90));
}

void PaintNavigation(QPainter& p, const QRect& r)
{
    FillVertical(p, r, colour::kNavigation, QColor(0x12, 0x14, 0x18));
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour::kLine);
}

void PaintMainChrome(QPainter& p, const QSize& size, bool withNavigation)
{
    const QRectF all(0, 0, size.width(), size.height());
    p.fillRect(all, colour::kOutline);
    QPainterPath body;
    body.addRoundedRect(all, kMainCornerRadius, kMainCornerRadius);
    p.save();
    p.setClipPath(body);
    FillVertical(p, all, colour::kWindowTop, colour::kWindowBottom);
    // A soft blue light from the upper right keeps the big dark surface from looking flat.
    QRadialGradient glow(QPointF(size.width() * 0.78, 40), size.width() * 0.55);
    glow.setColorAt(0, WithAlpha(colour::kAccent, 22));
    glow.setColorAt(1, WithAlpha(colour::kAccent, 0));
    p.fillRect(all, glow);
    PaintTopStrip(p, size.width());
    if (withNavigation)
        PaintNavigation(p, QRect(0, kTopStripHeight + 1, kNavigationWidth, size.height() - kTopStripHeight - 1));
    p.restore();
    p.setPen(QPen(colour::kRim, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(all.adjusted(0.5, 0.5, -0.5, -0.5), kMainCornerRadius, kMainCornerRadius);
}

void PaintWell(QPainter& p, const QRect& widgetRect, int margin)
{
    const QRectF outer = QRectF(widgetRect).adjusted(-margin - 0.5, -margin - 0.5, margin + 0.5, margin + 0.5);
    QPainterPath path;
    path.addRoundedRect(outer, 4, 4);
    p.fillPath(path, colour::kWell);
    p.setPen(QPen(QColor(0, 0, 0, 160), 1));
    p.drawPath(path);
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    p.drawLine(QPointF(outer.left() + 4, outer.bottom() + 1), QPointF(outer.right() - 4, outer.bottom() + 1));
}

void PaintCard(QPainter& p, const QRect& r)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    p.fillPath(path, QColor(0x1c, 0x20, 0x27, 235));
    p.setPen(QPen(colour::kLine, 1));
    p.drawPath(path);
}

void PaintCaption(QPainter& p, const QPoint& at, const QString& text)
{
    QFont font = Font(10, true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(font);
    p.setPen(colour::kTextDim);
    p.drawText(QRect(at.x(), at.y(), 600, 14), Qt::AlignLeft | Qt::AlignVCenter, text);
}

void PaintPageTitle(QPainter& p, const QPoint& at, const QString& title, const QString& subtitle)
{
    PaintCenteredText(p, QRect(at.x(), at.y(), 700, 28), title, Font(21, true), colour::kText,
                      Qt::AlignLeft | Qt::AlignVCenter);
    PaintCenteredText(p, QRect(at.x(), at.y() + 28, 700, 18), subtitle, Font(12), colour::kTextDim,
                      Qt::AlignLeft | Qt::AlignVCenter);
}

void PaintGlyph(QPainter& p, const QRectF& box, Glyph glyph, const QColor& colour, bool outlined)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(box.topLeft());
    p.scale(box.width() / 24.0, box.height() / 24.0);
    if (outlined)
        DrawGlyphShape(Ink(p, colour::kOutline, 2.4), glyph);
    DrawGlyphShape(Ink(p, colour, 0), glyph);
    p.restore();
}

namespace {

// The font at the largest pixel size, up to its own, at which the text fits `width`.
QFont FittedFont(QFont font, const QString& text, qreal width)
{
    constexpr int smallestPixels = 7;
    while (font.pixelSize() > smallestPixels && QFontMetricsF(font).horizontalAdvance(text) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

qreal PlainGlyphSide(const ButtonFace& face, const QRectF& inner)
{
    return face.glyph == Glyph::None ? 0 : std::min<qreal>(16, inner.height() - 10);
}

qreal PlainGap(const ButtonFace& face, const QRectF& inner)
{
    return (PlainGlyphSide(face, inner) > 0 && !face.caption.isEmpty()) ? 7 : 0;
}

} // namespace

std::vector<ButtonText> ButtonTexts(const QRect& r, const ButtonFace& face, ButtonState state)
{
    const Look look = LookOf(face, state);
    const QPointF shift = state == ButtonState::Down ? QPointF(1, 1) : QPointF(0, 0);
    const QRectF inner = QRectF(r).translated(shift);
    const bool bold = face.style != ButtonStyle::Navigation || state != ButtonState::Normal;
    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    switch (face.style) {
    case ButtonStyle::Navigation:
    case ButtonStyle::NavigationCurrent: {
        // Fitted in bold, the widest of its states, so that the caption keeps one size in all three.
        const QRectF box = inner.adjusted(40, 0, -4, 0);
        QFont font = FittedFont(Font(12.5, true), face.caption, box.width());
        font.setBold(bold);
        return {{face.caption, box, font, look.text, left}};
    }
    case ButtonStyle::Icon:
        return {};
    case ButtonStyle::Tile: {
        const qreal textLeft = inner.left() + 50;
        const QRectF text(textLeft, inner.top(), inner.right() - textLeft - 6, inner.height());
        const QFont captionFont = FittedFont(Font(12.5, true), face.caption, text.width());
        if (face.subtitle.isEmpty())
            return {{face.caption, text, captionFont, look.text, left}};
        return {{face.caption, text.adjusted(0, 6, 0, -inner.height() / 2), captionFont, look.text,
                 Qt::AlignLeft | Qt::AlignBottom},
                {face.subtitle, text.adjusted(0, inner.height() / 2 + 1, 0, 0),
                 FittedFont(Font(10.5), face.subtitle, text.width()), colour::kTextDim,
                 Qt::AlignLeft | Qt::AlignTop}};
    }
    case ButtonStyle::BigTile: {
        const QRectF caption(inner.left(), inner.top() + 66, inner.width(), 22);
        const QRectF subtitle(inner.left() + 6, inner.top() + 90, inner.width() - 12, 18);
        return {{face.caption, caption, FittedFont(Font(15, true), face.caption, caption.width()), look.text,
                 Qt::AlignCenter},
                {face.subtitle, subtitle, FittedFont(Font(11), face.subtitle, subtitle.width()),
                 colour::kTextDim, Qt::AlignCenter}};
    }
    case ButtonStyle::Stacked: {
        const QRectF box(inner.left(), inner.bottom() - 20, inner.width(), 16);
        return {{face.caption, box, FittedFont(Font(10, true), face.caption, box.width()), look.text,
                 Qt::AlignCenter}};
    }
    case ButtonStyle::Display: {
        QFont font = Font(9, true);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
        const QColor label = state == ButtonState::Normal ? colour::kTextFaint : colour::kTextDim;
        return {{"POSITION", QRectF(inner.left() + 8, inner.top() + 4, 90, 14), font, label, left},
                {"TOTAL", QRectF(inner.right() - 98, inner.top() + 4, 90, 14), font, label,
                 Qt::AlignRight | Qt::AlignVCenter}};
    }
    case ButtonStyle::Plain:
    case ButtonStyle::Primary: {
        // The glyph and the caption stand together in the middle, 4 pixels clear of each side.
        const qreal glyphSide = PlainGlyphSide(face, inner);
        const qreal gap = PlainGap(face, inner);
        const QFont font = FittedFont(Font(12, true), face.caption, inner.width() - 8 - glyphSide - gap);
        const qreal textWidth = QFontMetricsF(font).horizontalAdvance(face.caption);
        const qreal textLeft = inner.center().x() - (glyphSide + gap + textWidth) / 2 + glyphSide + gap;
        return {{face.caption, QRectF(textLeft, inner.top(), textWidth + 2, inner.height()), font, look.text, left}};
    }
    }
    return {};
}

void PaintButton(QPainter& p, const QRect& r, const ButtonFace& face, ButtonState state)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const Look look = LookOf(face, state);
    PaintButtonBody(p, r, look, face.style, state);
    const QPointF shift = state == ButtonState::Down ? QPointF(1, 1) : QPointF(0, 0);
    const QRectF inner = QRectF(r).translated(shift);
    const std::vector<ButtonText> texts = ButtonTexts(r, face, state);
    switch (face.style) {
    case ButtonStyle::Navigation:
    case ButtonStyle::NavigationCurrent:
        PaintGlyph(p, QRectF(inner.left() + 12, inner.center().y() - 9, 18, 18), face.glyph, look.glyph);
        break;
    case ButtonStyle::Icon: {
        if (face.glyph == Glyph::Logo) {
            PaintLogo(p, inner.toRect().adjusted(4, 0, 0, 0), state != ButtonState::Normal);
            break;
        }
        const qreal side = std::min(inner.width(), inner.height()) - 12;
        PaintGlyph(p, QRectF(inner.center().x() - side / 2, inner.center().y() - side / 2, side, side), face.glyph,
                   look.glyph);
        break;
    }
    case ButtonStyle::Tile: {
        const qreal side = 26;
        PaintGlyph(p, QRectF(inner.left() + 12, inner.center().y() - side / 2, side, side), face.glyph, look.glyph);
        break;
    }
    case ButtonStyle::BigTile: {
        const qreal side = 38;
        PaintGlyph(p, QRectF(inner.center().x() - side / 2, inner.top() + 20, side, side), face.glyph, look.glyph);
        break;
    }
    case ButtonStyle::Stacked:
        PaintGlyph(p, QRectF(inner.center().x() - 9, inner.top() + 7, 18, 18), face.glyph, look.glyph);
        break;
    case ButtonStyle::Display:
        p.fillRect(QRectF(inner.center().x() - 0.5, inner.top() + 10, 1, inner.height() - 20), colour::kLine);
        break;
    case ButtonStyle::Plain:
    case ButtonStyle::Primary: {
        const qreal glyphSide = PlainGlyphSide(face, inner);
        const qreal glyphLeft = texts.front().box.left() - PlainGap(face, inner) - glyphSide;
        if (glyphSide > 0)
            PaintGlyph(p, QRectF(glyphLeft, inner.center().y() - glyphSide / 2, glyphSide, glyphSide), face.glyph,
                       look.glyph);
        break;
    }
    }
    for (const ButtonText& text : texts)
        PaintCenteredText(p, text.box, text.text, text.font, text.colour, text.flags);
    p.restore();
}

void PaintLogo(QPainter& p, const QRect& r, bool hover)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QColor wave = hover ? colour::kAccent.lighter(120) : colour::kAccent;
    PaintGlyph(p, QRectF(r.left() + 4, r.center().y() - 11, 22, 22), Glyph::Waveform, wave);
    PaintCenteredText(p, QRectF(r.left() + 32, r.top(), r.width() - 32, r.height()), "Sonorel", Font(17, true),
                      hover ? Qt::white : colour::kText, Qt::AlignLeft | Qt::AlignVCenter);
    p.restore();
}

} // namespace skin
