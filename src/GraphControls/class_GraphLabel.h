#pragma once

#include "platform/ui/Colors.h"

#include <QFont>
#include <QImage>
#include <QWidget>

#include <string>

// A label that renders its caption into a picture: letters spaced by a percentage of the width of
// "_", on a solid background, optionally smoothed by drawing at twice the size and averaging each
// 2 x 2 block down. Qt's own text smoothing is off in both pictures so the result is the averaging's.
class TGraphLabel : public QWidget {
    Q_OBJECT
public:
    explicit TGraphLabel(QWidget* parent = nullptr);

    void SetCaption(const std::string& caption);
    void SetSpacing(int percent);
    void SetBackColor(TColor color);
    void SetFont(const QFont& font);
    void SetFontColor(TColor color);
    void SetAntiAliasing(bool on);

    const std::string& Caption() const { return caption_; }
    // The rendered picture the label shows.
    const QImage& Picture() const { return picture_; }

    // Writes `text` at (x0, y) character by character, each followed by `spacing` percent of the
    // width of "_" (the painter's font).
    static void DrawSpacedText(QPainter& painter, int x0, int y, const QString& text, int spacing);
    // Each pixel of the result is the truncated mean of a 2 x 2 block of `large` per colour channel;
    // with an odd width the last column is left as it is.
    static void AverageDown(const QImage& large, QImage& small);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void Redraw();
    QImage Render(const QSize& size, const QFont& font) const;

    std::string caption_;
    int spacing_ = 0;
    TColor backColor_ = 0;
    QFont font_;
    TColor fontColor_ = 0;
    bool antiAliasing_ = true;
    QImage picture_;
};
