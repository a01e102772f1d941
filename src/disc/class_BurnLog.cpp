#include "disc/class_BurnLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

std::vector<TLogImp>& LogSinks()
{
    static std::vector<TLogImp> sinks;
    return sinks;
}

std::atomic<int32_t> numberedNameCounter{1};

struct NameParts {
    std::string name;
    size_t dot = 0; // where the extension starts (the length when there is none)
};

// Pads to two characters and finds the extension: a "." among the last five positions before an
// optional ";n" version suffix.
NameParts SplitName(std::string name)
{
    while (name.size() < 2)
        name += "0";
    size_t end = name.size();
    if (name[end - 2] == ';')
        end -= 2;
    NameParts parts{name, end};
    for (size_t back = 0; back <= 4 && back <= end; ++back) {
        if (end - back < name.size() && name[end - back] == '.') {
            parts.dot = end - back;
            break;
        }
    }
    return parts;
}

} // namespace

void AddLogSink(TLogCallback callback, void* context, uint8_t channel)
{
    for (const TLogImp& sink : LogSinks())
        if (sink.callback == callback && sink.context == context && sink.channel == channel)
            return;
    LogSinks().push_back({callback, context, channel});
}

void RemoveLogSinks(void* context)
{
    std::erase_if(LogSinks(), [context](const TLogImp& sink) { return sink.context == context; });
}

size_t LogSinkCount() { return LogSinks().size(); }

void LogPrintf(uint8_t channel, uint8_t severity, const char* format, ...)
{
    char line[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    for (const TLogImp& sink : LogSinks())
        if (sink.channel == channel)
            sink.callback(sink.context, severity, line);
}

void DebugPrintf(const char* format, ...)
{
    char line[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fputs(line, stderr);
}

std::string MakeNumberedFileName(const std::string& name)
{
    const NameParts parts = SplitName(name);
    const size_t base = parts.dot > 8 ? 7 : parts.dot;
    return parts.name.substr(0, base) + std::to_string(numberedNameCounter++) + parts.name.substr(parts.dot);
}

std::string MakeTimedFileName(const std::string& name)
{
    const NameParts parts = SplitName(name);
    const std::time_t now = std::time(nullptr);
    char timeText[64] = {};
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(timeText, sizeof timeText, "%a %b %e %H:%M:%S %Y", &local);
    std::string result = parts.name.substr(0, parts.dot) + "_" + timeText + parts.name.substr(parts.dot);
    while (!result.empty() && static_cast<unsigned char>(result.back()) < 33)
        result.pop_back();
    for (size_t i = parts.dot; i < result.size(); ++i)
        if (static_cast<unsigned char>(result[i]) <= 32 || result[i] == ':')
            result[i] = '_';
    return result;
}
