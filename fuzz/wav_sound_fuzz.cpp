// A WAV file is whatever the operator picks.
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "core/formats/wav_sound.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

void put(std::vector<std::uint8_t>& file, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        file.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The samples found, in the canonical 44-byte header that every tool writes.
std::vector<std::uint8_t> canonicalFile(std::span<const std::uint8_t> samples) {
    std::vector<std::uint8_t> file{'R', 'I', 'F', 'F'};
    put(file, static_cast<std::uint32_t>(36 + samples.size()), 4);
    file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(file, 16, 4);
    put(file, 1, 2);     // PCM
    put(file, 1, 2);     // mono
    put(file, 11025, 4); // samples a second
    put(file, 11025, 4); // bytes a second
    put(file, 1, 2);     // bytes a frame
    put(file, 8, 2);     // bits a sample
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    put(file, static_cast<std::uint32_t>(samples.size()), 4);
    file.insert(file.end(), samples.begin(), samples.end());
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const auto found = findWavSamples(file);
    if (!found) {
        for (int memory : {256, 32768})
            check(!convertSoundFile(file, memory, 8000000));
        return 0;
    }
    check(size >= 4 && std::equal(data, data + 4, "RIFF"));
    check(found->dataOffset + found->size <= size);
    // The same samples behind a canonical header are found as they were.
    const auto samples = file.subspan(found->dataOffset, found->size);
    const std::vector<std::uint8_t> canonical = canonicalFile(samples);
    const auto again = findWavSamples(canonical);
    check(again && again->dataOffset == 44 && again->size == found->size);

    // A memory far smaller than the real ones (32768 and up) reaches the input limit and
    // the cut with the short inputs of a fuzzer.
    for (int clockHz : {8000000, 10000000}) {
        const int rate = clockHz / 1024;
        const double ratio = 11025.0 / rate;
        for (int memory : {256, 32768, 131072}) {
            const auto sample = convertSoundFile(file, memory, clockHz);
            // Refused only when there is no sample to convert.
            if (!sample) {
                check(found->size <= 1);
                continue;
            }
            // Never empty, within the input limit and the memory, never more than the data
            // chunk holds.
            const std::size_t n = sample->inputSamples;
            check(n > 0 && n <= soundInputLimit(memory, clockHz) && n <= found->size);
            check(n == std::min(found->size, soundInputLimit(memory, clockHz)));
            const auto memorySize = static_cast<std::size_t>(memory);
            check(sample->count > 0 && sample->count <= memorySize && sample->count < n);
            check(!sample->truncated || sample->count == memorySize);
            // The rate's share of the input, truncated.
            const std::size_t converted = n * static_cast<std::size_t>(rate) / 11025;
            check(sample->truncated || sample->count + 1 >= converted && sample->count <= converted + 1);
            // The input as read: from the data chunk's second byte on, 0 past its end.
            std::vector<std::uint8_t> input(n + 1, 0);
            for (std::size_t j = 0; j + 1 < found->size && j < n; ++j)
                input[j] = data[found->dataOffset + 1 + j];
            // The first sample unconverted; every later one between the two input samples
            // around its moment, kept from 0 and 255.
            check(sample->bytes[0] == input[0]);
            for (std::size_t i = 1; i < sample->count; ++i) {
                const auto p = static_cast<std::size_t>(static_cast<double>(i) * ratio);
                check(p + 1 < n + 1);
                const int low = std::clamp<int>(std::min(input[p], input[p + 1]), 1, 254);
                const int high = std::clamp<int>(std::max(input[p], input[p + 1]), 1, 254);
                check(sample->bytes[i] >= low && sample->bytes[i] <= high);
            }
            // Whole blocks, zeros after the samples.
            check(sample->bytes.size() == soundBlockCount(sample->count) * SoundFormat::blockSize);
            check(std::all_of(sample->bytes.begin() + static_cast<std::ptrdiff_t>(sample->count),
                              sample->bytes.end(), [](std::uint8_t b) { return b == 0; }));
        }
    }
    return 0;
}
