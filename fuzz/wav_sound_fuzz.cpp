// A WAV file is whatever the operator picks.
#include <algorithm>
#include <cstdint>
#include <span>

#include "core/formats/wav_sound.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const auto found = findWavSamples(file);
    if (found && found->dataOffset + found->size > size) __builtin_trap();
    for (int clockHz : {8000000, 10000000}) {
        for (int memory : {32768, 65536, 131072}) {
            const auto sample = convertSoundFile(file, memory, clockHz);
            if (!sample) continue;
            if (!found || size < 4 || !std::equal(data, data + 4, "RIFF")) __builtin_trap();
            // Never empty, within the input limit and the memory, never more than the data
            // chunk holds.
            if (sample->inputSamples == 0 || sample->inputSamples > soundInputLimit(memory, clockHz) ||
                sample->inputSamples > found->size)
                __builtin_trap();
            const auto memorySize = static_cast<std::size_t>(memory);
            if (sample->count == 0 || sample->count > memorySize || sample->count >= sample->inputSamples ||
                (sample->truncated && sample->count != memorySize))
                __builtin_trap();
            // The first sample is the data chunk's second byte, unconverted (0 past its end).
            const std::uint8_t first = found->size > 1 ? data[found->dataOffset + 1] : 0;
            if (sample->bytes[0] != first) __builtin_trap();
            // Whole blocks; zeros after the samples; no later sample is 0 or 255.
            if (sample->bytes.size() != soundBlockCount(sample->count) * SoundFormat::blockSize)
                __builtin_trap();
            const auto tail = sample->bytes.begin() + static_cast<std::ptrdiff_t>(sample->count);
            if (std::any_of(tail, sample->bytes.end(), [](std::uint8_t b) { return b != 0; }))
                __builtin_trap();
            if (std::any_of(sample->bytes.begin() + 1, tail,
                            [](std::uint8_t b) { return b == 0 || b == 255; }))
                __builtin_trap();
        }
    }
    return 0;
}
