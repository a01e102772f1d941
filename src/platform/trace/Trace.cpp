#include "platform/trace/Trace.h"

#include <mutex>

namespace {
std::mutex traceLock; // keeps the counter and the target's line order consistent across threads
TraceTarget* traceTarget = nullptr;
int traceCounter = 0;
}

void trace(const std::string& message)
{
    std::lock_guard<std::mutex> lock(traceLock);
    if (++traceCounter > 40) {
        traceCounter = 0;
        if (traceTarget && traceTarget->ClearLogEnabled())
            traceTarget->ClearLines();
    }
    if (traceTarget && !traceTarget->Paused())
        traceTarget->AppendLine(message);
}

std::string TraceValueLine(std::string_view expression, std::string_view file, std::string_view value)
{
    std::string line(expression);
    line += "(";
    line += file;
    line += "):";
    line += value;
    return line;
}

void SetTraceTarget(TraceTarget* target)
{
    std::lock_guard<std::mutex> lock(traceLock);
    traceTarget = target;
}

void DetachTraceTarget(TraceTarget* target)
{
    std::lock_guard<std::mutex> lock(traceLock);
    if (traceTarget == target)
        traceTarget = nullptr;
}

void ResetTraceCounter()
{
    std::lock_guard<std::mutex> lock(traceLock);
    traceCounter = 0;
}
