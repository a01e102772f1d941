#pragma once

#include <string>

// An append-only text log. Each entry opens the file, appends and closes it, so nothing is lost
// when the program dies. Failures to write are not reported.

void SetFileLogEnabled(bool enabled); // on at start
// A bare file name lies in the documents folder; a name with a folder is used as it is. Without a
// name the log is "<executable name>_log.txt" in the documents folder.
void SetFileLogName(const std::string& name);
std::string FileLogPath();

// Appends the message; withDate puts the date, " ", the time and " " before it, newline "\r\n"
// after it.
void LogToFile(const std::string& message, bool newline, bool withDate);
