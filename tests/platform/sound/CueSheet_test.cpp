// The CUE sheet reader of image drives: what it refuses and why, the sheet it writes for libcdio
// and the CD-TEXT packs it hands on.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/sound/CueSheet.h"
#include "support/audio_fixtures.h"
#include "support/cd_images.h"

using namespace sonorel_test;

namespace {

class CueSheetTest : public ::testing::Test {
protected:
    void SetUp() override { WriteBytes(folder + "/disc.bin", std::string(2352 * 10, '\0')); }
    // Reads `text` as the sheet <folder>/<name>.cue; the reason, or "" when it is read.
    std::string Refusal(const std::string& text, sound::CueSheet* read = nullptr, const std::string& name = "disc")
    {
        WriteBytes(folder + "/" + name + ".cue", text);
        sound::CueSheet sheet;
        std::string why;
        const bool ok = sound::ReadCueSheet(folder + "/" + name + ".cue", sheet, why);
        if (read)
            *read = sheet;
        return ok ? "" : why;
    }
    const std::string folder = FixtureFolder();
};

// Everything a sheet may hold, from a system that ends lines with CR LF and starts with a byte
// order mark, numbered from 80: libcdio's copy is numbered from 1, names the files it is given,
// keeps the order of the disc's texts and CD-TEXT file (the last one read wins), holds neither the
// remarks nor the postgap it does not read, and has texts without the quotes and tabs it stops at.
TEST_F(CueSheetTest, TheLibrarysSheetIsNumberedFromOneAndHoldsWhatWasChecked)
{
    const std::string text = "\xEF\xBB\xBFREM GENRE Jazz\r\n"
                             "CATALOG 1234567890123\r\n"
                             "PERFORMER \"The Quartet\"\r\n"
                             "TITLE \"Night \"Live\"\tSessions\"\r\n"
                             "CDTEXTFILE \"disc.cdt\"\r\n"
                             "FILE disc.bin BINARY\r\n"
                             "  TRACK 80 AUDIO\r\n"
                             "    FLAGS DCP PRE\r\n"
                             "    ISRC USRC17607839\r\n"
                             "    TITLE Opening night\r\n"
                             "    INDEX 01 0:0:0\r\n"
                             "    POSTGAP 00:01:00\r\n"
                             "\r\n"
                             "  TRACK 81 MODE1/2352\r\n"
                             "    PREGAP 00:02:00\r\n"
                             "    INDEX 00 00:04:00\r\n"
                             "    INDEX 01 00:05:00\r\n"
                             "    INDEX 02 00:06:74\r\n";
    sound::CueSheet sheet;
    ASSERT_EQ(Refusal(text, &sheet), "");
    EXPECT_EQ(sheet.bin, folder + "/disc.bin");
    EXPECT_EQ(sheet.cdTextFile, folder + "/disc.cdt");
    const std::string withText = "CATALOG 1234567890123\n"
                                 "PERFORMER \"The Quartet\"\n"
                                 "TITLE \"Night 'Live' Sessions\"\n"
                                 "CDTEXTFILE \"7.cdt\"\n"
                                 "FILE \"7.bin\" BINARY\n"
                                 "  TRACK 01 AUDIO\n"
                                 "    FLAGS DCP PRE\n"
                                 "    ISRC USRC17607839\n"
                                 "    TITLE \"Opening night\"\n"
                                 "    INDEX 01 00:00:00\n"
                                 "  TRACK 02 MODE1/2352\n"
                                 "    PREGAP 00:02:00\n"
                                 "    INDEX 00 00:04:00\n"
                                 "    INDEX 01 00:05:00\n"
                                 "    INDEX 02 00:06:74\n";
    EXPECT_EQ(sound::LibraryCueSheet(sheet, "7.bin", "7.cdt"), withText);
    std::string withoutText = withText;
    withoutText.erase(withText.find("CDTEXTFILE"), 19);
    EXPECT_EQ(sound::LibraryCueSheet(sheet, "7.bin", ""), withoutText);
}

// A FILE line's file that is not there is looked for by its last part beside the sheet (a sheet
// made on another system), then as the BIN named after the sheet; every file looked at is one to
// watch for a change.
TEST_F(CueSheetTest, AMissingBinIsLookedForBesideTheSheet)
{
    const std::string track = "TRACK 01 AUDIO\nINDEX 01 00:00:00\n";
    const struct {
        std::string sheetName;
        std::string named;
        std::string why;
        std::vector<std::string> files; // looked at, the BIN read last
    } cases[] = {
        {"disc", "C:\\rips\\disc.bin", "", {"/C:\\rips\\disc.bin", "/disc.bin"}},
        {"disc", "renamed.bin", "", {"/renamed.bin", "/disc.bin"}},
        {"other", "gone/disc.bin", "", {"/gone/disc.bin", "/disc.bin"}},
        {"other", "gone/missing.bin", "line 1: the file " + folder + "/gone/missing.bin does not exist",
         {"/gone/missing.bin", "/missing.bin", "/other.bin"}},
    };
    for (const auto& c : cases) {
        sound::CueSheet sheet;
        EXPECT_EQ(Refusal("FILE \"" + c.named + "\" BINARY\n" + track, &sheet, c.sheetName), c.why) << c.named;
        std::vector<std::string> files;
        for (const std::string& file : c.files)
            files.push_back(folder + file);
        EXPECT_EQ(sheet.files, files) << c.named;
        if (c.why.empty()) {
            EXPECT_EQ(sheet.bin, folder + "/disc.bin") << c.named;
            EXPECT_EQ(sheet.namedBin, folder + "/" + c.named) << c.named;
        }
    }
}

TEST_F(CueSheetTest, ARefusalNamesTheLineAndWhy)
{
    const std::string file = "FILE \"disc.bin\" BINARY\n";
    const std::string track = "TRACK 01 AUDIO\nINDEX 01 00:00:00\n";
    std::filesystem::create_directory(folder + "/folder.bin");
    const struct {
        std::string sheet;
        std::string why;
    } cases[] = {
        {"", "no FILE line"},
        {track, "line 1: TRACK before the FILE line"},
        {file + "TRACK 00 AUDIO\n", "line 2: track number \"00\" is not 1 to 99"},
        {file + "TRACK 100 AUDIO\n", "line 2: track number \"100\" is not 1 to 99"},
        {file + "TRACK 01 MODE3/2352\n", "line 2: unknown track mode \"MODE3/2352\""},
        {file + "TRACK 01 AUDIO extra\n", "line 2: unexpected words after TRACK"},
        {file + "TRACK 01 MODE1/2048\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n",
         "line 4: an AUDIO track after a data track of 2048- or 2336-byte sectors: its sound cannot be found in the BIN"},
        {file + "INDEX 01 00:00:00\n", "line 2: INDEX before the first TRACK"},
        {file + "TRACK 01 AUDIO\nINDEX 02 00:00:00\n",
         "line 3: INDEX 02 first in its track: indexes must be numbered in sequence from 00 or 01"},
        {file + "TRACK 01 AUDIO\nINDEX 01 00:60:00\n", "line 3: \"00:60:00\" is not a time mm:ss:ff (seconds below 60, frames below 75)"},
        {file + "TRACK 01 AUDIO\nINDEX 01 100:00:00\n", "line 3: \"100:00:00\" is not a time mm:ss:ff (seconds below 60, frames below 75)"},
        {file + "TRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 02 00:00:00\n",
         "line 4: INDEX 02 at 00:00:00 is not after the index before it, at 00:00:00"},
        {file + track + "ISRC US-RC1-76-07839\n", "line 4: ISRC needs a code of 12 capital letters and digits"},
        {file + track + "FLAGS DCP LOUD\n", "line 4: unknown flag \"LOUD\""},
        {file + track + "CATALOG 1234567890123\n", "line 4: CATALOG after a TRACK: it belongs before them"},
        {"CATALOG 12345\n" + file, "line 1: CATALOG needs a number of 13 digits"},
        {file + track + "TITLE \"Opening\n", "line 4: TITLE has an unclosed quote or words after its closing one"},
        {file + "\"TRACK 01 AUDIO\n", "line 2: an unclosed quote"},
        {file + track + "PREGAP soon\n", "line 4: PREGAP needs one time mm:ss:ff (seconds below 60, frames below 75)"},
        {"FILE \"folder.bin\" BINARY\n", "line 1: the file " + folder + "/folder.bin is not a regular file"},
        {"FILE \"disc.bin\"\n", "line 1: FILE needs a file name and a type"},
        {"FILE \"disc.bin\" MOTOROLA\n", "line 1: FILE of type \"MOTOROLA\": only BINARY files of raw CD sectors are read"},
        {"\xEF\xBB\xBFWAVEFILE \"d\xC3\xA9j\xC3\xA0-vu-0123456789012345678.wav\"\n", "line 1: unknown word \"WAVEFILE\""},
        {"GARBAGE\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\n",
         "line 1: unknown word \"GARBAGE\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9…\""},
        {file + "REM " + std::string(sound::kMaxCueLineBytes, 'x') + "\n", "line 2: longer than 4000 characters"},
        {file + std::string("REM a\0b\n", 8), "line 2: holds a NUL character"},
        {std::string(sound::kMaxCueSheetBytes + 1, '\n'), "the sheet is larger than 1048576 bytes"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Refusal(c.sheet), c.why) << c.sheet.substr(0, 200);
    EXPECT_EQ(Refusal(file + track), "");
}

// A CD-TEXT file reaches libcdio without its header, with its tracks numbered as the sheet's copy
// numbers them (pack CRCs made again), and padded where libcdio 2.1 would cut its last pack.
TEST_F(CueSheetTest, CdTextPacksAreHandedOnAsLibcdioReadsThem)
{
    const std::string path = folder + "/disc.cdt";
    const CdTrackText disc{"Ann & Bob", "Duets"};
    const std::vector<CdTrackText> tracks = {{"Ann", "One"}, {"Bob", "Two"}};
    std::string why;

    WriteBytes(path, MakeCdText(1, disc, tracks));
    EXPECT_EQ(sound::ReadCdTextPacks(path, 1, why), MakeCdText(1, disc, tracks, false)) << why;
    WriteBytes(path, MakeCdText(80, disc, tracks) + std::string(1, '\0')); // a closing NUL, as some programs write
    EXPECT_EQ(sound::ReadCdTextPacks(path, 80, why), MakeCdText(1, disc, tracks, false)) << why;
    WriteBytes(path, MakeCdText(80, {"Ann & Bob", ""}, {{"Ann", ""}, {"Bob", ""}}, false)); // first pack 0x81
    EXPECT_EQ(sound::ReadCdTextPacks(path, 80, why), MakeCdText(1, {"Ann & Bob", ""}, {{"Ann", ""}, {"Bob", ""}}, false) +
                                                         std::string(4, '\0'));

    const std::string packs = MakeCdText(1, disc, tracks, false);
    std::filesystem::create_directory(folder + "/folder.cdt");
    const struct {
        std::string path;
        std::string bytes;
        std::string why;
    } refused[] = {
        {path, "abc", "its 3 bytes are not whole 18-byte packs after an optional 4-byte header"},
        {path, packs.substr(0, 4), "its 4 bytes are not whole 18-byte packs after an optional 4-byte header"},
        {path, packs + "x", "its " + std::to_string(packs.size() + 1) + " bytes are not whole 18-byte packs after an optional 4-byte header"},
        {path, std::string(sound::kMaxCdTextBytes + 18, '\x80'), "it is larger than 9221 bytes"},
        {path, std::string(sound::kMaxCdTextBytes, '\x81'), "its packs are larger than 9212 bytes"},
        {folder + "/folder.cdt", "", "it is not a regular file"},
        {folder + "/missing.cdt", "", "it does not exist"},
    };
    for (const auto& c : refused) {
        if (c.path == path)
            WriteBytes(path, c.bytes);
        EXPECT_EQ(sound::ReadCdTextPacks(c.path, 1, why), std::nullopt) << c.why;
        EXPECT_EQ(why, c.why);
    }
}

} // namespace
