#pragma once

#include <QDialog>

// The whole mix laid out on a time line.
// Until its contents are built it is an empty window with its caption, created hidden at start.
class TFormMixView : public QDialog {
    Q_OBJECT
public:
    explicit TFormMixView(QWidget* parent = nullptr);
};

extern TFormMixView* FormMixView;
