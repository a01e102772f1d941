#include "platform/ui/ShellOpen.h"
#include "support/waits.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// A stand-in xdg-open early on PATH that writes its arguments to a file, so the real launcher
// path is exercised without a desktop.
class ShellOpenTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::path(std::getenv("HOME")) / "fake-bin";
        fs::create_directories(dir_);
        output_ = dir_ / "opened.txt";
        fs::remove(output_);
        std::ofstream script(dir_ / "xdg-open");
        script << "#!/bin/sh\nprintf '%s|' \"$@\" > \"" << output_.string() << ".part\"\nmv \""
               << output_.string() << ".part\" \"" << output_.string() << "\"\n";
        script.close();
        fs::permissions(dir_ / "xdg-open", fs::perms::owner_all);
        oldPath_ = std::getenv("PATH");
        setenv("PATH", (dir_.string() + ":" + oldPath_).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", oldPath_.c_str(), 1); }

    // Waits for the detached opener to finish writing (it runs on its own).
    std::string Opened()
    {
        sonorel_test::PollUntil([this] { return fs::exists(output_); });
        std::ifstream in(output_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_, output_;
    std::string oldPath_;
};

TEST_F(ShellOpenTest, HandsTheTargetToXdgOpenAsOneArgument)
{
    const std::string target = "/home/me/My Mix & \"Friends\"/help page.html";
    EXPECT_TRUE(ui::ShellOpen(target));
    EXPECT_EQ(Opened(), target + "|");
}

TEST_F(ShellOpenTest, RecorderStartsNothing)
{
    {
        ui::ShellOpenRecorder recorder;
        EXPECT_TRUE(ui::ShellOpen("https://example.org/"));
        EXPECT_TRUE(ui::ShellOpen("/tmp/a b.txt"));
        EXPECT_EQ(recorder.Targets(), (std::vector<std::string>{"https://example.org/", "/tmp/a b.txt"}));
    }
    EXPECT_TRUE(ui::ShellOpen("after")); // the recorder is gone: the real opener runs again
    EXPECT_EQ(Opened(), "after|");
}

TEST_F(ShellOpenTest, MissingOpenerIsReported)
{
    setenv("PATH", (dir_ / "nothing-here").c_str(), 1);
    EXPECT_FALSE(ui::ShellOpen("https://example.org/"));
}

} // namespace
