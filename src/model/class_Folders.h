#pragma once

#include <string>

// The user's documents folder (XDG documents directory, usually ~/Documents), without a
// trailing '/'. Created when missing, so callers can write into it at once.
std::string GetDocumentsFolder();

// Folders under the documents folder where projects, CD rips and recordings go; each is created
// (its last level) when missing.
std::string GetDataFolder();
std::string GetCDRipFolder();
std::string GetRecordFolder();

// The program's folder for its own data files (caches, the temporary CD image): "Sonorel" in
// the XDG data directory (usually ~/.local/share/Sonorel). Created when missing.
std::string GetAppDataFolder();

// The running program's file name without its directory ("sonorel").
std::string ExecutableFileName();
// The folder the running program lies in, without a trailing '/'.
std::string ExecutableFolder();
