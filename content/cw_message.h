#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "config/timer_memory_map.h"

class TimerSession;

namespace CwMessageText {
inline constexpr const char* empty = "Trying do download an empty CW text, skipping....";
inline constexpr const char* tooLong = "CW Text exceeds maximum character space (31 kars)";
inline constexpr const char* writeFailed = "Error in downloading CW Message";
} // namespace CwMessageText

using CwMessageBlock = std::array<std::uint8_t, TimerMemoryMap::cwMessageLength>;

CwMessageBlock encodeCwMessage(const std::string& text);
// The text of a block: up to its first zero byte, and never more than 31 characters.
std::string decodeCwMessage(const std::uint8_t* block);
bool downloadCwMessage(TimerSession& session);
