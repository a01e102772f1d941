#include "windows/class_ProjectFileDialog.h"

#include "platform/ui/MessageBox.h"

#include <optional>

bool cProjectFileDialog::Execute(QWidget* parent)
{
    const std::optional<std::string> chosen =
        ui::ChooseFile(parent, {DialogMode == Mode::Save, Filter, DefaultExt, FileName, ConfirmOverwrite, InitialDir});
    if (!chosen)
        return false;
    FileName = *chosen;
    return true;
}
