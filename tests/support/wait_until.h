#pragma once

// Polls a condition until it holds or a generous deadline passes: for events another thread brings
// about (a worker that has opened a file), never a fixed wait.

#include <chrono>
#include <thread>

namespace sonorel_test {

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::seconds deadline = std::chrono::seconds(30))
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace sonorel_test
