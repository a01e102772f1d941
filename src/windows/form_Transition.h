#pragma once

#include <QDialog>

// The editor of the overlap between a row and the next one.
// Until its contents are built it is an empty window with its caption, created hidden at start.
class TFormTransition : public QDialog {
    Q_OBJECT
public:
    explicit TFormTransition(QWidget* parent = nullptr);
};

extern TFormTransition* FormTransition;
