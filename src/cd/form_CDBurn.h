#pragma once

#include <QDialog>

// The CD-burn wizard: writes the whole mix to an audio CD.
// Until its contents are built it is an empty window with its caption, created hidden at start.
class TFormCDBurn : public QDialog {
    Q_OBJECT
public:
    explicit TFormCDBurn(QWidget* parent = nullptr);
};

extern TFormCDBurn* FormCDBurn;
