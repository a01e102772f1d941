#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>

namespace sonorel_test {

// A full disk, as far as this process and the programs it starts can tell: while it lives, no file
// grows past `bytes` (the write fails with EFBIG instead of raising SIGXFSZ).
class FileSizeLimit {
public:
    explicit FileSizeLimit(uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    struct sigaction savedAction_ {};
};

} // namespace sonorel_test
