#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/formats/timer_memory_map.h"

inline constexpr int toneSequenceEntries = 16;
inline constexpr int toneSequenceMaxTextLength = 110;

struct ToneEntry {
    std::uint16_t duration = 0;
    std::uint16_t units = 0;
};

struct ParsedToneSequence {
    std::array<ToneEntry, toneSequenceEntries> entries{};
    int pairCount = 0;
};

using ToneSequenceBlock = std::array<std::uint8_t, TimerMemoryMap::toneSequenceLength>;

// The largest duration the timer keeps (one byte).
inline constexpr int toneSequenceLongestDuration = 255;

ParsedToneSequence parseToneSequenceText(std::string_view text, int clockHz);
// The highest frequency whose unit value fits the timer's 16 bits at clockHz (7833 Hz at
// 8 MHz, 9792 Hz at 10 MHz).
int toneSequenceHighestHz(int clockHz);
// Why the timer would not play the text as typed, naming the first tone and the limit it
// breaks (a duration above 255, a frequency below 0 or beyond the 16-bit unit value); empty
// when every tone of the first sixteen fits.
std::string toneSequenceOutOfRange(std::string_view text, int clockHz);
ToneSequenceBlock packToneSequence(const ParsedToneSequence& sequence);
std::string formatToneSequenceText(const std::uint8_t* block, int clockHz);
