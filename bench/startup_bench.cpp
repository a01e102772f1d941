// Time from process start to the first painted main window, as a person starting Sonorel sees
// it: the application object, the twelve windows and the first paint of the main window. Run it
// under xvfb-run (or on a desktop); it prints the figure and exits.
#include "started_sonorel.h"

#include <QTimer>

#include <cstdio>

namespace {

using namespace sonorel_bench;

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched == FormMain && !seen) {
            seen = true;
            std::printf("start to first painted main window: %.0f ms (clock ticks of %.0f ms)\n",
                        SecondsSinceProcessStart() * 1000, 1000.0 / sysconf(_SC_CLK_TCK));
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
    FirstPaint watcher;
    RunSonorel(argc, argv, {"sonorel", "closenoquery"}, watcher);
    return watcher.seen ? 0 : 1;
}
