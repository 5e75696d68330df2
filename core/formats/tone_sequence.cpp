#include "core/formats/tone_sequence.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/decimal.h"
#include "core/formats/unit_conversions.h"

namespace {

constexpr int entryBytes = 3;

// Only the comma separates; a run of commas is one separator and no empty token comes
// from the ends.
std::vector<std::string_view> splitAtCommas(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = text.find_first_not_of(',', pos);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(text.find(',', start), text.size());
        tokens.push_back(text.substr(start, end - start));
        pos = end;
    }
    return tokens;
}

} // namespace

ParsedToneSequence parseToneSequenceText(std::string_view text, int clockHz) {
    ParsedToneSequence sequence;
    const std::vector<std::string_view> tokens = splitAtCommas(text);
    // A trailing frequency without its duration is dropped.
    for (std::size_t t = 0; t + 1 < tokens.size(); t += 2) {
        if (sequence.pairCount < toneSequenceEntries) {
            ToneEntry& entry = sequence.entries[sequence.pairCount];
            // Neither number is range-checked: the timer gets their low 16 bits, as it
            // always has, and stored tables depend on that.
            entry.duration = static_cast<std::uint16_t>(leadingInteger(tokens[t + 1]));
            entry.units = static_cast<std::uint16_t>(hzToUnits(leadingInteger(tokens[t]), clockHz));
        }
        ++sequence.pairCount;
    }
    return sequence;
}

int toneSequenceHighestHz(int clockHz) {
    int hz = unitsToHz(0xFFFF, clockHz) + 1;
    while (hz > 0 && hzToUnits(hz, clockHz) > 0xFFFF)
        --hz;
    return hz;
}

std::string toneSequenceOutOfRange(std::string_view text, int clockHz) {
    const std::vector<std::string_view> tokens = splitAtCommas(text);
    for (std::size_t t = 0; t + 1 < tokens.size() && t / 2 < toneSequenceEntries; t += 2) {
        const int hz = leadingInteger(tokens[t]);
        const int duration = leadingInteger(tokens[t + 1]);
        const std::string tone = "Tone " + std::to_string(t / 2 + 1) + ": ";
        if (duration < 0 || duration > toneSequenceLongestDuration)
            return tone + "the timer keeps a duration of 0 to 255, not " + std::to_string(duration);
        if (const int highest = toneSequenceHighestHz(clockHz); hz < 0 || hz > highest)
            return tone + "the timer plays 0 to " + std::to_string(highest) + " Hz, not " +
                   std::to_string(hz);
    }
    return {};
}

ToneSequenceBlock packToneSequence(const ParsedToneSequence& sequence) {
    ToneSequenceBlock block{};
    for (int k = 0; k < toneSequenceEntries; ++k) {
        const ToneEntry& entry = sequence.entries[k];
        block[entryBytes * k] = static_cast<std::uint8_t>(entry.duration & 0xFF);
        block[entryBytes * k + 1] = static_cast<std::uint8_t>(entry.units & 0xFF);
        block[entryBytes * k + 2] = static_cast<std::uint8_t>(entry.units >> 8);
    }
    return block;
}

std::string formatToneSequenceText(const std::uint8_t* block, int clockHz) {
    std::string text;
    for (int k = 0; k < toneSequenceEntries; ++k) {
        const int duration = block[entryBytes * k];
        // The timer ends the sequence at the first zero duration, so the text does too.
        if (duration == 0) break;
        const int units = block[entryBytes * k + 1] + 256 * block[entryBytes * k + 2];
        char pair[32];
        std::snprintf(pair, sizeof pair, "%d,%d,", unitsToHz(units, clockHz), duration);
        text += pair;
    }
    if (!text.empty()) text.pop_back();
    return text;
}
