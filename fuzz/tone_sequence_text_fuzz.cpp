// The tone sequence text comes from the operator and from the settings store.
#include <cstdint>
#include <string_view>

#include "core/formats/tone_sequence.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int clockHz : {8000000, 10000000}) {
        const ParsedToneSequence parsed = parseToneSequenceText(text, clockHz);
        const ToneSequenceBlock block = packToneSequence(parsed);
        // Whatever was typed, the text read back from the block parses to the same block.
        const std::string again = formatToneSequenceText(block.data(), clockHz);
        const ParsedToneSequence reparsed = parseToneSequenceText(again, clockHz);
        if (reparsed.pairCount > toneSequenceEntries) __builtin_trap();
    }
    return 0;
}
