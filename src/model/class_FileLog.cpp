#include "model/class_FileLog.h"

#include "model/class_Folders.h"

#include <QDateTime>
#include <QLocale>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>

namespace {

std::atomic<bool> logEnabled{true};
std::mutex logLock; // the name, and whole entries when several threads log
std::string logName;

std::string DateTimeStamp()
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    // The long time format ends in the time zone, which the log never showed.
    const QString timeFormat = locale.timeFormat(QLocale::LongFormat).remove('t').trimmed();
    return (locale.toString(now.date(), QLocale::ShortFormat) + " " + locale.toString(now.time(), timeFormat))
        .toStdString();
}

std::string PathFor(const std::string& name)
{
    if (name.empty()) {
        const std::string program = std::filesystem::path(ExecutableFileName()).stem().string();
        return GetDocumentsFolder() + "/" + program + "_log.txt";
    }
    if (std::filesystem::path(name).has_parent_path())
        return name;
    return GetDocumentsFolder() + "/" + name;
}

} // namespace

void SetFileLogEnabled(bool enabled)
{
    logEnabled = enabled;
}

void SetFileLogName(const std::string& name)
{
    std::lock_guard<std::mutex> lock(logLock);
    logName = name;
}

std::string FileLogPath()
{
    std::lock_guard<std::mutex> lock(logLock);
    return PathFor(logName);
}

void LogToFile(const std::string& message, bool newline, bool withDate)
{
    if (!logEnabled)
        return;
    std::string entry = withDate ? DateTimeStamp() + " " + message : message;
    if (newline)
        entry += "\r\n";
    std::lock_guard<std::mutex> lock(logLock);
    if (std::FILE* file = std::fopen(PathFor(logName).c_str(), "ab")) {
        std::fwrite(entry.data(), 1, entry.size(), file);
        std::fclose(file);
    }
}
