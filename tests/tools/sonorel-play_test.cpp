// sonorel-play --cd lists the CD drives and their tracks the way a person checks an image with it.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/audio_fixtures.h"
#include "support/cd_images.h"

using namespace sonorel_test;

namespace {

// Image drives only: a good sheet numbered from 80 whose second track is data, and one that is
// refused. The copies of the sheets the program made for libcdio go when it ends, and so do those a
// program killed before it could clean up left in the runtime folder.
TEST(SonorelPlay, CdListsEachDriveWithItsTracksOrWhyItIsUnreadable)
{
    const std::string folder = FixtureFolder();
    MakeCdImage(folder, "disc", {{4.0}, {6.0, true}});
    WriteBytes(folder + "/from80.cue", "FILE \"disc.bin\" BINARY\n  TRACK 80 AUDIO\n    INDEX 01 00:00:00\n"
                                       "  TRACK 81 MODE1/2352\n    INDEX 01 00:04:00\n");
    WriteBytes(folder + "/none.cue", "FILE \"disc.bin\" BINARY\n");
    const std::string runtime = folder + "/runtime";
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    std::filesystem::create_directories(runtime + "/sonorel-cd-" + std::to_string(ended) + "-Ab12Cd");
    WriteBytes(runtime + "/sonorel-cd-" + std::to_string(ended) + "-Ab12Cd/1.cue", "left behind");
    const std::string output = folder + "/output.txt";
    const std::string command = "XDG_RUNTIME_DIR='" + runtime + "' SONOREL_CD_IMAGES='" + folder + "/from80.cue:" + folder +
                                "/none.cue' '" SONOREL_PLAY "' --cd >'" + output + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_empty(runtime));
    EXPECT_EQ(ReadBytes(output), "drive 0: Image from80.cue (" + folder + "/from80.cue)\n"
                                 "  track 1: 300 sectors, audio\n"
                                 "  track 2: 450 sectors, data\n"
                                 "drive 1: Image none.cue (" + folder + "/none.cue)\n"
                                 "  unreadable: none.cue: no TRACK line\n");
}

} // namespace
