#include "support/trace_lines.h"

namespace sonorel_test {

void TraceLines::AppendLine(const std::string& line)
{
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
}

std::vector<std::string> TraceLines::Lines() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

} // namespace sonorel_test
