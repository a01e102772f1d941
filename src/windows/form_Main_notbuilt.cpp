// The one list of the main window's commands whose work is not built yet.
#include "windows/form_Main.h"

#include "GraphControls/class_SkinPicture.h"

#include <QAction>

// Whoever builds one of these commands removes its line here and the marks of its name in the help
// pages (<span class="notbuilt" title="name">; a test holds the pages to this list). The command is
// then enabled and its help shown as written. Entries without a control name commands that are not
// in the window yet but that the help pages describe.
std::vector<NotBuiltCommand> NotBuiltCommands(const TFormMain& form)
{
    return {
        // Adding sources.
        {"selectfromdisk", form.selectfromdisk},
        {"OpenFromDisk1", form.OpenFromDisk1},
        {"cdtrack", form.cdtrack},
        {"record", form.record},
        // The zone editor and the bins.
        {"ZoomIn", form.ZoomIn},
        {"ZoomOut", form.ZoomOut},
        {"ZoomIn1", form.ZoomIn1},
        {"ZoomOut1", form.ZoomOut1},
        {"ZoneEditPlay", form.ZoneEditPlay},
        {"Image13", form.Image13},
        {"LoopToZoneEnd1", form.LoopToZoneEnd1},
        {"Image38", form.Image38},
        {"Image24", form.Image24},
        {"Image23", form.Image23},
        {"Image22", form.Image22},
        {"AddBin1", form.AddBin1},
        {"loadrepos", form.loadrepos},
        {"BinDrag", nullptr},  // dragging zones from the bins into the playlist
        {"EditZone", nullptr}, // the playlist menu's zone, editor and remove items
        // The editors.
        {"Transformation", form.Transformation},
        {"Transition", form.Transition},
        {"MixViewMenu", form.MixViewMenu},
        // Burning the mix to CD.
        {"cdburn", form.cdburn},
    };
}

bool IsNotBuilt(const TFormMain& form, const QObject* control)
{
    for (const NotBuiltCommand& command : NotBuiltCommands(form))
        if (command.control && command.control == control)
            return true;
    return false;
}

QString NotBuiltText(const QString& topic)
{
    // A topic that names a help page marks what is missing on the page itself.
    if (topic.isEmpty() || topic.endsWith(".html"))
        return "Not built yet.";
    return "Not built yet. " + topic;
}

void TFormMain::DisableNotBuiltCommands()
{
    for (const NotBuiltCommand& command : NotBuiltCommands(*this)) {
        if (auto* action = qobject_cast<QAction*>(command.control)) {
            action->setEnabled(false);
            action->setToolTip(NotBuiltText(action->text() + "."));
        } else if (auto* control = qobject_cast<QWidget*>(command.control)) {
            control->setEnabled(false);
            control->setToolTip(NotBuiltText(HelpTopics.value(std::max(HelpContext(control) - 1, 0))));
        }
    }
}
