// The tone sequence text comes from the operator, from the settings store and from any
// timer's memory, which the read gives back as text.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/formats/tone_sequence.h"
#include "core/formats/unit_conversions.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

constexpr int entryBytes = 3;

int durationOf(const ToneSequenceBlock& block, int k) {
    return block[entryBytes * k];
}

int hzOf(const ToneSequenceBlock& block, int k, int clockHz) {
    return unitsToHz(block[entryBytes * k + 1] + 256 * block[entryBytes * k + 2], clockHz);
}

// The tones the timer plays: those before the first zero duration.
int playedTones(const ToneSequenceBlock& block) {
    int k = 0;
    while (k < toneSequenceEntries && durationOf(block, k) != 0)
        ++k;
    return k;
}

// The highest whole frequency whose unit value still fits the entry's 16 bits.
int highestStoredHz(int clockHz) {
    int hz = unitsToHz(0xFFFF, clockHz);
    while (hzToUnits(hz, clockHz) > 0xFFFF)
        --hz;
    return hz;
}

void checkRoundTrip(const ToneSequenceBlock& typed, int clockHz) {
    // What the read shows of the block parses back to the tones the timer plays, with
    // their durations and, up to the 16 bits of an entry, their frequencies in Hz.
    const std::string shown = formatToneSequenceText(typed.data(), clockHz);
    const ParsedToneSequence parsed = parseToneSequenceText(shown, clockHz);
    const int tones = playedTones(typed);
    check(parsed.pairCount == tones);
    const ToneSequenceBlock again = packToneSequence(parsed);
    check(playedTones(again) == tones);
    const int highestHz = highestStoredHz(clockHz);
    bool storable = true;
    for (int k = 0; k < tones; ++k) {
        check(durationOf(again, k) == durationOf(typed, k));
        if (hzOf(typed, k, clockHz) <= highestHz)
            check(hzOf(again, k, clockHz) == hzOf(typed, k, clockHz));
        else
            storable = false;
    }
    for (int i = entryBytes * tones; i < static_cast<int>(again.size()); ++i)
        check(again[i] == 0);
    // A text read back once is read back the same from then on.
    if (storable) check(formatToneSequenceText(again.data(), clockHz) == shown);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int clockHz : {8000000, 10000000}) {
        const ParsedToneSequence typed = parseToneSequenceText(text, clockHz);
        check(typed.pairCount >= 0 && static_cast<std::size_t>(typed.pairCount) <= size / 2);
        checkRoundTrip(packToneSequence(typed), clockHz);
        // And any 48 bytes of a timer's memory as they stand.
        if (size >= TimerMemoryMap::toneSequenceLength) {
            ToneSequenceBlock stored{};
            std::copy_n(data, stored.size(), stored.begin());
            checkRoundTrip(stored, clockHz);
        }
    }
    return 0;
}
