#pragma once
#include <cstdint>

// Command bytes of the timer's protocol.
namespace TimerCommand {
inline constexpr std::uint8_t wake = '!';
inline constexpr std::uint8_t wakeAnswerAlt = '>';
inline constexpr std::uint8_t identify = 'V';
inline constexpr std::uint8_t readConfiguration = 'R';
inline constexpr std::uint8_t writeMemory = 'W';
inline constexpr std::uint8_t upload = 'U';
inline constexpr std::uint8_t confirmUpload = 'G';
inline constexpr std::uint8_t rejectUpload = 'X';
inline constexpr std::uint8_t apply = '@';
inline constexpr std::uint8_t testMode = 'T';
inline constexpr std::uint8_t startTuning = 'C';
inline constexpr std::uint8_t endTuning = 0x80;
inline constexpr std::uint8_t acknowledge = '#';
inline constexpr std::uint8_t trimMask = 0x1F;
} // namespace TimerCommand
