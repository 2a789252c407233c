#pragma once
// What the file and the device modes of tonalith-render share.

#include <cstdint>
#include <optional>
#include <string>

#include "engine/notifier.h"

// The sampling rate of the WAV file `path`; none after the reader's message.
std::optional<int32_t> ReadSourceRate(const std::string& path, Notifier& notifier);

// Prints "tonalith-render: `error`" on stderr.
void PrintRefusal(const std::string& error);
