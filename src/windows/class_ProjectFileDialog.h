#pragma once

#include "model/class_Application.h"

class QWidget;

// A file dialog run from its settings: the window itself is made each time it runs.
struct cProjectFileDialog : cFileDialogSettings {
    explicit cProjectFileDialog(Mode mode = Mode::Open) : cFileDialogSettings(mode) {}

    // Runs the dialog modally; true when a file was chosen (then in FileName).
    bool Execute(QWidget* parent = nullptr);
};
