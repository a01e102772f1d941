#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>

// A skinned scroll bar drawn from four stretched pictures: an arrow at each end, the track and
// the slider. Holding an arrow repeats its step on the slide timer, a click on the track centres
// the slider there, and the slider can be dragged. Until `Loaded` runs, positions are not clamped,
// so the properties can be set in any order while the control is being set up.
class TGraphScroll : public QWidget {
    Q_OBJECT
public:
    explicit TGraphScroll(QWidget* parent = nullptr);

    // "Top" is the left arrow of a horizontal bar, "bottom" the right one. Setting copies.
    void SetImageTop(const QImage& picture);
    void SetImageBottom(const QImage& picture);
    void SetImageBackground(const QImage& picture);
    void SetImageSlider(const QImage& picture);

    void SetPosition(int position);
    int Position() const { return position_; }
    void SetKind(Qt::Orientation kind);
    Qt::Orientation Kind() const { return kind_; }
    void SetSlideTimeInterval(int milliseconds) { slideTimer_.setInterval(milliseconds); }
    int SlideTimeInterval() const { return slideTimer_.interval(); }
    // Ends the set-up: from now on positions are clamped to [Min, Max].
    void Loaded();

    // Stored only; the slider follows at the next SetPosition.
    int Min = 0;
    int Max = 100;
    int PageSize = 1;
    int SmallChange = 1;
    int LargeChange = 1;

    std::function<void(TGraphScroll* sender)> OnChange;

    // Where each picture lies now (for painting and tests).
    QRect TopArrowRect() const;
    QRect BottomArrowRect() const;
    QRect TrackRect() const;
    QRect SliderRect() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Part { None, TopArrow, BottomArrow, Track, Slider };

    int Along(const QPoint& p) const { return kind_ == Qt::Horizontal ? p.x() : p.y(); }
    int Along(const QSize& s) const { return kind_ == Qt::Horizontal ? s.width() : s.height(); }
    QRect AlongRect(int start, int length) const;
    int Amplitude() const;
    Part PartAt(const QPoint& p) const;
    void ChangeToMax();
    void ChangeToMin();
    void SlideTick();
    void TrackClick(int alongInTrack);
    void DragTo(int pointerAlong);
    void Changed();

    QImage top_, bottom_, background_, slider_;
    QTimer slideTimer_;
    Qt::Orientation kind_ = Qt::Horizontal;
    int position_ = 0;
    int sliderStart_ = 0; // along-coordinate of the slider
    bool loaded_ = false;
    bool minHeld_ = false, maxHeld_ = false;
    bool dragging_ = false, sliderPressed_ = false;
    int grab_ = 0;
    bool changeDetached_ = false;
    Part pressed_ = Part::None;
};
