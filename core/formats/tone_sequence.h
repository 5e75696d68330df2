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

ParsedToneSequence parseToneSequenceText(std::string_view text, int clockHz);
ToneSequenceBlock packToneSequence(const ParsedToneSequence& sequence);
std::string formatToneSequenceText(const std::uint8_t* block, int clockHz);
