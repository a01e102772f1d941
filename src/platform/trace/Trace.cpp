#include "platform/trace/Trace.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

namespace {
std::mutex traceLock; // keeps the counter and the target's line order consistent across threads
TraceTarget* traceTarget = nullptr;
int traceCounter = 0;

// The ring of lines from threads that must not wait. Its lock is only ever tried by those threads
// (a busy ring costs the line, never a wait); the draining thread holds it for one line's copy.
struct Ring {
    static constexpr size_t kLines = 256;
    std::atomic_flag busy = ATOMIC_FLAG_INIT;
    std::array<TraceText, kLines> lines;
    size_t head = 0; // next line to drain
    size_t count = 0;
    std::atomic<int64_t> waiting{0}; // lines in the ring, read without the lock
    std::atomic<int64_t> lost{0};
};

Ring& TheRing()
{
    static Ring ring;
    return ring;
}

thread_local bool throughRing = false;

void PutInRing(std::string_view message)
{
    Ring& ring = TheRing();
    if (ring.busy.test_and_set(std::memory_order_acquire)) {
        ring.lost.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (ring.count == Ring::kLines) {
        ring.lost.fetch_add(1, std::memory_order_relaxed);
    } else {
        TraceText& line = ring.lines[(ring.head + ring.count++) % Ring::kLines];
        line = TraceText();
        line << message;
        ring.waiting.fetch_add(1, std::memory_order_relaxed);
    }
    ring.busy.clear(std::memory_order_release);
}

bool TakeFromRing(std::string& out)
{
    Ring& ring = TheRing();
    while (ring.busy.test_and_set(std::memory_order_acquire)) {
    }
    const bool any = ring.count > 0;
    if (any) {
        out = std::string_view(ring.lines[ring.head]);
        ring.head = (ring.head + 1) % Ring::kLines;
        --ring.count;
        ring.waiting.fetch_sub(1, std::memory_order_relaxed);
    }
    ring.busy.clear(std::memory_order_release);
    return any;
}

void AppendLocked(std::string_view message)
{
    if (++traceCounter > 40) {
        traceCounter = 0;
        if (traceTarget && traceTarget->ClearLogEnabled())
            traceTarget->ClearLines();
    }
    if (traceTarget && !traceTarget->Paused())
        traceTarget->AppendLine(std::string(message));
}

} // namespace

void trace(std::string_view message)
{
    if (throughRing) {
        PutInRing(message);
        return;
    }
    DrainTraceRing();
    std::lock_guard<std::mutex> lock(traceLock);
    AppendLocked(message);
}

bool TraceThroughRing(bool on)
{
    return std::exchange(throughRing, on);
}

void DrainTraceRing()
{
    Ring& ring = TheRing();
    if (ring.waiting.load(std::memory_order_relaxed) == 0 && ring.lost.load(std::memory_order_relaxed) == 0)
        return;
    std::lock_guard<std::mutex> lock(traceLock); // one drainer at a time keeps the lines in order
    std::string line;
    while (TakeFromRing(line))
        AppendLocked(line);
    if (const int64_t lost = ring.lost.exchange(0))
        AppendLocked("Sound thread trace lines lost: " + std::to_string(lost));
}

TraceText& TraceText::operator<<(std::string_view text)
{
    const size_t n = std::min(text.size(), kCapacity - size_);
    std::memcpy(text_ + size_, text.data(), n);
    size_ += n;
    return *this;
}

TraceText& TraceText::AppendInteger(int64_t value)
{
    const auto result = std::to_chars(text_ + size_, text_ + kCapacity, value);
    if (result.ec == std::errc())
        size_ = static_cast<size_t>(result.ptr - text_);
    return *this;
}

TraceText& TraceText::operator<<(double value)
{
    const auto result = std::to_chars(text_ + size_, text_ + kCapacity, value);
    if (result.ec == std::errc())
        size_ = static_cast<size_t>(result.ptr - text_);
    return *this;
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
    DrainTraceRing(); // the waiting lines belong to the target they were traced for
    std::lock_guard<std::mutex> lock(traceLock);
    traceTarget = target;
}

void DetachTraceTarget(TraceTarget* target)
{
    DrainTraceRing();
    std::lock_guard<std::mutex> lock(traceLock);
    if (traceTarget == target)
        traceTarget = nullptr;
}

void ResetTraceCounter()
{
    std::lock_guard<std::mutex> lock(traceLock);
    traceCounter = 0;
}
