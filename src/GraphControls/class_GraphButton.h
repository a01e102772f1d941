#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

class QMouseEvent;

// A skinned push button made of a normal and a pressed picture, of which one is shown; with
// `Sticky` it latches like a toggle. Without a pressed picture the normal one sinks by a pixel
// while down. The pictures are one pixel larger than the button and sit at (-1, -1), so mouse
// positions handed to the events are those inside the picture.
class TGraphButton : public QWidget {
    Q_OBJECT
public:
    explicit TGraphButton(QWidget* parent = nullptr);

    using MouseEvent = std::function<void(TGraphButton* sender, Qt::MouseButton button,
                                          Qt::KeyboardModifiers shift, int x, int y)>;

    // Setting a picture copies it.
    void SetImage(const QImage& picture);
    void SetImagePressed(const QImage& picture);
    const QImage& Image() const { return image_; }
    const QImage& ImagePressed() const { return imagePressed_; }

    void SetDown(bool down);
    bool Down() const { return down_; }
    bool Sticky = false;

    std::function<void(TGraphButton* sender)> OnClick;
    MouseEvent OnMouseDown;
    MouseEvent OnMouseUp;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool ShowsPressedPicture() const { return down_ && imagePressed_.width() != 0; }
    QPoint PictureOrigin() const;
    void FireMouse(const MouseEvent& handler, QMouseEvent* event);

    QImage image_, imagePressed_;
    bool down_ = false;
    bool pressing_ = false;        // a left press began and its click is not reported yet
    bool pressOnNormal_ = false;   // the press landed on the normal picture, which takes the release
};
