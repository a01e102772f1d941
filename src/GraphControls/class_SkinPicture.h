#pragma once

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <string>

class QMouseEvent;

// A picture of a skinned window that acts as a button: it shows the skin picture `name`, and,
// when the skin has them, `name_hover` under the mouse and `name_down` while pressed or latched.
// The widget takes the size of its picture. Disabled, it shows its normal picture dimmed and
// takes no clicks.
class TSkinPicture : public QWidget {
    Q_OBJECT
public:
    TSkinPicture(QWidget* parent, const std::string& skinName, int left, int top);

    void SetPicture(const std::string& skinName);
    // Keeps the pressed picture shown (a toggle that is on).
    void SetLatched(bool latched);
    bool Latched() const { return latched_; }
    // The left button went down on the picture and has not come up yet.
    bool Pressed() const { return pressed_; }

    std::function<void()> OnClick;    // left button pressed and released over the picture
    std::function<void()> OnDblClick; // left double click (the first click also clicks)
    std::function<void(QMouseEvent*)> OnMouseDown;
    std::function<void(QMouseEvent*)> OnMouseMove;

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void hideEvent(QHideEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    const QPixmap& CurrentPixmap() const;

    QPixmap normal_, hover_, down_;
    bool hovered_ = false;
    bool pressed_ = false;
    bool latched_ = false;
    bool swallowRelease_ = false; // the release that ends a double click is no click
};

// A picture button of a skinned window: named for the tests, with the pointing hand over it.
TSkinPicture* MakeSkinButton(QWidget* parent, const std::string& skinName, const char* name, int left, int top);
