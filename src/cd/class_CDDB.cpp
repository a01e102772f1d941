#include "cd/class_CDDB.h"

#include <cctype>
#include <stdexcept>

#include "cd/class_HTTPQuery.h"
#include "platform/trace/Trace.h"

CDDBServerAddress CDDBServer;

namespace {

const std::string kScript = "/~cddb/cddb.cgi?";
const std::string kQueryHello = "&hello=sonorel+sonorel.invalid+Client+1.5";
const std::string kReadHello = "&hello=rip+example.org+Client+1.5";
const std::string kNoInfo = "Can't get information for this CD.";

bool IsBlankOrControl(unsigned char c) { return c <= ' ' || c == 0x7f; }

// The token that starts at `at` and ends at any blank or control character.
std::string Token(const std::string& text, size_t at)
{
    size_t end = at;
    while (end < text.size() && !IsBlankOrControl(static_cast<unsigned char>(text[end])))
        ++end;
    return text.substr(at, end - at);
}

bool AllOf(const std::string& text, int (*test)(int))
{
    if (text.empty())
        return false;
    for (unsigned char c : text)
        if (!test(c))
            return false;
    return true;
}

std::string Trimmed(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlankOrControl(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsBlankOrControl(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

struct QueryMatch {
    std::string category, discId, title;
};

// "200 <category> <disc id> <title>": only a category of letters and an 8-hex-digit id may go
// on into the read request, whose path carries them unencoded.
QueryMatch ParseExactMatch(const std::string& body)
{
    if (body.compare(0, 3, "200") != 0 || body.size() < 4 || body[3] != ' ')
        throw std::runtime_error(kNoInfo);
    QueryMatch match;
    match.category = Token(body, 4);
    const size_t idAt = 4 + match.category.size() + 1;
    if (!AllOf(match.category, std::isalpha) || idAt > body.size() || body[idAt - 1] != ' ')
        throw std::runtime_error(kNoInfo);
    match.discId = Token(body, idAt);
    if (match.discId.size() != 8 || !AllOf(match.discId, std::isxdigit))
        throw std::runtime_error(kNoInfo);
    const size_t titleAt = idAt + match.discId.size();
    const size_t lineEnd = body.find_first_of("\r\n", titleAt);
    match.title = CDDBTextToUtf8(Trimmed(body.substr(titleAt, lineEnd - titleAt)));
    return match;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

// Well-formed UTF-8 as Unicode defines it: no overlong forms, no surrogates (U+D800 to U+DFFF),
// nothing above U+10FFFF. The lead byte fixes how many bytes follow and the range of the first.
bool IsValidUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            low = c == 0xE0 ? 0xA0 : low;   // overlong below U+0800
            high = c == 0xED ? 0x9F : high; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            low = c == 0xF0 ? 0x90 : low;   // overlong below U+10000
            high = c == 0xF4 ? 0x8F : high; // above U+10FFFF
        } else {
            return false; // a continuation byte, C0, C1 (overlong) or F5 and above
        }
        if (i + extra >= text.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = text[i + k];
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                return false;
        }
        i += extra + 1;
    }
    return true;
}

} // namespace

std::string CDDBTextToUtf8(const std::string& text)
{
    if (IsValidUtf8(text))
        return text;
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void cCDDB_Talk::GetDiscInfo(const std::string& id)
{
    TrackTitles->clear();
    DiscTitle.clear();
    cHTTPQuery http(CDDBServer.host, CDDBServer.port);
    http.Resolve();
    const std::string query = http.Query(kScript + "cmd=cddb+query+" + URLEncode(id) + kQueryHello + "&proto=1", true);
    const QueryMatch match = ParseExactMatch(query);
    DiscTitle = match.title;
    const std::string read =
        http.Query(kScript + "cmd=cddb+read+" + match.category + "+" + match.discId + kReadHello + "&proto=3", true);
    for (const std::string& line : Lines(read)) {
        if (line.compare(0, 6, "TTITLE") != 0)
            continue;
        const size_t equals = line.find('=');
        TrackTitles->push_back(CDDBTextToUtf8(equals == std::string::npos ? "" : line.substr(equals + 1)));
    }
    http.Reset();
}

bool RunCDDBQuery(cCDDB_Talk& talk, const std::string& id)
{
    try {
        talk.GetDiscInfo(id);
        return true;
    } catch (const std::exception& e) {
        trace(std::string("CDDB lookup failed: ") + e.what());
        return false;
    }
}
