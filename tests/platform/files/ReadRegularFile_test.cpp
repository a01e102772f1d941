#include "platform/files/ReadRegularFile.h"

#include "support/audio_fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <sys/stat.h>

namespace fs = std::filesystem;
using sonorel_test::FixtureFolder;
using sonorel_test::WriteBytes;

namespace {

// Only a plain file within the limit is read; everything else is refused at once, without opening
// a FIFO or a device (a FIFO without a writer would block the reader for good).
TEST(ReadRegularFile, ReadsOnlyPlainFilesWithinTheLimit)
{
    const std::string folder = FixtureFolder();
    WriteBytes(folder + "/plain", "0123456789");
    const auto nothing = [](const std::string&) {};
    struct Case {
        const char* name;
        const char* file;
        std::function<void(const std::string&)> make;
        size_t limit;
        std::optional<std::string> expected;
    } cases[] = {
        {"plain file at the limit", "plain", nothing, 10, "0123456789"},
        {"plain file one byte over", "plain", nothing, 9, std::nullopt},
        {"missing", "missing", nothing, 10, std::nullopt},
        {"empty file", "empty", [](const std::string& p) { WriteBytes(p, ""); }, 10, ""},
        {"link to a plain file", "link", [&](const std::string& p) { fs::create_symlink(folder + "/plain", p); }, 10,
         "0123456789"},
        {"folder", "folder", [](const std::string& p) { fs::create_directory(p); }, 10, std::nullopt},
        {"FIFO", "fifo", [](const std::string& p) { mkfifo(p.c_str(), 0600); }, 10, std::nullopt},
        {"link to /dev/zero", "zero", [](const std::string& p) { fs::create_symlink("/dev/zero", p); }, 1 << 20,
         std::nullopt},
        {"huge sparse file", "huge", [](const std::string& p) {
             WriteBytes(p, "x");
             fs::resize_file(p, uintmax_t(1) << 32);
         }, 1 << 20, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder + "/" + c.file;
        c.make(path);
        EXPECT_EQ(ReadRegularFile(path, c.limit), c.expected);
    }
}

} // namespace
