#pragma once

// Waiting for what a test expects to happen. The deadline only ends a test that hangs: a loaded
// machine, or a sanitizer build beside another run of the suite, can be many times slower than an
// idle one, and a deadline near the usual time turns that slowness into failures.

#include <chrono>
#include <thread>

namespace sonorel_test {

constexpr std::chrono::milliseconds kHangDeadline{60000};

// Checks `condition` every millisecond until it holds; false when it still fails at the deadline.
template <class Condition>
bool PollUntil(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + kHangDeadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace sonorel_test
