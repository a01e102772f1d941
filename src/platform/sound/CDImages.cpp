// Image drives: each CUE sheet is read by our own reader, and libcdio opens a private copy of it
// that names the sheet's BIN. A sheet is read again only when it or one of its files changed, so a
// refused sheet costs a few stat calls a poll; its copy goes when its drive goes.

#include <sys/stat.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/files/ReplaceFile.h"
#include "platform/sound/CDInternal.h"
#include "platform/sound/CueSheet.h"
#include "platform/trace/Trace.h"

namespace sound {
namespace {

// What a file looked like when its image was prepared; any change prepares the image again.
struct FileStamp {
    explicit FileStamp(const std::string& path)
    {
        struct stat info {};
        present = stat(path.c_str(), &info) == 0;
        if (present)
            values = {static_cast<int64_t>(info.st_dev), static_cast<int64_t>(info.st_ino), info.st_size,
                      info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
    }
    bool operator==(const FileStamp& other) const { return present == other.present && values == other.values; }

    bool present = false;
    std::array<int64_t, 7> values{};
};

struct PreparedImage {
    std::string sheet;                                      // as the drive list names it
    std::vector<std::pair<std::string, FileStamp>> watched; // the sheet and the files it looked at
    std::string libraryCue;                                 // the copy libcdio opens; "" when refused
    std::string refusal;
    std::vector<std::string> copyFiles;
    bool writeFailed = false; // tried again at the next look, as a full disk or a removed folder passes
};

bool WriteNewFile(const std::string& path, const std::string& bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const int error = WriteAll(fd, bytes.data(), bytes.size());
    close(fd);
    errno = error;
    return error == 0;
}

class ImageCopies {
public:
    ImageCopies() = default;
    ImageCopies(const ImageCopies&) = delete;
    ImageCopies& operator=(const ImageCopies&) = delete;
    ~ImageCopies()
    {
        if (getpid() != owner_)
            return; // a child that forked and ended: the copies are its parent's
        for (PreparedImage& image : images_)
            RemoveCopy(image);
        if (!folder_.empty())
            rmdir(folder_.c_str());
    }

    // The image of `sheet`, prepared again when it or its files changed since.
    const PreparedImage& Prepared(const std::string& sheet)
    {
        for (PreparedImage& image : images_)
            if (image.sheet == sheet) {
                if (!Current(image))
                    Prepare(image);
                return image;
            }
        images_.push_back({sheet, {}, {}, {}, {}});
        Prepare(images_.back());
        return images_.back();
    }

    void Keep(const std::vector<std::string>& sheets)
    {
        for (auto it = images_.begin(); it != images_.end();) {
            if (std::find(sheets.begin(), sheets.end(), it->sheet) != sheets.end()) {
                ++it;
                continue;
            }
            RemoveCopy(*it);
            it = images_.erase(it);
        }
    }

private:
    static bool Current(const PreparedImage& image)
    {
        if (image.writeFailed || (!image.libraryCue.empty() && access(image.libraryCue.c_str(), F_OK) != 0))
            return false;
        for (const auto& [path, stamp] : image.watched)
            if (FileStamp(path) != stamp)
                return false;
        return true;
    }

    static void RemoveCopy(PreparedImage& image)
    {
        for (const std::string& file : image.copyFiles)
            unlink(file.c_str());
        image.copyFiles.clear();
        image.libraryCue.clear();
    }

    void Prepare(PreparedImage& image)
    {
        RemoveCopy(image);
        const std::string refusedBefore = std::exchange(image.refusal, "");
        // Stamped before it is read: a change while it is read is seen at the next look.
        image.watched = {{image.sheet, FileStamp(image.sheet)}};
        CueSheet sheet;
        std::string why;
        const bool read = ReadCueSheet(image.sheet, sheet, why);
        for (const std::string& file : sheet.files)
            image.watched.emplace_back(file, FileStamp(file));
        image.writeFailed = false;
        if (!read)
            return Refuse(image, why, refusedBefore);
        if (!sheet.namedBin.empty())
            trace("CD image " + image.sheet + ": its FILE " + sheet.namedBin + " does not exist; " + sheet.bin + " is read");
        std::string cdText;
        if (!sheet.cdTextFile.empty()) {
            if (std::optional<std::string> packs = ReadCdTextPacks(sheet.cdTextFile, sheet.tracks.front().number, why))
                cdText = std::move(*packs);
            else
                trace("CD image " + image.sheet + ": its CD-TEXT file " + sheet.cdTextFile + " is left out: " + why);
        }
        if (WriteCopy(image, sheet, cdText))
            return;
        image.writeFailed = true;
        Refuse(image, std::string("its copy for the CD library cannot be written: ") + std::strerror(errno), refusedBefore);
    }

    // A reason is traced once, not at every look that finds it again.
    static void Refuse(PreparedImage& image, const std::string& why, const std::string& refusedBefore)
    {
        image.refusal = why;
        if (why != refusedBefore)
            trace("CD image " + image.sheet + " cannot be read: " + why);
    }

    // Writes <n>.cue naming <n>.bin, a link to the sheet's BIN, and <n>.cdt when there is CD-TEXT.
    // Each copy has names of its own, so libcdio never opens one that is half written.
    bool WriteCopy(PreparedImage& image, const CueSheet& sheet, const std::string& cdText)
    {
        if (!MakeFolder())
            return false;
        const std::string name = std::to_string(++copies_);
        const std::string base = folder_ + "/" + name;
        std::error_code error;
        const std::string bin = std::filesystem::absolute(sheet.bin, error).string();
        image.copyFiles = {base + ".bin"};
        if (error || symlink(bin.c_str(), (base + ".bin").c_str()) != 0)
            return false;
        if (!cdText.empty()) {
            image.copyFiles.push_back(base + ".cdt");
            if (!WriteNewFile(base + ".cdt", cdText))
                return false;
        }
        image.copyFiles.push_back(base + ".cue");
        if (!WriteNewFile(base + ".cue", LibraryCueSheet(sheet, name + ".bin", cdText.empty() ? "" : name + ".cdt")))
            return false;
        image.libraryCue = base + ".cue";
        return true;
    }

    // The process's private folder for copies, in the user's runtime folder when there is one:
    // "sonorel-cd-<pid>-<random>", so that the folders of programs that were killed can be told.
    bool MakeFolder()
    {
        if (!folder_.empty() && access(folder_.c_str(), W_OK) == 0)
            return true;
        std::string parent = "/tmp";
        for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"})
            if (const char* value = std::getenv(variable); value && *value && access(value, W_OK) == 0) {
                parent = value;
                break;
            }
        RemoveFoldersOfEndedPrograms(parent);
        std::string pattern = parent + "/sonorel-cd-" + std::to_string(owner_) + "-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return false;
        folder_ = pattern;
        return true;
    }

    // A program killed before it could clean up leaves its folder behind; the next one removes it.
    static void RemoveFoldersOfEndedPrograms(const std::string& parent)
    {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(parent, error)) {
            int pid = 0;
            char rest = 0;
            const std::string name = entry.path().filename().string();
            if (std::sscanf(name.c_str(), "sonorel-cd-%d-%c", &pid, &rest) == 2 && pid > 0 && kill(pid, 0) != 0 &&
                errno == ESRCH)
                std::filesystem::remove_all(entry.path(), error);
        }
    }

    std::vector<PreparedImage> images_;
    std::string folder_;
    int copies_ = 0;
    const pid_t owner_ = getpid();
};

std::mutex copiesMutex;

ImageCopies& Copies()
{
    static ImageCopies copies; // removes what is left of the copies when the program ends
    return copies;
}

} // namespace

std::string LibrarySheetFor(const std::string& sheet, std::string* refusal)
{
    std::lock_guard<std::mutex> lock(copiesMutex);
    const PreparedImage& image = Copies().Prepared(sheet);
    if (refusal)
        *refusal = image.refusal;
    return image.libraryCue;
}

void KeepImageCopies(const std::vector<std::string>& sheets)
{
    std::lock_guard<std::mutex> lock(copiesMutex);
    Copies().Keep(sheets);
}

} // namespace sound
