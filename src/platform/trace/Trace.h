#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

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
// On a thread that traces through the ring (the sound thread) the line is copied into a fixed ring
// instead, without blocking or allocating; lines that find the ring full or busy are counted.
void trace(std::string_view message);

// Makes the calling thread's lines go through the ring (on) or straight to the target (off);
// returns the previous setting.
bool TraceThroughRing(bool on);

// Passes the lines waiting in the ring to the target, oldest first, then a line with the count of
// lines that did not fit, if any. The UI thread calls it on a timer; every line traced off the
// ring drains it first, so lines keep their order.
void DrainTraceRing();

// A line of at most kCapacity characters built without allocating (for the sound thread); what
// does not fit is cut.
class TraceText {
public:
    static constexpr size_t kCapacity = 200;
    TraceText& operator<<(std::string_view text);
    template <typename Integer, typename = std::enable_if_t<std::is_integral_v<Integer>>>
    TraceText& operator<<(Integer value) { return AppendInteger(static_cast<int64_t>(value)); }
    TraceText& operator<<(double value);
    operator std::string_view() const { return {text_, size_}; }

private:
    TraceText& AppendInteger(int64_t value);

    char text_[kCapacity];
    size_t size_ = 0;
};

// A value line: the expression's text, "(", the source file's name, "):", the value.
std::string TraceValueLine(std::string_view expression, std::string_view file, std::string_view value);

void SetTraceTarget(TraceTarget* target); // nullptr detaches
void DetachTraceTarget(TraceTarget* target); // detaches the target only while it is the current one
void ResetTraceCounter();                 // for tests
