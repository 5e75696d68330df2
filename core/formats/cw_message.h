#pragma once
// The CW message block: the Morse text the timer keys, zero-filled.

#include <array>
#include <cstdint>
#include <string>

#include "core/formats/timer_memory_map.h"

// The block keeps at least one zero byte after the text.
inline constexpr int cwTextMaxLength = TimerMemoryMap::cwMessageLength - 1;

using CwMessageBlock = std::array<std::uint8_t, TimerMemoryMap::cwMessageLength>;

CwMessageBlock encodeCwMessage(const std::string& text);
// The text of a block: up to its first zero byte, and never more than 31 characters.
std::string decodeCwMessage(const std::uint8_t* block);
