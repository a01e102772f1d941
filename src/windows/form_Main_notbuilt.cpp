// The one list of the main window's commands whose work is not built yet.
#include "windows/form_Main.h"

#include "GraphControls/class_SkinPicture.h"
#include "platform/ui/Colors.h"

#include <QAction>
#include <QPainter>
#include <QRegularExpression>

namespace {

// Laid over a text of a page's artwork that describes a command not built yet.
class TNotBuiltShade : public QWidget {
public:
    TNotBuiltShade(QWidget* page, const QRect& place) : QWidget(page)
    {
        setObjectName("NotBuiltShade");
        setGeometry(place);
        setToolTip(NotBuiltText(QString()));
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), ui::DisabledShade()); }
};

} // namespace

// Whoever builds one of these commands removes its lines here and the marks of its name in the
// help ("[name]" in help.txt, <span class="notbuilt" title="name"> in the pages; a test holds the
// help to this list). The command is then enabled, the page text about it shown plainly and its
// help shown as written. Entries without a control name commands that are not in the window yet
// but that a page or the help describes.
std::vector<NotBuiltCommand> NotBuiltCommands(const TFormMain& form)
{
    return {
        // "Add Bin" has no work of its own yet.
        {"Image23", form.PageBinEdit->Image23},
        {"Image22", form.PagePlaylist->Image22},
        {"AddBin1", form.AddBin1},
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

QString ShowNotBuiltMarks(QString topic)
{
    static const QRegularExpression mark(R"(\[\w+\])");
    return topic.replace(mark, "(not built yet)");
}

void TFormMain::DisableNotBuiltCommands()
{
    for (const NotBuiltCommand& command : NotBuiltCommands(*this)) {
        if (command.page)
            new TNotBuiltShade(command.page, command.textOnPage);
        if (auto* action = qobject_cast<QAction*>(command.control)) {
            action->setEnabled(false);
            action->setToolTip(NotBuiltText(action->text() + "."));
        } else if (auto* control = qobject_cast<QWidget*>(command.control)) {
            control->setEnabled(false);
            control->setToolTip(NotBuiltText(HelpTopics.value(std::max(HelpContext(control) - 1, 0))));
        }
    }
}
