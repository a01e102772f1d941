#include "platform/text/NumberText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace ui {
namespace {

std::string_view Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// from_chars takes no '+'; accept it only where a number follows.
std::string_view WithoutPlus(std::string_view text)
{
    if (text.size() > 1 && text[0] == '+' && (std::isdigit(static_cast<unsigned char>(text[1])) || text[1] == '.'))
        text.remove_prefix(1);
    return text;
}

template <typename T, typename... Format>
bool ParseWhole(std::string_view text, T& value, Format... format)
{
    text = WithoutPlus(Trimmed(text));
    if (text.empty())
        return false;
    T parsed{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed, format...);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    value = parsed;
    return true;
}

std::string GeneralText(double value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
    return std::string(buffer, result.ptr);
}

constexpr int significantDigits = 10;

} // namespace

bool TextToInt(std::string_view text, int& value)
{
    return ParseWhole(text, value);
}

int TextToIntDef(std::string_view text, int fallback)
{
    int value = fallback;
    return TextToInt(text, value) ? value : fallback;
}

bool TextToFloat(std::string_view text, double& value)
{
    double parsed = 0;
    if (!ParseWhole(text, parsed, std::chars_format::general) || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

// Rounds the exact decimal expansion of the float once, halves away from zero, so 0.125 with two
// decimals gives 0.13 whatever the binary rounding mode would do.
std::string FloatToText(float value, int decimals)
{
    if (!std::isfinite(value))
        return GeneralText(value);
    decimals = std::clamp(decimals, 0, 18);
    char buffer[256]; // a float's expansion has at most 39 integer and 149 fraction digits
    auto written = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(std::fabs(value)),
                                 std::chars_format::fixed, 150);
    std::string exact(buffer, written.ptr);
    const size_t point = exact.find('.');
    std::string digits = "0" + exact.substr(0, point) + exact.substr(point + 1); // the "0" takes a carry
    size_t integerDigits = point + 1;

    const size_t firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos)
        return "0";
    if (firstSignificant < integerDigits && integerDigits - firstSignificant > significantDigits)
        return GeneralText(value); // too large for fixed notation at this precision

    size_t kept = std::min(integerDigits + decimals, firstSignificant + significantDigits);
    const bool roundUp = digits[kept] >= '5';
    digits.resize(kept);
    for (size_t i = kept; roundUp && i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            break;
        }
    }

    std::string integer = digits.substr(0, integerDigits);
    std::string fraction = kept > integerDigits ? digits.substr(integerDigits) : std::string();
    integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size() - 1));
    fraction.erase(fraction.find_last_not_of('0') + 1);
    if (integer == "0" && fraction.empty())
        return "0";
    std::string text = value < 0 ? "-" : "";
    text += integer;
    if (!fraction.empty())
        text += "." + fraction;
    return text;
}

std::string StepFloatText(const std::string& text, float step, bool allowNegative)
{
    double number = 0;
    if (!TextToFloat(text, number))
        return text;
    const float stepped = static_cast<float>(number) + step;
    if (stepped < 0 && !allowNegative)
        return text;
    return FloatToText(stepped, 2);
}

} // namespace ui
