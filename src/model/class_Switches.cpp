#include "model/class_Switches.h"

#include "platform/text/NumberText.h"

#include <algorithm>
#include <cctype>

namespace {

std::vector<std::string> commandLine;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Index of the first parameter equal to the name ignoring case; 0 when there is none.
int SwitchIndex(const std::string& name)
{
    const std::string wanted = Lower(name);
    for (int i = 1; i <= ParamCount(); ++i)
        if (Lower(commandLine[i]) == wanted)
            return i;
    return 0;
}

} // namespace

void SetCommandLine(int argc, const char* const* argv)
{
    SetCommandLine(std::vector<std::string>(argv, argv + argc));
}

void SetCommandLine(std::vector<std::string> arguments)
{
    commandLine = std::move(arguments);
}

int ParamCount()
{
    return commandLine.empty() ? 0 : static_cast<int>(commandLine.size()) - 1;
}

std::string ParamStr(int index)
{
    if (index < 0 || index >= static_cast<int>(commandLine.size()))
        return {};
    return commandLine[index];
}

bool IsSwitch(const std::string& name)
{
    return SwitchIndex(name) != 0;
}

std::string SwitchValue(const std::string& name)
{
    const int index = SwitchIndex(name);
    return index != 0 ? ParamStr(index + 1) : std::string();
}

int SwitchInt(const std::string& name, int fallback)
{
    return ui::TextToIntDef(SwitchValue(name), fallback);
}
