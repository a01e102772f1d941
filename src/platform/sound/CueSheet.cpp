// The CUE sheet reader of image drives and the sheets and CD-TEXT files it writes for libcdio.

#include "platform/sound/CueSheet.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/files/ReadRegularFile.h"

namespace sound {
namespace {

constexpr int kFramesPerSecond = 75;
constexpr size_t kPackBytes = 18;
constexpr size_t kCdTextHeaderBytes = 4;

// A line's words. A word that starts with a double quote runs to the next one; a text (TITLE and
// the like) to the line's last one, so quotes inside a title do not end it.
class Words {
public:
    explicit Words(std::string_view line) : rest_(line) {}

    // The next word without its quotes; false at the end of the line or at an unclosed quote.
    bool Next(std::string_view& word)
    {
        SkipSpace();
        if (rest_.empty())
            return false;
        if (rest_.front() == '"')
            return Quoted(rest_.find('"', 1), word);
        size_t end = 0;
        while (end < rest_.size() && !IsSpace(rest_[end]))
            ++end;
        word = rest_.substr(0, end);
        rest_.remove_prefix(end);
        return true;
    }

    // The rest of the line as one text: quoted, or the words left as they stand.
    bool Text(std::string_view& text)
    {
        SkipSpace();
        if (!rest_.empty() && rest_.front() == '"')
            return Quoted(rest_.rfind('"'), text) && AtEnd();
        while (!rest_.empty() && IsSpace(rest_.back()))
            rest_.remove_suffix(1);
        text = rest_;
        rest_ = {};
        return true;
    }

    bool AtEnd()
    {
        SkipSpace();
        return rest_.empty();
    }

private:
    static bool IsSpace(char c) { return c == ' ' || c == '\t'; }
    void SkipSpace()
    {
        while (!rest_.empty() && IsSpace(rest_.front()))
            rest_.remove_prefix(1);
    }
    bool Quoted(size_t close, std::string_view& word)
    {
        if (close == std::string_view::npos || close == 0)
            return false;
        word = rest_.substr(1, close - 1);
        rest_.remove_prefix(close + 1);
        return true;
    }

    std::string_view rest_;
};

bool AllDigits(std::string_view text)
{
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return !text.empty();
}

// A number of one or two digits.
bool SmallNumber(std::string_view text, int& value)
{
    if (text.size() > 2 || !AllDigits(text))
        return false;
    value = 0;
    for (char c : text)
        value = value * 10 + (c - '0');
    return true;
}

// "mm:ss:ff" (one or two digits each; seconds below 60, frames below 75) as frames.
bool ParseTime(std::string_view text, int& frames)
{
    const size_t first = text.find(':'), second = text.find(':', first + 1);
    int minutes = 0, seconds = 0, frame = 0;
    if (first == std::string_view::npos || second == std::string_view::npos ||
        !SmallNumber(text.substr(0, first), minutes) || !SmallNumber(text.substr(first + 1, second - first - 1), seconds) ||
        !SmallNumber(text.substr(second + 1), frame) || seconds >= 60 || frame >= kFramesPerSecond)
        return false;
    frames = (minutes * 60 + seconds) * kFramesPerSecond + frame;
    return true;
}

std::string TimeText(int frames)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / kFramesPerSecond / 60, frames / kFramesPerSecond % 60,
                  frames % kFramesPerSecond);
    return text;
}

std::string TwoDigits(int n)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

// A word as a reason quotes it: cut short, so that a line of garbage makes a readable reason.
std::string Quote(std::string_view word)
{
    constexpr size_t kShown = 24;
    size_t shown = std::min(word.size(), kShown);
    while (shown < word.size() && shown > 0 && (static_cast<unsigned char>(word[shown]) & 0xC0) == 0x80)
        --shown; // not inside a UTF-8 character
    return "\"" + std::string(word.substr(0, shown)) + (shown < word.size() ? "…" : "") + "\"";
}

bool IsTrackMode(std::string_view mode)
{
    for (std::string_view known : {"AUDIO", "MODE1/2048", "MODE1/2352", "MODE2/2336", "MODE2/2352"})
        if (mode == known)
            return true;
    return false;
}

// libcdio reads every sector of a BIN as 2352 bytes from its start: sound that follows sectors of
// another size would be read from the wrong place.
bool HasShortSectors(std::string_view mode) { return mode == "MODE1/2048" || mode == "MODE2/2336"; }

constexpr const char* kMissing = "does not exist";

// Why the file at `path` is not one to read: "" for a readable regular file of at most `maxBytes`.
std::string FileProblem(const std::string& path, size_t maxBytes = SIZE_MAX)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? kMissing : std::string("cannot be looked at: ") + std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return "is not a regular file";
    if (static_cast<uint64_t>(info.st_size) > maxBytes)
        return "is larger than " + std::to_string(maxBytes) + " bytes";
    if (access(path.c_str(), R_OK) != 0)
        return std::string("cannot be read: ") + std::strerror(errno);
    return "";
}

// The bytes of a regular file of at most `maxBytes`; nothing, with `why`, for anything else.
std::optional<std::string> ReadBounded(const std::string& path, size_t maxBytes, std::string& why)
{
    why = FileProblem(path, maxBytes);
    std::optional<std::string> bytes = why.empty() ? ReadRegularFile(path, maxBytes) : std::nullopt;
    if (!bytes && why.empty())
        why = "cannot be read";
    return bytes;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The BIN libcdio alone would read: the sheet's name with "cue" made "bin"; "" for other names.
std::string BinNamedAfter(const std::string& sheet)
{
    const size_t stem = sheet.size() - std::min<size_t>(sheet.size(), 4);
    if (sheet.compare(stem, 4, ".cue") == 0)
        return sheet.substr(0, stem) + ".bin";
    if (sheet.compare(stem, 4, ".CUE") == 0)
        return sheet.substr(0, stem) + ".BIN";
    return "";
}

// A file name's last part, after the folders of this system or of one that writes '\'.
std::string_view LastPart(std::string_view name)
{
    const size_t separator = name.find_last_of("/\\");
    return separator == std::string_view::npos ? name : name.substr(separator + 1);
}

// What libcdio stops a text at (a quote, a tab, a CR) becomes a character it reads on past.
std::string LibraryText(std::string_view text)
{
    std::string value(text);
    for (char& c : value)
        c = c == '"' ? '\'' : c == '\t' || c == '\r' ? ' ' : c;
    return value;
}

constexpr const char* kCdTextLine = "CDTEXTFILE"; // where the sheet had its CDTEXTFILE line

// Reads a sheet line by line into a CueSheet; each line's check fails with the reason in `why`.
class SheetReader {
public:
    SheetReader(const std::string& path, CueSheet& sheet)
        : folder_(FolderOf(path)), binNamedAfterSheet_(BinNamedAfter(path)), sheet_(sheet)
    {
    }

    bool Line(int number, std::string_view text)
    {
        line_ = number;
        if (text.size() > kMaxCueLineBytes)
            return Fail("longer than " + std::to_string(kMaxCueLineBytes) + " characters");
        if (text.find('\0') != std::string_view::npos)
            return Fail("holds a NUL character");
        Words words(text);
        std::string_view keyword;
        if (words.AtEnd())
            return true;
        if (!words.Next(keyword))
            return Fail("an unclosed quote");
        if (keyword == "REM")
            return true;
        if (keyword == "FILE")
            return File(words);
        if (keyword == "TRACK")
            return Track(words);
        if (keyword == "INDEX")
            return Index(words);
        if (keyword == "PREGAP" || keyword == "POSTGAP")
            return Gap(keyword, words);
        if (keyword == "FLAGS")
            return Flags(words);
        if (keyword == "ISRC")
            return Isrc(words);
        if (keyword == "CATALOG")
            return Catalog(words);
        if (keyword == "CDTEXTFILE")
            return CdTextFile(words);
        if (keyword == "TITLE" || keyword == "PERFORMER" || keyword == "SONGWRITER")
            return Text(keyword, words);
        return Fail("unknown word " + Quote(keyword));
    }

    bool Finish()
    {
        if (sheet_.bin.empty())
            return Fail("no FILE line", false);
        if (sheet_.tracks.empty())
            return Fail("no TRACK line", false);
        return TrackHasItsStart();
    }

    std::string why;

private:
    bool Fail(const std::string& what, bool onLine = true)
    {
        why = onLine ? "line " + std::to_string(line_) + ": " + what : what;
        return false;
    }
    bool Unexpected(std::string_view keyword) { return Fail("unexpected words after " + std::string(keyword)); }
    bool InTrack(std::string_view keyword)
    {
        return !sheet_.tracks.empty() || Fail(std::string(keyword) + " before the first TRACK");
    }
    bool BeforeTracks(std::string_view keyword)
    {
        return sheet_.tracks.empty() || Fail(std::string(keyword) + " after a TRACK: it belongs before them");
    }
    std::vector<std::string>& Lines() { return sheet_.tracks.empty() ? sheet_.discLines : sheet_.tracks.back().lines; }
    std::string InFolder(std::string_view name) const
    {
        return !name.empty() && name.front() == '/' ? std::string(name) : folder_ + "/" + std::string(name);
    }

    bool File(Words& words)
    {
        std::string_view name, type;
        if (!sheet_.bin.empty())
            return Fail("a second FILE: sheets of more than one file are not read");
        if (!words.Next(name) || name.empty() || !words.Next(type))
            return Fail("FILE needs a file name and a type");
        if (!words.AtEnd())
            return Unexpected("FILE");
        sheet_.bin = InFolder(name);
        sheet_.files.push_back(sheet_.bin);
        if (type != "BINARY")
            return Fail("FILE of type " + Quote(type) + ": only BINARY files of raw CD sectors are read");
        const std::string problem = FileProblem(sheet_.bin);
        if (problem.empty())
            return true;
        if (problem == kMissing &&
            (ReadInstead(folder_ + "/" + std::string(LastPart(name))) || ReadInstead(binNamedAfterSheet_)))
            return true;
        return Fail("the file " + sheet_.bin + " " + problem);
    }

    // Reads `bin` in place of the FILE line's file when it is there.
    bool ReadInstead(const std::string& bin)
    {
        if (bin.empty() || std::find(sheet_.files.begin(), sheet_.files.end(), bin) != sheet_.files.end())
            return false;
        sheet_.files.push_back(bin);
        if (!FileProblem(bin).empty())
            return false;
        sheet_.namedBin = sheet_.bin;
        sheet_.bin = bin;
        return true;
    }

    bool Track(Words& words)
    {
        std::string_view numberText, mode;
        int number = 0;
        if (sheet_.bin.empty())
            return Fail("TRACK before the FILE line");
        if (!words.Next(numberText) || !words.Next(mode))
            return Fail("TRACK needs a number and a mode");
        if (!words.AtEnd())
            return Unexpected("TRACK");
        if (!SmallNumber(numberText, number) || number < 1)
            return Fail("track number " + Quote(numberText) + " is not 1 to 99");
        if (!sheet_.tracks.empty() && number != sheet_.tracks.back().number + 1)
            return Fail("TRACK " + TwoDigits(number) + " after TRACK " + TwoDigits(sheet_.tracks.back().number) +
                        ": tracks must be numbered in sequence");
        if (!IsTrackMode(mode))
            return Fail("unknown track mode " + Quote(mode));
        if (mode == "AUDIO" && shortSectorsSeen_)
            return Fail("an AUDIO track after a data track of 2048- or 2336-byte sectors: its sound cannot be found in the BIN");
        if (!TrackHasItsStart())
            return false;
        shortSectorsSeen_ = shortSectorsSeen_ || HasShortSectors(mode);
        sheet_.tracks.push_back({number, std::string(mode), {}});
        trackLine_ = line_;
        lastIndex_ = -1;
        return true;
    }

    // The track before has its INDEX 01 (checked when the next TRACK starts and at the end).
    bool TrackHasItsStart()
    {
        if (sheet_.tracks.empty() || lastIndex_ >= 1)
            return true;
        line_ = trackLine_;
        return Fail("TRACK " + TwoDigits(sheet_.tracks.back().number) + " has no INDEX 01");
    }

    bool Index(Words& words)
    {
        std::string_view numberText, timeText;
        int number = 0, frames = 0;
        if (!InTrack("INDEX"))
            return false;
        if (!words.Next(numberText) || !words.Next(timeText))
            return Fail("INDEX needs a number and a time");
        if (!words.AtEnd())
            return Unexpected("INDEX");
        if (!SmallNumber(numberText, number))
            return Fail("index number " + Quote(numberText) + " is not 0 to 99");
        if (number != lastIndex_ + 1 && !(lastIndex_ == -1 && number == 1))
            return Fail("INDEX " + TwoDigits(number) + (lastIndex_ < 0 ? " first in its track" : " after INDEX " + TwoDigits(lastIndex_)) +
                        ": indexes must be numbered in sequence from 00 or 01");
        if (!ParseTime(timeText, frames))
            return Fail(Quote(timeText) + " is not a time mm:ss:ff (seconds below 60, frames below 75)");
        if (frames <= lastFrames_)
            return Fail("INDEX " + TwoDigits(number) + " at " + TimeText(frames) + " is not after the index before it, at " +
                        TimeText(lastFrames_));
        lastIndex_ = number;
        lastFrames_ = frames;
        Lines().push_back("INDEX " + TwoDigits(number) + " " + TimeText(frames));
        return true;
    }

    // PREGAP and POSTGAP are silence the BIN does not hold; libcdio reads no POSTGAP, so it is checked
    // and left out of its sheet.
    bool Gap(std::string_view keyword, Words& words)
    {
        std::string_view timeText;
        int frames = 0;
        if (!InTrack(keyword))
            return false;
        if (!words.Next(timeText) || !words.AtEnd() || !ParseTime(timeText, frames))
            return Fail(std::string(keyword) + " needs one time mm:ss:ff (seconds below 60, frames below 75)");
        if (keyword == "PREGAP")
            Lines().push_back("PREGAP " + TimeText(frames));
        return true;
    }

    bool Flags(Words& words)
    {
        if (!InTrack("FLAGS"))
            return false;
        std::string line = "FLAGS";
        for (std::string_view flag; words.Next(flag);) {
            if (flag != "DCP" && flag != "4CH" && flag != "PRE" && flag != "SCMS")
                return Fail("unknown flag " + Quote(flag));
            line += " " + std::string(flag);
        }
        Lines().push_back(line);
        return true;
    }

    bool Isrc(Words& words)
    {
        std::string_view code;
        if (!InTrack("ISRC"))
            return false;
        bool valid = words.Next(code) && words.AtEnd() && code.size() == 12;
        for (char c : code)
            valid = valid && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'));
        if (!valid)
            return Fail("ISRC needs a code of 12 capital letters and digits");
        Lines().push_back("ISRC " + std::string(code));
        return true;
    }

    bool Catalog(Words& words)
    {
        std::string_view number;
        if (!BeforeTracks("CATALOG"))
            return false;
        if (!words.Next(number) || !words.AtEnd() || number.size() != 13 || !AllDigits(number))
            return Fail("CATALOG needs a number of 13 digits");
        sheet_.discLines.push_back("CATALOG " + std::string(number));
        return true;
    }

    bool CdTextFile(Words& words)
    {
        std::string_view name;
        if (!BeforeTracks("CDTEXTFILE"))
            return false;
        if (!sheet_.cdTextFile.empty())
            return Fail("a second CDTEXTFILE");
        if (!words.Next(name) || name.empty() || !words.AtEnd())
            return Fail("CDTEXTFILE needs one file name");
        sheet_.cdTextFile = InFolder(name);
        sheet_.files.push_back(sheet_.cdTextFile);
        sheet_.discLines.push_back(kCdTextLine); // libcdio reads the texts in order: a later one wins
        return true;
    }

    bool Text(std::string_view keyword, Words& words)
    {
        std::string_view text;
        if (!words.Text(text))
            return Fail(std::string(keyword) + " has an unclosed quote or words after its closing one");
        if (!text.empty())
            Lines().push_back(std::string(keyword) + " \"" + LibraryText(text) + "\"");
        return true;
    }

    const std::string folder_;
    const std::string binNamedAfterSheet_;
    CueSheet& sheet_;
    int line_ = 0;
    int trackLine_ = 0;
    int lastIndex_ = -1;  // the last INDEX number of the track in hand; -1 before its first
    int lastFrames_ = -1; // the time of the sheet's last INDEX
    bool shortSectorsSeen_ = false;
};

uint16_t PackCrc(const uint8_t* pack)
{
    uint16_t crc = 0;
    for (size_t i = 0; i < kPackBytes - 2; ++i) {
        crc ^= static_cast<uint16_t>(pack[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<uint16_t>(~crc);
}

// Moves the track numbers of CD-TEXT packs down by firstTrack - 1, as the sheet's tracks move.
// Text packs (0x80 to 0x87, and 0x8E for codes) name their track in byte 1, under the extension
// flag in bit 7; the first size information pack (0x8F) holds the first and last track in bytes
// 5 and 6. A pack's CRC is made again once its numbers moved.
void RenumberPacks(std::string& packs, int firstTrack)
{
    const int shift = firstTrack - 1;
    auto move = [firstTrack, shift](uint8_t& number, uint8_t keep) {
        const int track = number & ~keep;
        if (track >= firstTrack && track <= 99)
            number = static_cast<uint8_t>((number & keep) | (track - shift));
    };
    for (size_t at = 0; shift > 0 && at + kPackBytes <= packs.size(); at += kPackBytes) {
        auto* pack = reinterpret_cast<uint8_t*>(&packs[at]);
        if ((pack[0] >= 0x80 && pack[0] <= 0x87) || pack[0] == 0x8E) {
            move(pack[1], 0x80);
        } else if (pack[0] == 0x8F && pack[1] == 0) {
            move(pack[5], 0);
            move(pack[6], 0);
        } else {
            continue;
        }
        const uint16_t crc = PackCrc(pack);
        pack[16] = static_cast<uint8_t>(crc >> 8);
        pack[17] = static_cast<uint8_t>(crc & 0xFF);
    }
}

} // namespace

bool ReadCueSheet(const std::string& path, CueSheet& sheet, std::string& why)
{
    sheet = {};
    const std::optional<std::string> text = ReadBounded(path, kMaxCueSheetBytes, why);
    if (!text) {
        why = "the sheet " + why;
        return false;
    }
    std::string_view rest(*text);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") // a byte order mark, as editors on other systems write
        rest.remove_prefix(3);
    SheetReader reader(path, sheet);
    for (int number = 1; !rest.empty(); ++number) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!reader.Line(number, line)) {
            why = reader.why;
            return false;
        }
    }
    if (!reader.Finish()) {
        why = reader.why;
        return false;
    }
    return true;
}

std::string LibraryCueSheet(const CueSheet& sheet, const std::string& binName, const std::string& cdTextName)
{
    std::string text;
    for (const std::string& line : sheet.discLines)
        if (line != kCdTextLine)
            text += line + "\n";
        else if (!cdTextName.empty())
            text += "CDTEXTFILE \"" + cdTextName + "\"\n";
    text += "FILE \"" + binName + "\" BINARY\n";
    const int shift = sheet.tracks.front().number - 1;
    for (const CueTrack& track : sheet.tracks) {
        text += "  TRACK " + TwoDigits(track.number - shift) + " " + track.mode + "\n";
        for (const std::string& line : track.lines)
            text += "    " + line + "\n";
    }
    return text;
}

std::optional<std::string> ReadCdTextPacks(const std::string& path, int firstTrack, std::string& why)
{
    std::optional<std::string> packs = ReadBounded(path, kMaxCdTextBytes + kCdTextHeaderBytes + 1, why);
    if (!packs) {
        why = "it " + why;
        return std::nullopt;
    }
    const size_t bytes = packs->size();
    const size_t extra = bytes % kPackBytes;
    if ((extra == 1 || extra == kCdTextHeaderBytes + 1) && packs->back() == '\0')
        packs->pop_back();
    if (packs->size() % kPackBytes == kCdTextHeaderBytes)
        packs->erase(0, kCdTextHeaderBytes);
    if (packs->empty() || packs->size() % kPackBytes != 0) {
        why = "its " + std::to_string(bytes) + " bytes are not whole 18-byte packs after an optional 4-byte header";
        return std::nullopt;
    }
    // libcdio 2.1 takes a first byte above 0x80 for a header, which it then cuts from the end, not
    // the start: four bytes of padding give it back its last pack.
    const bool padded = static_cast<uint8_t>(packs->front()) > 0x80;
    if (packs->size() + (padded ? kCdTextHeaderBytes : 0) > kMaxCdTextBytes) {
        why = "its packs are larger than " + std::to_string(kMaxCdTextBytes - (padded ? kCdTextHeaderBytes : 0)) + " bytes";
        return std::nullopt;
    }
    RenumberPacks(*packs, firstTrack);
    if (padded)
        packs->append(kCdTextHeaderBytes, '\0');
    return packs;
}

} // namespace sound
