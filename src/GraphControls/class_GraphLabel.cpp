#include "GraphControls/class_GraphLabel.h"

#include <QFontMetrics>
#include <QPainter>

TGraphLabel::TGraphLabel(QWidget* parent) : QWidget(parent)
{
    Redraw();
}

void TGraphLabel::SetCaption(const std::string& caption) { caption_ = caption; Redraw(); }
void TGraphLabel::SetSpacing(int percent) { spacing_ = percent; Redraw(); }
void TGraphLabel::SetBackColor(TColor color) { backColor_ = color; Redraw(); }
void TGraphLabel::SetFont(const QFont& font) { font_ = font; Redraw(); }
void TGraphLabel::SetFontColor(TColor color) { fontColor_ = color; Redraw(); }
void TGraphLabel::SetAntiAliasing(bool on) { antiAliasing_ = on; Redraw(); }

void TGraphLabel::DrawSpacedText(QPainter& painter, int x0, int y, const QString& text, int spacing)
{
    const QFontMetrics metrics(painter.font());
    const double gap = metrics.horizontalAdvance(QStringLiteral("_")) * spacing * 0.01;
    double x = x0;
    // One character is one code point, so letters outside the basic plane stay whole.
    for (const char32_t codePoint : text.toUcs4()) {
        const QString character = QString::fromUcs4(&codePoint, 1);
        painter.drawText(QPoint(static_cast<int>(x), y + metrics.ascent()), character);
        x += metrics.horizontalAdvance(character) + gap;
    }
}

QImage TGraphLabel::Render(const QSize& size, const QFont& font) const
{
    QImage picture(size, QImage::Format_RGB888);
    picture.fill(ui::ToQColor(backColor_));
    QPainter painter(&picture);
    QFont unsmoothed = font;
    unsmoothed.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(unsmoothed);
    painter.setPen(ui::ToQColor(fontColor_));
    DrawSpacedText(painter, 0, 0, QString::fromStdString(caption_), spacing_);
    return picture;
}

void TGraphLabel::AverageDown(const QImage& large, QImage& small)
{
    const QImage source = large.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < (small.width() & ~1); ++x) {
            const QRgb a = source.pixel(2 * x, 2 * y), b = source.pixel(2 * x + 1, 2 * y);
            const QRgb c = source.pixel(2 * x, 2 * y + 1), d = source.pixel(2 * x + 1, 2 * y + 1);
            small.setPixel(x, y, qRgb((qRed(a) + qRed(b) + qRed(c) + qRed(d)) / 4,
                                      (qGreen(a) + qGreen(b) + qGreen(c) + qGreen(d)) / 4,
                                      (qBlue(a) + qBlue(b) + qBlue(c) + qBlue(d)) / 4));
        }
}

void TGraphLabel::Redraw()
{
    const QSize size(std::max(width(), 0), std::max(height(), 0));
    if (!antiAliasing_) {
        picture_ = Render(size, font_);
    } else {
        QFont doubled = font_;
        if (doubled.pixelSize() > 0)
            doubled.setPixelSize(doubled.pixelSize() * 2);
        else
            doubled.setPointSizeF(doubled.pointSizeF() * 2);
        // The small picture starts as background: with an odd width its last column has no block.
        picture_ = QImage(size, QImage::Format_RGB888);
        picture_.fill(ui::ToQColor(backColor_));
        AverageDown(Render(size * 2, doubled), picture_);
    }
    update();
}

void TGraphLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}

void TGraphLabel::resizeEvent(QResizeEvent*)
{
    Redraw();
}
