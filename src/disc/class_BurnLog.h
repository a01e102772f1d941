#pragma once

// The burning log: every line of the burner device goes through LogPrintf to the sinks registered
// for its channel (0 the detail trace, 1 the short lines for the user). Sinks are registered
// before a burn; they run on the thread that logs (the UI thread). An object that registered
// itself removes its sinks when it goes, so that no line reaches a destroyed window.

#include <cstddef>
#include <cstdint>
#include <string>

// Severities handed to the sinks: 0 normal, 1 a per-file line, 2 warning, 3 error.
using TLogCallback = void (*)(void* context, uint8_t severity, const char* text);

struct TLogImp {
    TLogCallback callback = nullptr;
    void* context = nullptr; // a sink is the function and its object: the pair is what compares
    uint8_t channel = 0;
};

// Appends a sink unless the same callback, context and channel are registered already.
void AddLogSink(TLogCallback callback, void* context, uint8_t channel);

// Removes every sink with this context.
void RemoveLogSinks(void* context);

// How many sinks are registered (a repeated registration adds none).
size_t LogSinkCount();

// Formats once (printf conventions; 64-bit values with PRId64) into a 4096-byte line and hands it
// to every sink of the channel in registration order. Longer lines are cut at 4095 characters.
void LogPrintf(uint8_t channel, uint8_t severity, const char* format, ...) __attribute__((format(printf, 3, 4)));

// The same formatting, to the standard error stream.
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A short numbered name: "TRACKNAME.WAV;1" gives "TRACKNA1.WAV;1", then "TRACKNA2.WAV;1". The
// counter is process-wide and starts at 1.
std::string MakeNumberedFileName(const std::string& name);

// The name with "_" and the local date and time before its extension; blanks and ":" after the
// dot's position become "_".
std::string MakeTimedFileName(const std::string& name);
