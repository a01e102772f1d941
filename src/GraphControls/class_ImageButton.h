#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

// The simplest skinned button: a picture that sinks by one pixel while a mouse button is held on
// it and reports a click on release, whichever button it was.
class ImageButton : public QWidget {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);

    std::function<void(ImageButton* sender)> OnButtonClick;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    QImage picture_;
};
