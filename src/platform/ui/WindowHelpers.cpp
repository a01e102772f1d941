#include "platform/ui/WindowHelpers.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPolygon>
#include <QWidget>
#include <QWindow>

namespace ui {
namespace {

constexpr const char* tagProperty = "tag";

// Follows the mouse with the window from the moment of the press until the left button is
// released; watches the whole application because the press grabbed the mouse for the picture.
class ManualWindowMove : public QObject {
public:
    explicit ManualWindowMove(QWidget* window)
        : QObject(window), window_(window), cursorStart_(QCursor::pos()), windowStart_(window->pos())
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->buttons() & Qt::LeftButton)
                window_->move(windowStart_ + mouse->globalPosition().toPoint() - cursorStart_);
            else
                Finish();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            Finish();
        }
        return false;
    }

private:
    void Finish()
    {
        qApp->removeEventFilter(this);
        deleteLater();
    }

    QWidget* window_;
    QPoint cursorStart_;
    QPoint windowStart_;
};

} // namespace

QRegion RoundWindowRegion(int w, int h, int r)
{
    const QPolygon octagon({QPoint(r, 0), QPoint(w - r, 0), QPoint(w, r), QPoint(w, h - r), QPoint(w - r, h),
                            QPoint(r, h), QPoint(0, h - r), QPoint(0, r)});
    const int d = 2 * r;
    return QRegion(octagon, Qt::WindingFill)
        .united(QRegion(0, 0, d, d, QRegion::Ellipse))
        .united(QRegion(w - d + 1, 0, d, d, QRegion::Ellipse))
        .united(QRegion(w - d + 1, h - d + 1, d, d, QRegion::Ellipse))
        .united(QRegion(0, h - d + 1, d, d, QRegion::Ellipse));
}

void SetRoundWindowRegion(QWidget* form, int r)
{
    QWidget* window = form->window();
    window->setMask(RoundWindowRegion(window->width(), window->height(), r));
}

void DragWindowByControl(QWidget* form)
{
    QWidget* window = form->window();
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (window->windowHandle() && window->windowHandle()->startSystemMove())
        return;
    new ManualWindowMove(window);
}

void SetTag(QWidget* control, int tag)
{
    control->setProperty(tagProperty, tag);
}

int Tag(const QWidget* control)
{
    return control->property(tagProperty).toInt();
}

void EnableControlsByTag(QWidget* container, bool enabled, int tag)
{
    for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (Tag(child) == tag)
            child->setEnabled(enabled);
}

} // namespace ui
