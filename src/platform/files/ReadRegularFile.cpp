#include "platform/files/ReadRegularFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool PlainFileWithin(const struct stat& status, size_t maxBytes)
{
    return S_ISREG(status.st_mode) && status.st_size >= 0 && static_cast<size_t>(status.st_size) <= maxBytes;
}

// Reads up to `limit` bytes; nothing on a read error.
std::optional<std::string> ReadUpTo(int fd, size_t limit)
{
    std::string bytes(limit, '\0');
    size_t done = 0;
    while (done < limit) {
        const ssize_t got = read(fd, bytes.data() + done, limit - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

} // namespace

std::optional<std::string> ReadRegularFile(const std::string& path, size_t maxBytes)
{
    struct stat before {};
    if (stat(path.c_str(), &before) != 0 || !PlainFileWithin(before, maxBytes))
        return std::nullopt;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> bytes;
    struct stat opened {};
    if (fstat(fd, &opened) == 0 && PlainFileWithin(opened, maxBytes) && opened.st_dev == before.st_dev &&
        opened.st_ino == before.st_ino)
        bytes = ReadUpTo(fd, static_cast<size_t>(opened.st_size));
    close(fd);
    return bytes;
}
