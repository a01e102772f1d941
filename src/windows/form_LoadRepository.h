#pragma once

#include "model/class_Application.h"

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;
class QTableWidget;

// Imports bins from another project: reads it into a second project object of its own, lists
// its bins each marked "Import", and on OK appends copies of the marked bins to the open project.
class TFormLoadRepository : public QDialog {
    Q_OBJECT
public:
    explicit TFormLoadRepository(QWidget* parent = nullptr);

    // Loads the project file and lets the user choose its bins; returns when the window closes.
    // A missing file shows the project file's message and ends here.
    void LoadProject(const std::string& path);
    void GridClick();
    void OKBtnClick();

    cSonorelApp Repository; // the other project; its OnChange stays unassigned

    QLabel* Label1;
    QTableWidget* Grid;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};

// Makes `destination` a deep copy of `source`: title, file and zones (the selected zone is not copied).
void CopyBin(cBin& destination, const cBin& source);

extern TFormLoadRepository* FormLoadRepository;
