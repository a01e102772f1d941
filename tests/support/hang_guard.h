#pragma once

// Ends the test program with a message when the code under a guard does not return within a
// generous deadline: a read or a rip that hangs fails its test instead of stalling the suite.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace sonorel_test {

class HangGuard {
public:
    HangGuard(std::string what, std::chrono::seconds deadline = std::chrono::seconds(120));
    ~HangGuard();
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread watcher_;
};

} // namespace sonorel_test
