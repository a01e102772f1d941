// Loading a project file whose missing sources have deep paths ("/d/d/.../d/x0.wav", as a damaged
// or made-up file may hold them), against a file of the same size whose missing paths are long but
// shallow; and the time from process start to the missing-source message, as a person opening the
// deep file sees it. Run under xvfb-run (or with QT_QPA_PLATFORM=offscreen):
//     project_load_bench [SCALE]
// SCALE (default 1) multiplies the rows of every file; a brief run uses a small one. Targets: each
// deep file loads within twice the time of its shallow twin, and the 2 MB file's message shows
// within 2 s of start. Exit status 1 when a figure misses its target.
#include "model/class_Application.h"
#include "platform/ui/MessageBox.h"
#include "started_sonorel.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

using namespace sonorel_bench;

constexpr double kMessageTargetMs = 2000;
constexpr double kDeepToShallowTarget = 2.0;
constexpr unsigned kChildLimitSeconds = 600; // a start-up that never shows the message ends here

// "/d/d/.../d/x<row>.wav" with `folders` parts before the name; shallow: the same length in parts
// of 200 characters.
std::string MissingPath(int row, int folders, bool deep)
{
    const std::string name = "/x" + std::to_string(row) + ".wav";
    std::string path;
    if (deep) {
        for (int i = 0; i < folders; ++i)
            path += "/d";
    } else {
        const size_t length = 2 * size_t(folders);
        while (path.size() < length)
            path += "/" + std::string(std::min<size_t>(199, length - path.size() - 1), 'd');
    }
    return path + name;
}

std::string WriteProject(const fs::path& folder, int rows, int folders, bool deep)
{
    const fs::path path =
        folder / ((deep ? "deep_" : "shallow_") + std::to_string(rows) + "x" + std::to_string(folders) + ".snmx");
    std::ofstream out(path);
    out << "<sonorel.mix>\n";
    for (int row = 0; row < rows; ++row)
        out << "<fragment name=\"r\" filename=\"" << MissingPath(row, folders, deep) << "\"/>\n";
    out << "</sonorel.mix>\n";
    return path.string();
}

// The best of five loads of the model alone, in ms.
double LoadMs(const std::string& path)
{
    ui::MessageRecorder quiet;
    double best = 1e300;
    for (int run = 0; run < 5; ++run) {
        cSonorelApp project;
        QElapsedTimer timer;
        timer.start();
        project.LoadFromFile(path);
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// Closes the first message box once it shows and prints the time since process start.
class FirstMessage : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (event->type() == QEvent::Show && box && !seen) {
            seen = true;
            std::printf("message shown at %.0f ms\n", SecondsSinceProcessStart() * 1000);
            std::fflush(stdout);
            QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }
    bool seen = false;
};

// The child's side: Sonorel started on the project, until its first message.
int RunUntilMessage(int argc, char** argv, const std::string& project)
{
    alarm(kChildLimitSeconds);
    FirstMessage watcher;
    RunSonorel(argc, argv, {"sonorel", project, "closenoquery"}, watcher);
    return watcher.seen ? 0 : 1;
}

// Starts this program on the project and returns the ms from its start to the message, or -1.
double MessageMs(const std::string& project)
{
    const std::string command = "'" + fs::read_symlink("/proc/self/exe").string() + "' --until-message '" + project + "'";
    FILE* child = popen(command.c_str(), "r");
    if (!child)
        return -1;
    double ms = -1;
    char line[4096];
    while (std::fgets(line, sizeof line, child))
        std::sscanf(line, "message shown at %lf ms", &ms);
    return pclose(child) == 0 ? ms : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--until-message")
        return RunUntilMessage(argc, argv, argv[2]);
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    if (!(scale > 0)) {
        std::fprintf(stderr, "usage: project_load_bench [SCALE]\n");
        return 2;
    }
    const fs::path folder = fs::temp_directory_path() / ("sonorel_project_load_bench_" + std::to_string(getpid()));
    fs::create_directories(folder);
    bool met = true;
    struct Shape {
        int rows;
        int folders;
    };
    std::string twoMegabytes;
    // About 2 MB, and as near 64 MB (the largest project file) as rows of 2,000 folders come.
    for (const Shape shape : {Shape{1000, 1000}, Shape{16000, 2000}}) {
        const int rows = std::max(1, int(shape.rows * scale));
        const std::string deep = WriteProject(folder, rows, shape.folders, true);
        const std::string shallow = WriteProject(folder, rows, shape.folders, false);
        if (twoMegabytes.empty())
            twoMegabytes = deep;
        const double deepMs = LoadMs(deep);
        const double shallowMs = LoadMs(shallow);
        const bool fine = deepMs <= kDeepToShallowTarget * std::max(shallowMs, 1.0);
        met = met && fine;
        std::printf("%d rows of %d folders (%.1f MB): deep %.0f ms, shallow %.0f ms, %.2fx (target %.0fx)%s\n", rows,
                    shape.folders, fs::file_size(deep) / 1e6, deepMs, shallowMs, deepMs / std::max(shallowMs, 1.0),
                    kDeepToShallowTarget, fine ? "" : "  MISSED");
    }
    const double messageMs = MessageMs(twoMegabytes);
    const bool shown = messageMs >= 0 && messageMs <= kMessageTargetMs;
    met = met && shown;
    std::printf("start to the missing-source message of %s: %.0f ms (target %.0f ms)%s\n",
                fs::path(twoMegabytes).filename().c_str(), messageMs, kMessageTargetMs, shown ? "" : "  MISSED");
    fs::remove_all(folder);
    return met ? 0 : 1;
}
