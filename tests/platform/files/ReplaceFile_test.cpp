#include "platform/files/ReplaceFile.h"

#include "support/audio_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Entries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A process id that belonged to a process which has ended.
pid_t EndedProcess()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

} // namespace

// A save killed half-way leaves its hidden temporary file; the next save of the same file removes
// it, but never the temporary file of a writer that still runs, nor those of other files.
TEST(ReplaceFile, TheNextSaveRemovesTheTemporaryFilesOfKilledSaves)
{
    const fs::path dir = sonorel_test::FixtureFolder();
    const std::string dead = std::to_string(EndedProcess());
    const std::string living = std::to_string(getppid());
    const std::vector<std::string> kept = {".mix.snmx." + living + "-0-5.tmp", ".other.snmx." + dead + "-0-5.tmp",
                                           ".mix.snmx.notes.tmp"};
    for (const std::string& name : kept)
        WriteBytes(dir / name, "kept");
    WriteBytes(dir / (".mix.snmx." + dead + "-3-99.tmp"), std::string(4096, 'x'));
    int error = 0;
    ASSERT_TRUE(WriteFileReplacing((dir / "mix.snmx").string(), "NEW", error)) << error;
    std::vector<std::string> expected = kept;
    expected.push_back("mix.snmx");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Entries(dir), expected);
    EXPECT_EQ(ReadBytes(dir / "mix.snmx"), "NEW");
}

// A link is written through, whether its file exists yet or not (a dangling link, a chain of
// links, a relative one); the links stay links.
TEST(ReplaceFile, WritesThroughSymbolicLinksAndKeepsThem)
{
    const fs::path dir = sonorel_test::FixtureFolder();
    fs::create_directory(dir / "real");
    WriteBytes(dir / "real" / "existing.wav", "OLD");
    fs::create_symlink("real/existing.wav", dir / "relative.wav");
    fs::create_symlink(dir / "real" / "missing.wav", dir / "dangling.wav");
    fs::create_symlink(dir / "dangling.wav", dir / "chain.wav");
    struct Case {
        const char* link;
        const char* file;
    } cases[] = {{"relative.wav", "real/existing.wav"}, {"dangling.wav", "real/missing.wav"},
                 {"chain.wav", "real/missing.wav"}};
    for (const Case& c : cases) {
        int error = 0;
        ASSERT_TRUE(WriteFileReplacing((dir / c.link).string(), c.link, error)) << c.link;
        EXPECT_TRUE(fs::is_symlink(dir / c.link)) << c.link;
        EXPECT_EQ(ReadBytes(dir / c.file), c.link);
    }
    EXPECT_EQ(Entries(dir / "real"), (std::vector<std::string>{"existing.wav", "missing.wav"}));
}

// Past the file-size limit the write fails with EFBIG (the old file kept, nothing left beside
// it) instead of the signal ending the program. Run in a fresh process whose SIGXFSZ is the
// default, deadly one.
TEST(ReplaceFileDeathTest, AFileSizeLimitFailsTheWriteInsteadOfEndingTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path dir = sonorel_test::FixtureFolder();
    const fs::path target = dir / "limited.snmx";
    WriteBytes(target, "OLD");
    const auto writePastTheLimit = [&] {
        signal(SIGXFSZ, SIG_DFL);
        const rlimit tiny{64, 64};
        setrlimit(RLIMIT_FSIZE, &tiny);
        int error = 0;
        const bool written = WriteFileReplacing(target.string(), std::string(4096, 'x'), error);
        _exit(!written && error == EFBIG ? 0 : 1);
    };
    EXPECT_EXIT(writePastTheLimit(), testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadBytes(target), "OLD");
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"limited.snmx"});
}
