#pragma once

// For the benchmarks that time Sonorel as a person starting it sees it: from the process's start.

#include "model/class_Switches.h"
#include "windows/Forms.h"
#include "windows/class_SonorelApplication.h"
#include "windows/form_Main.h"

#include <QObject>

#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace sonorel_bench {

// Seconds since this process started (its start time from /proc, in clock ticks since boot).
inline double SecondsSinceProcessStart()
{
    std::ifstream in("/proc/self/stat");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    size_t pos = text.rfind(')') + 2;
    std::string field;
    for (int i = 3; i <= 22; ++i) {
        const size_t end = text.find(' ', pos);
        field = text.substr(pos, end - pos);
        pos = end + 1;
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) + now.tv_nsec * 1e-9 - std::stod(field) / double(sysconf(_SC_CLK_TCK));
}

// Runs Sonorel on the command line `arguments` (the program's name first) until its event loop
// ends, with `watcher` filtering every event of the application.
inline void RunSonorel(int argc, char** argv, std::vector<std::string> arguments, QObject& watcher)
{
    SetCommandLine(std::move(arguments));
    TSonorelApplication application(argc, argv);
    application.installEventFilter(&watcher);
    CreateForms();
    FormMain->show();
    application.exec();
    DestroyForms();
}

} // namespace sonorel_bench
