#pragma once

#include <string>
#include <vector>

// The command line as the program was started: parameter 0 is the program's own path. main sets
// it before anything else runs; tests set their own.
void SetCommandLine(int argc, const char* const* argv);
void SetCommandLine(std::vector<std::string> arguments); // arguments[0] is the program's path

int ParamCount();              // parameters after the program's path
std::string ParamStr(int index); // 0 is the program's path; empty past the last

// A switch is a bare word ("trace", no leading '-' or '/') compared with every parameter,
// ignoring case.
bool IsSwitch(const std::string& name);
// The parameter after the first one equal to the name; empty when absent or last.
std::string SwitchValue(const std::string& name);
// SwitchValue as an integer; the fallback when it is not one (or the switch is absent).
int SwitchInt(const std::string& name, int fallback);
