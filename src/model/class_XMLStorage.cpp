#include "model/class_XMLStorage.h"

#include "platform/files/ReplaceFile.h"
#include "platform/trace/UserMessage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Hostile files may hold huge texts; messages quote only the start of them.
std::string Quoted(std::string_view text)
{
    constexpr size_t maxShown = 40;
    std::string shown(text.substr(0, maxShown));
    if (text.size() > maxShown)
        shown += "...";
    return "\"" + shown + "\"";
}

std::string_view Trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

[[noreturn]] void ThrowNotANumber(const pugi::xml_attribute& attr, const char* kind = "a number")
{
    throw cXMLStorageError("Can't convert " + Quoted(attr.value()) + " of attribute " + Quoted(attr.name()) + " to " +
                           kind);
}

// A finite decimal number in fixed or scientific notation with "." as the separator.
double ParseNumber(const pugi::xml_attribute& attr)
{
    std::string_view text = Trimmed(attr.value());
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        ThrowNotANumber(attr);
    return value;
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

[[noreturn]] void ThrowLoadError(const std::string& path, const std::string& what)
{
    throw cXMLStorageError("XML Load: " + path + ": " + what);
}

std::string ReadWholeFile(const std::string& path)
{
    // Non-blocking open: a FIFO or device in place of a project must not hang the program.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        ThrowLoadError(path, ErrnoText(errno));
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    struct stat info {};
    if (fstat(fd, &info) != 0)
        ThrowLoadError(path, ErrnoText(errno));
    if (!S_ISREG(info.st_mode))
        ThrowLoadError(path, "not a regular file");
    const auto refuseTooLarge = [&path] {
        ThrowLoadError(path, "the file is larger than " + std::to_string(cXMLStorage::MaxFileBytes >> 20) + " MB");
    };
    if (info.st_size > cXMLStorage::MaxFileBytes)
        refuseTooLarge();
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ThrowLoadError(path, ErrnoText(errno));
        if (got == 0)
            return bytes;
        bytes.append(chunk, static_cast<size_t>(got));
        if (static_cast<int64_t>(bytes.size()) > cXMLStorage::MaxFileBytes) // it grew while read
            refuseTooLarge();
    }
}

// Saving writes beside the file and renames over it: a failed save leaves the old file whole.
void WriteFileSafely(const std::string& requested, const std::string& bytes)
{
    int error = 0;
    if (!WriteFileReplacing(requested, bytes, error))
        throw cXMLStorageError("XML Save: can't write " + FollowLinks(requested) + ": " + ErrnoText(error));
}

} // namespace

std::string FloatText(float value)
{
    if (!std::isfinite(value))
        throw cXMLStorageError("XML Save: can't store a value that is not a finite number");
    if (value == 0)
        return "0";
    // 15 significant digits of the exact (widened) value: d.dddddddddddddde[-]x
    char scientific[64];
    const auto written = std::to_chars(scientific, scientific + sizeof scientific, static_cast<double>(value),
                                       std::chars_format::scientific, 14);
    const std::string_view text(scientific, static_cast<size_t>(written.ptr - scientific));
    const size_t ePos = text.find('e');
    const bool negative = text.front() == '-';
    std::string digits;
    for (char c : text.substr(0, ePos))
        if (c >= '0' && c <= '9')
            digits += c;
    digits.erase(digits.find_last_not_of('0') + 1);
    int exponent = 0;
    std::string_view exponentText = text.substr(ePos + 1);
    if (exponentText.front() == '+')
        exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    std::string out = negative ? "-" : "";
    if (exponent >= -4 && exponent < 15) {
        if (exponent < 0) {
            out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
        } else {
            const size_t intDigits = static_cast<size_t>(exponent) + 1;
            if (digits.size() <= intDigits)
                out += digits + std::string(intDigits - digits.size(), '0');
            else
                out += digits.substr(0, intDigits) + "." + digits.substr(intDigits);
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        out += "E" + std::to_string(exponent);
    }
    return out;
}

std::string IntText(int64_t value) { return std::to_string(value); }

std::string BoolText(bool value) { return value ? "True" : "False"; }

std::string cXMLStorage::ReadAttrString(const pugi::xml_attribute& value) { return value ? value.value() : ""; }

bool cXMLStorage::ReadAttrBool(const pugi::xml_attribute& value)
{
    if (!value)
        return false;
    const std::string_view text = Trimmed(value.value());
    auto sameWord = [text](std::string_view word) {
        return text.size() == word.size() &&
               std::equal(text.begin(), text.end(), word.begin(),
                          [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    };
    if (sameWord("true"))
        return true;
    if (sameWord("false"))
        return false;
    return ParseNumber(value) != 0;
}

float cXMLStorage::ReadAttrFloat(const pugi::xml_attribute& value)
{
    if (!value)
        return 0;
    // Values just above the largest float still round to it (the written text of the largest
    // float is one); only those beyond become infinite.
    const float number = static_cast<float>(ParseNumber(value));
    if (!std::isfinite(number))
        ThrowNotANumber(value);
    return number;
}

int64_t cXMLStorage::ReadAttrTruncated(const pugi::xml_attribute& value, int64_t min, int64_t max)
{
    const long double whole = std::trunc(static_cast<long double>(ReadAttrFloat(value)));
    if (whole < min || whole > max)
        ThrowNotANumber(value, "a whole number in range");
    return static_cast<int64_t>(whole);
}

void cXMLStorage::LoadFromFile(const std::string& path)
{
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        ShowUserMessage("XML Load: file doesn't exist" + path);
        return;
    }
    const std::string bytes = ReadWholeFile(path);
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed)
        ThrowLoadError(path, std::string(parsed.description()) + " at offset " + std::to_string(parsed.offset));
    try {
        Load(doc);
    } catch (const cXMLStorageError& error) {
        ThrowLoadError(path, error.what());
    }
    FileName = path;
    Loaded();
}

std::string cXMLStorage::SaveToText(const std::string& path)
{
    pugi::xml_document doc;
    SavingTo = path;
    Save(doc);
    std::ostringstream out;
    doc.save(out, "   ", pugi::format_indent, pugi::encoding_utf8);
    return out.str();
}

void cXMLStorage::SaveToFile(const std::string& path)
{
    WriteFileSafely(path, SaveToText(path));
    FileName = path;
}
