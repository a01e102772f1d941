#pragma once

#include <cstddef>
#include <string>

// Writes a file under a hidden temporary name beside its target and renames it over the target
// once complete, so that a crash, a full disk or a kill never leaves a half-written file under the
// target's name. Committing keeps the replaced file's permissions and puts the data and the
// folder's entry on disk (a power loss after a save leaves the old file or the new one, never an
// empty one). A target that is a symbolic link, even one pointing nowhere yet, is written through:
// the file it points to is replaced and the link stays. Creating removes the temporary files that
// earlier writers of the same target left when they were killed. A file-size limit makes a write
// fail instead of ending the program. Failures return false with the errno value in Error().
class ReplaceFile {
public:
    ReplaceFile() = default;
    ~ReplaceFile(); // Discard
    ReplaceFile(const ReplaceFile&) = delete;
    ReplaceFile& operator=(const ReplaceFile&) = delete;

    bool Create(const std::string& target);
    bool Write(const void* data, size_t bytes);
    // Closes the descriptor (for a writer that reopens Path() by name, such as another program).
    void CloseFd();
    bool Commit();
    // Removes the temporary file unless it was committed.
    void Discard();

    int Fd() const { return fd_; }
    const std::string& Path() const { return path_; }     // the temporary file; always has a folder
    const std::string& Target() const { return target_; } // where the data ends, links followed
    int Error() const { return error_; }

private:
    bool Fail(int error);

    std::string target_, path_;
    int fd_ = -1;
    int error_ = 0;
    bool keepMode_ = false;
    unsigned mode_ = 0;
};

// The file a path names once its symbolic links are followed, even when the last one points to
// a file that does not exist yet; the path itself when it is no link (or the links loop).
std::string FollowLinks(const std::string& path);

// Writes everything to the descriptor (a file or a pipe), going on after interruptions; 0, or the
// errno value that stopped it.
int WriteAll(int fd, const void* data, size_t length);

// Writes `bytes` to `target` through a ReplaceFile; false with the errno value in `error`.
bool WriteFileReplacing(const std::string& target, const std::string& bytes, int& error);
