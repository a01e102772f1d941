#pragma once

#include <string>

namespace skin {

// Composes the skinned windows from the pictures in the skin folder (decoded as the program
// decodes them), with stand-ins for the plain widgets, and saves them as PNG files in `folder`.
bool WritePreviews(const std::string& folder);

} // namespace skin
