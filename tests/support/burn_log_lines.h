#pragma once

// Collects the burning log's lines of both channels (header-only: the programs that use it link
// the cd layer). Sinks are never removed, so one collector lives for the whole test program;
// Clear() starts a case afresh.

#include <string>
#include <vector>

#include "disc/class_BurnLog.h"

namespace sonorel_test {

struct BurnLogLine {
    int channel, severity;
    std::string text;
    bool operator==(const BurnLogLine&) const = default;
};

class BurnLogLines {
public:
    static BurnLogLines& Get()
    {
        static BurnLogLines lines;
        return lines;
    }
    void Clear() { lines_.clear(); }
    const std::vector<BurnLogLine>& All() const { return lines_; }
    std::vector<std::string> Channel(int channel) const
    {
        std::vector<std::string> texts;
        for (const BurnLogLine& line : lines_)
            if (line.channel == channel)
                texts.push_back(line.text);
        return texts;
    }

private:
    BurnLogLines()
    {
        AddLogSink(&Sink<0>, this, 0);
        AddLogSink(&Sink<1>, this, 1);
    }
    template <int channel>
    static void Sink(void* context, uint8_t severity, const char* text)
    {
        static_cast<BurnLogLines*>(context)->lines_.push_back({channel, severity, text});
    }
    std::vector<BurnLogLine> lines_;
};

} // namespace sonorel_test
