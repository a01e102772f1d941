#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The bytes of a plain file of at most `maxBytes` bytes. Nothing for anything else: a missing or
// unreadable path, a folder, a FIFO or device (never opened, so never waited for), a larger file.
// The kind and size are checked again on the opened descriptor, so a file swapped in meanwhile is
// refused as well, and a file that grows while it is read is cut off, not followed.
std::optional<std::string> ReadRegularFile(const std::string& path, size_t maxBytes);
