#include "platform/ui/ShellOpen.h"

#include <QProcess>
#include <QString>

#include <mutex>

namespace ui {
namespace {

struct RecorderState {
    std::mutex lock;
    bool active = false;
    std::vector<std::string> targets;
};

RecorderState& Recorder()
{
    static RecorderState state;
    return state;
}

} // namespace

bool ShellOpen(const std::string& target)
{
    {
        RecorderState& rec = Recorder();
        std::lock_guard<std::mutex> lock(rec.lock);
        if (rec.active) {
            rec.targets.push_back(target);
            return true;
        }
    }
    return QProcess::startDetached("xdg-open", {QString::fromStdString(target)});
}

ShellOpenRecorder::ShellOpenRecorder()
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    rec.active = true;
    rec.targets.clear();
}

ShellOpenRecorder::~ShellOpenRecorder()
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    rec.active = false;
}

std::vector<std::string> ShellOpenRecorder::Targets() const
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    return rec.targets;
}

} // namespace ui
