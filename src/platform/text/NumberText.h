#pragma once

#include <string>
#include <string_view>

// Number <-> text conversions that never depend on the C locale ('.' is always the decimal
// separator). Leading and trailing blanks are ignored when reading.

namespace ui {

// A whole decimal integer with an optional sign that fits an int; false for anything else.
bool TextToInt(std::string_view text, int& value);
int TextToIntDef(std::string_view text, int fallback);

// A decimal number (optional sign, fraction and exponent); false for anything else, also for
// nan and inf.
bool TextToFloat(std::string_view text, double& value);

// The value rounded to the given decimals (at most 10 significant digits, halves away from zero),
// then written without trailing zeros: 1.5 with 2 decimals gives "1.5", 2 gives "2".
std::string FloatToText(float value, int decimals);

// The text of a spin box's number after one step, with 2 decimals. When the result would be
// negative and negatives are not allowed, or the text is not a number, the text stays as it is.
std::string StepFloatText(const std::string& text, float step, bool allowNegative);

} // namespace ui
