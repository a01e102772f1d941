#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/trace/Trace.h"

namespace sonorel_test {

// Collects the trace lines (from any thread) while it is the trace target; the test attaches it
// with SetTraceTarget and detaches it before it goes.
class TraceLines : public TraceTarget {
public:
    void ClearLines() override {}
    void AppendLine(const std::string& line) override;
    bool Paused() const override { return false; }
    bool ClearLogEnabled() const override { return false; }

    std::vector<std::string> Lines() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace sonorel_test
