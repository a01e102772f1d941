#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;

// The small window shown while the live mix waits at a row with a trigger. The main window's poll
// shows it, sets its icon and prompt, and hides it; this window only turns the user's click or
// space bar into the producer's release flags, which the sound thread reads at its next block.
class TFormTrigger : public QWidget {
    Q_OBJECT
public:
    explicit TFormTrigger(QWidget* parent = nullptr);

    void Image1MouseDown();  // any mouse button pressed in the window
    void Spacebar1Click();   // Space while the window is active
    void FormDeactivate();   // the window lost the activation

    QLabel* Label;      // the prompt, set by the main window
    QLabel* IconMouse;  // shown for a mouse wait
    QLabel* IconAnyKey; // shown for a key wait
    QWidget* Image1;    // covers the window, takes every mouse press
    QMenu* PopupMenu1;
    QAction* Spacebar1; // "Space bar", shortcut Space

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPixmap background_;
    QPointer<QWidget> previousActive_; // the window active before this one was shown
};

extern TFormTrigger* FormTrigger;
