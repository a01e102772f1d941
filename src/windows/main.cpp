#include "model/class_Switches.h"
#include "model/form_Trace.h"

#include <QApplication>

#include <algorithm>

namespace {

bool AnyWindowVisible()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget* w) { return w->isVisible(); });
}

} // namespace

int main(int argc, char** argv)
{
    SetCommandLine(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Sonorel");
    TFormTrace formTrace;
    if (!AnyWindowVisible())
        return 0;
    return app.exec();
}
