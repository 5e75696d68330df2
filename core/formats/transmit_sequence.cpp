#include "core/formats/transmit_sequence.h"

#include <cstdio>

namespace {

constexpr std::uint8_t transmitsBit = 0x01;

struct KindBit {
    std::uint8_t bit;
    StepKind kind;
};

// In the order the timer tests them: a flags byte with several audio bits plays the first.
constexpr std::array<KindBit, stepKindCount - 1> kindBits{{
    {0x08, StepKind::toneSequence},
    {0x10, StepKind::singleTone},
    {0x20, StepKind::waveFile},
    {0x40, StepKind::cwMessage},
    {0x80, StepKind::soundEffect},
    {0x04, StepKind::ringtoneMelody},
}};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::uint8_t stepKindToFlags(StepKind kind) {
    for (const KindBit& entry : kindBits)
        if (entry.kind == kind) return static_cast<std::uint8_t>(entry.bit | transmitsBit);
    return 0x00;
}

StepKind flagsToStepKind(std::uint8_t flags) {
    for (const KindBit& entry : kindBits)
        if (flags & entry.bit) return entry.kind;
    return StepKind::noTransmit;
}

std::optional<StepKind> stepKindNamed(std::string_view name) {
    for (int kind = 0; kind < stepKindCount; ++kind)
        if (stepKindNames[kind] == name) return static_cast<StepKind>(kind);
    return std::nullopt;
}

int leadingStepCount(const TransmitSequence& table) {
    int count = 0;
    while (count < transmitTableSteps && table[2 * count] != 0)
        ++count;
    return count;
}

TransmitSteps stepsOfTransmitSequence(const TransmitSequence& table) {
    TransmitSteps steps{};
    for (int k = 0; k < editorStepCount; ++k)
        steps[k] = {table[2 * k] * secondsPerLengthUnit, flagsToStepKind(table[2 * k + 1])};
    return steps;
}

TransmitSequence buildTransmitSequence(const TransmitSteps& steps) {
    TransmitSequence table{};
    for (int k = 0; k < editorStepCount; ++k) {
        table[2 * k] = static_cast<std::uint8_t>(steps[k].seconds / secondsPerLengthUnit);
        table[2 * k + 1] = stepKindToFlags(steps[k].kind);
    }
    return table;
}

int roundStepSeconds(int seconds) {
    return (seconds + secondsPerLengthUnit / 2) / secondsPerLengthUnit * secondsPerLengthUnit;
}

std::string transmitSequenceHex(const TransmitSequence& table) {
    std::string text;
    char pair[3];
    for (std::uint8_t b : table) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
    }
    return text;
}

std::optional<TransmitSequence> parseTransmitSequenceHex(std::string_view text) {
    TransmitSequence table{};
    if (text.size() != 2 * table.size()) return std::nullopt;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const int high = hexDigit(text[2 * i]);
        const int low = hexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        table[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return table;
}
