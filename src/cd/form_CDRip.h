#pragma once

#include <QDialog>

// The CD rip wizard: rips audio CD tracks into new source files.
// Until its contents are built it is an empty window with its caption, created hidden at start.
class TFormCDRip : public QDialog {
    Q_OBJECT
public:
    explicit TFormCDRip(QWidget* parent = nullptr);
};

extern TFormCDRip* FormCDRip;
