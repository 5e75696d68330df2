#pragma once
// The step table of sequenced transmission: 16 bytes at parameter address 16, eight steps
// of a length in tens of seconds and a kind of transmission. The editor sets six of them.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/formats/timer_memory_map.h"

using TransmitSequence = std::array<std::uint8_t, TimerMemoryMap::transmitSequenceLength>;

// The position in the editor's kind list.
enum class StepKind {
    noTransmit,
    toneSequence,
    singleTone,
    waveFile,
    cwMessage,
    soundEffect,
    ringtoneMelody
};

inline constexpr int stepKindCount = 7;
// The kind list's entries, in StepKind order.
inline constexpr std::array<std::string_view, stepKindCount> stepKindTexts{
    "No Transmit", "Tone Sequence", "Single Tone",     "Wave File",
    "CW Message",  "Sound Effect",  "Ringtone Melody",
};
// The kinds as the command line names them: the list's texts in lower case with hyphens.
inline constexpr std::array<std::string_view, stepKindCount> stepKindNames{
    "no-transmit", "tone-sequence", "single-tone", "wave-file", "cw-message", "sound-effect", "ringtone",
};
std::optional<StepKind> stepKindNamed(std::string_view name);

inline constexpr int transmitTableSteps = TimerMemoryMap::transmitSequenceLength / 2;
inline constexpr int editorStepCount = 6;
inline constexpr int secondsPerLengthUnit = 10;

struct TransmitStep {
    int seconds = 0;
    StepKind kind = StepKind::noTransmit;

    bool operator==(const TransmitStep&) const = default;
};
using TransmitSteps = std::array<TransmitStep, editorStepCount>;

// The kind's audio bit plus bit 0 for every kind that transmits; 0x00 for anything that
// is not a transmitting kind.
std::uint8_t stepKindToFlags(StepKind kind);
// The first audio bit set, tested as the timer tests them; bit 0 alone is "No Transmit".
StepKind flagsToStepKind(std::uint8_t flags);

// The steps from step 0 on whose length is not zero: the timer runs these and stops at
// the first zero length.
int leadingStepCount(const TransmitSequence& table);

// The editor's six steps as a table shows them (a length byte of 150 gives 1500 seconds).
TransmitSteps stepsOfTransmitSequence(const TransmitSequence& table);
// The table of six steps: each length in whole tens of seconds, bytes 12..15 zero.
TransmitSequence buildTransmitSequence(const TransmitSteps& steps);

// The nearest multiple of ten seconds, halves up: 4 gives 0, 5 gives 10, 995 gives 1000.
int roundStepSeconds(int seconds);

// The table as 32 hexadecimal digits, two for each byte in address order, and back
// (either case; nothing for any other text).
std::string transmitSequenceHex(const TransmitSequence& table);
std::optional<TransmitSequence> parseTransmitSequenceHex(std::string_view text);
