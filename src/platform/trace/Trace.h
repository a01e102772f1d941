#pragma once

#include <string>
#include <string_view>

// Where trace lines go: the trace window implements this. Calls may come from any thread and
// arrive in the order the lines were traced; the target marshals them to its own thread.
class TraceTarget {
public:
    virtual ~TraceTarget() = default;
    virtual void ClearLines() = 0;
    virtual void AppendLine(const std::string& line) = 0;
    virtual bool Paused() const = 0;
    virtual bool ClearLogEnabled() const = 0;
};

// Appends one diagnostic line. Every 41st call clears the target (when it allows clearing) before
// its own line is appended. Safe before any target exists (it then only counts) and from any thread.
void trace(const std::string& message);

// A value line: the expression's text, "(", the source file's name, "):", the value.
std::string TraceValueLine(std::string_view expression, std::string_view file, std::string_view value);

void SetTraceTarget(TraceTarget* target); // nullptr detaches
void DetachTraceTarget(TraceTarget* target); // detaches the target only while it is the current one
void ResetTraceCounter();                 // for tests
