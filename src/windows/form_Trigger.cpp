#include "windows/form_Trigger.h"

#include "model/class_Application.h"
#include "platform/ui/SkinImage.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>

TFormTrigger* FormTrigger = nullptr;

namespace {

QLabel* NewIcon(QWidget* parent, const char* skinName)
{
    auto* icon = new QLabel(parent);
    icon->setGeometry(24, 16, 32, 32);
    icon->setPixmap(ui::SkinPixmap(skinName));
    icon->hide();
    return icon;
}

} // namespace

TFormTrigger::TFormTrigger(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("Mix Trigger"));
    setFixedSize(384, 80);
    background_ = ui::SkinPixmap("trigger_back");
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    IconMouse = NewIcon(this, "trigger_mouse");
    IconAnyKey = NewIcon(this, "trigger_key");
    Label = new QLabel(this);
    Label->setGeometry(72, 25, 300, 16);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(12);
    Label->setFont(font);
    Label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));

    // Drawn last, over everything: every press in the window lands here.
    Image1 = new QWidget(this);
    Image1->setGeometry(rect());
    Image1->installEventFilter(this);

    PopupMenu1 = new QMenu(this);
    Spacebar1 = new QAction(QStringLiteral("Space bar"), this);
    Spacebar1->setShortcut(QKeySequence(Qt::Key_Space));
    Spacebar1->setShortcutContext(Qt::WindowShortcut);
    PopupMenu1->addAction(Spacebar1);
    addAction(Spacebar1); // shortcuts of a menu that is never shown don't fire; the window's do
    connect(Spacebar1, &QAction::triggered, this, [this] { Spacebar1Click(); });
}

void TFormTrigger::Image1MouseDown()
{
    if (snl.WavProducer.WaitState == 2)
        snl.WavProducer.MouseClicked = 1;
}

void TFormTrigger::Spacebar1Click()
{
    if (snl.WavProducer.WaitState == 1)
        snl.WavProducer.KeyPressed = 1;
}

void TFormTrigger::FormDeactivate()
{
    if (snl.WavProducer.WaitState == 2)
        snl.WavProducer.MouseClicked = 1;
}

void TFormTrigger::paintEvent(QPaintEvent*)
{
    QPainter(this).drawPixmap(0, 0, background_);
}

void TFormTrigger::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (QWidget* active = QApplication::activeWindow(); active && active != this)
        previousActive_ = active;
    activateWindow(); // newly shown, the window takes the user's click or key
}

// A hidden window stays the application's focus window unless another one takes over, and then
// showing it again would not make it active: hand the activation back to where it came from.
void TFormTrigger::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (previousActive_ && previousActive_->isVisible())
        previousActive_->activateWindow();
}

void TFormTrigger::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        FormDeactivate();
}

bool TFormTrigger::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Image1 &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick))
        Image1MouseDown();
    return QWidget::eventFilter(watched, event);
}
