// Time from process start to the first painted main window, as a person starting Sonorel sees
// it: the application object, the twelve windows and the first paint of the main window. Run it
// under xvfb-run (or on a desktop); it prints the figure and exits.
#include "model/class_Switches.h"
#include "windows/Forms.h"
#include "windows/class_SonorelApplication.h"
#include "windows/form_Main.h"

#include <QTimer>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// Seconds since boot at which this process started (from /proc), and now.
double ProcessStartSeconds()
{
    std::ifstream in("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const size_t afterName = text.rfind(')');
    std::string field;
    std::size_t pos = afterName + 2;
    for (int i = 3; i <= 22; ++i) {
        const std::size_t end = text.find(' ', pos);
        field = text.substr(pos, end - pos);
        pos = end + 1;
    }
    return std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double BootSecondsNow()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched == FormMain && !seen) {
            seen = true;
            std::printf("start to first painted main window: %.0f ms (clock ticks of %.0f ms)\n",
                        (BootSecondsNow() - ProcessStartSeconds()) * 1000, 1000.0 / sysconf(_SC_CLK_TCK));
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }
    bool seen = false;
};

} // namespace

int main(int argc, char** argv)
{
    // Loading the last project and the help panel belong to the start-up after the first paint.
    SetCommandLine({"sonorel", "closenoquery"});
    TSonorelApplication application(argc, argv);
    FirstPaint watcher;
    application.installEventFilter(&watcher);
    CreateForms();
    FormMain->show();
    application.exec();
    DestroyForms();
    return watcher.seen ? 0 : 1;
}
