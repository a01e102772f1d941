#include "platform/files/ReplaceFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSuffix = ".tmp";
constexpr size_t kBaseLimit = 200; // keeps the temporary name within the file system's limit

// The hidden temporary names of a target: ".<name>.<pid>-<counter>-<stamp>.tmp".
std::string TemporaryPrefix(const fs::path& target)
{
    return "." + target.filename().string().substr(0, kBaseLimit) + ".";
}

bool AllDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The process id in a temporary name of ours, or 0 when the name is not one.
pid_t WriterOf(std::string_view name, std::string_view prefix)
{
    if (name.size() <= prefix.size() + kSuffix.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - kSuffix.size()) != kSuffix)
        return 0;
    std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    const size_t first = middle.find('-');
    const size_t second = first == std::string_view::npos ? first : middle.find('-', first + 1);
    if (second == std::string_view::npos || !AllDigits(middle.substr(0, first)) ||
        !AllDigits(middle.substr(first + 1, second - first - 1)) || !AllDigits(middle.substr(second + 1)))
        return 0;
    return static_cast<pid_t>(std::stol(std::string(middle.substr(0, first))));
}

// Temporary files of the target whose writer is gone (killed during a write). A writer that still
// runs, in this program or another, keeps its file.
void RemoveStaleTemporaries(const fs::path& folder, const fs::path& target)
{
    const std::string prefix = TemporaryPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const pid_t writer = WriterOf(it->path().filename().string(), prefix);
        if (writer > 0 && writer != getpid() && kill(writer, 0) != 0 && errno == ESRCH)
            unlink(it->path().c_str());
    }
}

void IgnoreFileSizeSignal()
{
    static std::once_flag once;
    std::call_once(once, [] { signal(SIGXFSZ, SIG_IGN); });
}

void SyncFolderOf(const fs::path& target)
{
    const int fd = open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

std::string FollowLinks(const std::string& path)
{
    fs::path current = path;
    std::error_code ec;
    for (int hop = 0; hop < 40; ++hop) {
        if (!fs::is_symlink(current, ec))
            return current.string();
        const fs::path next = fs::read_symlink(current, ec);
        if (ec)
            return path;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return path;
}

ReplaceFile::~ReplaceFile()
{
    Discard();
}

bool ReplaceFile::Fail(int error)
{
    error_ = error;
    return false;
}

bool ReplaceFile::Create(const std::string& target)
{
    IgnoreFileSizeSignal();
    Discard();
    target_ = FollowLinks(target);
    fs::path resolved = target_;
    if (!resolved.has_parent_path())
        resolved = fs::path(".") / resolved; // a name with a folder in front is never taken for an option
    struct stat old {};
    if (stat(target_.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode))
            return Fail(EISDIR);
        keepMode_ = S_ISREG(old.st_mode);
        mode_ = old.st_mode & 07777;
    }
    RemoveStaleTemporaries(resolved.parent_path(), resolved);
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000;
        path_ = (resolved.parent_path() / (TemporaryPrefix(resolved) + std::to_string(getpid()) + "-" +
                                           std::to_string(counter++) + "-" + std::to_string(stamp) +
                                           std::string(kSuffix)))
                    .string();
        fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, keepMode_ ? mode_ : 0666);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        path_.clear();
        return Fail(errno);
    }
    if (keepMode_ && fchmod(fd_, mode_) != 0)
        return Fail(errno);
    return true;
}

int WriteAll(int fd, const void* data, size_t length)
{
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t put = write(fd, bytes, length);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return errno;
        if (put == 0)
            return EIO;
        bytes += put;
        length -= static_cast<size_t>(put);
    }
    return 0;
}

bool ReplaceFile::Write(const void* data, size_t bytes)
{
    const int error = WriteAll(fd_, data, bytes);
    return error == 0 || Fail(error);
}

void ReplaceFile::CloseFd()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

bool ReplaceFile::Commit()
{
    if (path_.empty())
        return Fail(EBADF);
    if (fd_ < 0)
        fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0 || fsync(fd_) != 0)
        return Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        return Fail(errno);
    if (rename(path_.c_str(), target_.c_str()) != 0)
        return Fail(errno);
    fs::path resolved = target_;
    SyncFolderOf(resolved.has_parent_path() ? resolved : fs::path(".") / resolved);
    path_.clear();
    return true;
}

void ReplaceFile::Discard()
{
    CloseFd();
    if (!path_.empty())
        unlink(path_.c_str());
    path_.clear();
}

bool WriteFileReplacing(const std::string& target, const std::string& bytes, int& error)
{
    ReplaceFile file;
    const bool written = file.Create(target) && file.Write(bytes.data(), bytes.size()) && file.Commit();
    error = file.Error();
    return written;
}
