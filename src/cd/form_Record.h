#pragma once

#include <QDialog>

// The record wizard: records from the sound input into a new source file.
// Until its contents are built it is an empty window with its caption, created hidden at start.
class TFormRecord : public QDialog {
    Q_OBJECT
public:
    explicit TFormRecord(QWidget* parent = nullptr);
};

extern TFormRecord* FormRecord;
