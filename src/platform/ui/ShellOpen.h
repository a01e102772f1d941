#pragma once

#include <string>
#include <vector>

namespace ui {

// Opens a document or web address with the desktop's preferred program (xdg-open), without
// waiting for it. False when the opener could not be started.
bool ShellOpen(const std::string& target);

// Tests install a recorder: while it lives nothing is started; every target is recorded and
// ShellOpen answers true.
class ShellOpenRecorder {
public:
    ShellOpenRecorder();
    ~ShellOpenRecorder();
    ShellOpenRecorder(const ShellOpenRecorder&) = delete;
    ShellOpenRecorder& operator=(const ShellOpenRecorder&) = delete;

    std::vector<std::string> Targets() const;
};

} // namespace ui
