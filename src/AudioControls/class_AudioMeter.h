#pragma once

#include <QImage>
#include <QWidget>

#include "platform/ui/Colors.h"

class QLabel;

// A segmented level meter: a linear amplitude (Position, 1 = full scale) in decibels below full
// scale lights a proportional part of a bar of thin segments in three colour zones (normal,
// middle, top); unlit segments show dark versions of the colours.
class TAudioMeter : public QWidget {
    Q_OBJECT
public:
    explicit TAudioMeter(QWidget* owner = nullptr);

    float Position() const { return position_; }
    void SetPosition(float value);
    // 20 log10(Position), or -AmplitudeDB when Position is 0; assigning it changes nothing.
    float GetPositionDB() const;
    void SetPositionDB(float) {}

    TColor ColorTop() const { return colorTop_; }
    TColor ColorMiddle() const { return colorMiddle_; }
    TColor ColorNormal() const { return colorNormal_; }
    TColor ColorBackTop() const { return colorBackTop_; }
    TColor ColorBackMiddle() const { return colorBackMiddle_; }
    TColor ColorBackNormal() const { return colorBackNormal_; }
    TColor ColorBackground() const { return colorBackground_; }
    void SetColorTop(TColor color) { Store(colorTop_, color); }
    void SetColorMiddle(TColor color) { Store(colorMiddle_, color); }
    void SetColorNormal(TColor color) { Store(colorNormal_, color); }
    void SetColorBackTop(TColor color) { Store(colorBackTop_, color); }
    void SetColorBackMiddle(TColor color) { Store(colorBackMiddle_, color); }
    void SetColorBackNormal(TColor color) { Store(colorBackNormal_, color); }
    void SetColorBackground(TColor color) { Store(colorBackground_, color); }

    float AmplitudeDB = 48.0f; // the dB range of the whole bar; takes effect at the next redraw

    bool Horizontal() const { return horizontal_; }
    void SetHorizontal(bool horizontal) { Store(horizontal_, horizontal); }
    float ThresholdMax() const { return thresholdMax_; }       // where the top zone begins (from the quiet end)
    float ThresholdNormal() const { return thresholdNormal_; } // where the middle zone begins
    void SetThresholdMax(float value) { Store(thresholdMax_, value); }
    void SetThresholdNormal(float value) { Store(thresholdNormal_, value); }

    void Redraw();
    const QImage& Bitmap() const { return bitmap_; } // the drawn meter

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    template <typename T> void Store(T& field, T value)
    {
        field = value;
        Redraw();
    }
    int LitLimit(int length) const;

    float position_ = 0;
    TColor colorTop_ = 255, colorMiddle_ = 65535, colorNormal_ = 65280;
    TColor colorBackTop_ = 127, colorBackMiddle_ = 32639, colorBackNormal_ = 32512;
    TColor colorBackground_ = 0;
    bool horizontal_ = false;
    float thresholdMax_ = 0.91f, thresholdNormal_ = 0.73f;
    QLabel* picture_ = nullptr;
    QImage bitmap_;
};
