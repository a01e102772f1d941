#include "support/hang_guard.h"

#include <cstdio>
#include <cstdlib>

namespace sonorel_test {

HangGuard::HangGuard(std::string what, std::chrono::seconds deadline)
{
    watcher_ = std::thread([this, what = std::move(what), deadline] {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!done_.wait_for(lock, deadline, [this] { return finished_; })) {
            std::fprintf(stderr, "HANG: %s did not return within %lld s\n", what.c_str(),
                         static_cast<long long>(deadline.count()));
            std::_Exit(1); // the hung thread cannot be unwound
        }
    });
}

HangGuard::~HangGuard()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
    }
    done_.notify_all();
    watcher_.join();
}

} // namespace sonorel_test
