#pragma once

#include <string>

// One persistent setting: its name and the text it reads as while nothing (or nothing but the
// empty text) is stored.
struct TRegString {
    TRegString(std::string name, std::string defaultText);
    std::string Name;
    std::string Default;
};

extern const TRegString ShowHelp;          // "1": the main window's help panel is shown at start
extern const TRegString OutputDevice;      // "0": name of the chosen output device
extern const TRegString OutputDeviceIndex; // "0": its index in the device list (written only)
extern const TRegString OutputFrequency;   // "44100": output sample rate in Hz
extern const TRegString LoadLast;          // "1": load the last project at start
extern const TRegString LastProject;       // "": path of the project open when the program closed

std::string ReadSettingString(const TRegString& setting);
int ReadSettingInt(const TRegString& setting);   // 0 when the text is not an integer
bool ReadSettingBool(const TRegString& setting); // a non-zero number, or True/False; else false
void WriteSettingString(const TRegString& setting, const std::string& text);
void WriteSettingInt(const TRegString& setting, int value);
void WriteSettingBool(const TRegString& setting, bool value); // "-1" or "0"

// The store beneath the settings: an INI file (Sonorel/Sonorel.ini in the XDG config directory)
// with one entry per key path "<executable file name>\<setting name>", holding its text. A
// missing or empty entry reads as the fallback.
std::string RegistryReadString(const std::string& keyPath, const std::string& fallback);
void RegistryWriteString(const std::string& keyPath, const std::string& text);
