#pragma once

#include <QDialog>

// Imports bins from another project.
// Until its contents are built it is an empty window with its caption, created hidden at start.
class TFormLoadRepository : public QDialog {
    Q_OBJECT
public:
    explicit TFormLoadRepository(QWidget* parent = nullptr);
};

extern TFormLoadRepository* FormLoadRepository;
