#pragma once
// Where each block lives in the timer's parameter memory.

#include <cstdint>

namespace TimerMemoryMap {
inline constexpr std::uint8_t configAddress = 0;
inline constexpr std::uint8_t configLength = 13;
inline constexpr std::uint8_t soundLengthAddress = 13;
inline constexpr std::uint8_t soundLengthLength = 3;
inline constexpr std::uint8_t transmitSequenceAddress = 16;
inline constexpr std::uint8_t transmitSequenceLength = 16;
inline constexpr std::uint8_t cwMessageAddress = 32;
inline constexpr std::uint8_t cwMessageLength = 32;
inline constexpr std::uint8_t toneSequenceAddress = 64;
inline constexpr std::uint8_t toneSequenceLength = 48;
inline constexpr std::uint8_t ringtoneAddress = 128;
inline constexpr std::uint8_t ringtoneLength = 128;
inline constexpr int imageLength = 128;
inline constexpr int parameterMemorySize = 256;
// What a cell holds that was never written.
inline constexpr std::uint8_t erasedByte = 0xFF;
} // namespace TimerMemoryMap
