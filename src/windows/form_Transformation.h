#pragma once

#include <QDialog>

// The editor of one row's volume, tempo, pitch and fades.
// Until its contents are built it is an empty window with its caption, created hidden at start.
class TFormTransformation : public QDialog {
    Q_OBJECT
public:
    explicit TFormTransformation(QWidget* parent = nullptr);
};

extern TFormTransformation* FormTransformation;
