#include "core/formats/wav_sound.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/timer_settings.h"

namespace {

// The canonical 44-byte header: a 16-byte format chunk directly followed by the data chunk.
constexpr std::size_t channelsOffset = 22;
constexpr std::size_t byteRateOffset = 28;
constexpr std::size_t blockAlignOffset = 32;
constexpr std::size_t dataSizeOffset = 40;
constexpr std::size_t canonicalHeaderSize = 44;

// The RIFF chunks: "RIFF", size, "WAVE", then chunks of an id, a size and a body padded
// to an even length.
constexpr std::size_t firstChunkOffset = 12;
constexpr std::size_t waveTagOffset = 8;
constexpr std::size_t chunkHeaderSize = 8;
constexpr std::size_t formatFieldsSize = 16;
// Fields within the format chunk's body.
constexpr std::size_t channelsField = 2;
constexpr std::size_t byteRateField = 8;
constexpr std::size_t blockAlignField = 12;

struct HeaderFields {
    std::uint32_t channels = 0;
    std::uint32_t byteRate = 0;
    std::uint32_t blockAlign = 0;
    std::size_t dataOffset = 0;
    std::uint32_t dataSize = 0;
};

std::uint32_t littleEndian(std::span<const std::uint8_t> file, std::size_t offset, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = (value << 8) | file[offset + i];
    return value;
}

bool tagAt(std::span<const std::uint8_t> file, std::size_t offset, const char (&tag)[5]) {
    return file.size() >= offset + 4 && std::memcmp(file.data() + offset, tag, 4) == 0;
}

HeaderFields formatFields(std::span<const std::uint8_t> file, std::size_t formatBody) {
    HeaderFields fields;
    fields.channels = littleEndian(file, formatBody + channelsField, 2);
    fields.byteRate = littleEndian(file, formatBody + byteRateField, 4);
    fields.blockAlign = littleEndian(file, formatBody + blockAlignField, 2);
    return fields;
}

// Editors write more than the canonical header: a longer format chunk, or LIST and other
// chunks before the samples. Walking the chunks finds the format and the data wherever they
// are; a canonical file walks to the same places as its fixed offsets.
std::optional<HeaderFields> walkChunks(std::span<const std::uint8_t> file) {
    if (!tagAt(file, waveTagOffset, "WAVE")) return std::nullopt;
    std::optional<std::size_t> formatBody;
    std::size_t at = firstChunkOffset;
    while (file.size() >= at + chunkHeaderSize) {
        const std::uint32_t size = littleEndian(file, at + 4, 4);
        const std::size_t body = at + chunkHeaderSize;
        if (tagAt(file, at, "fmt ") && size >= formatFieldsSize && file.size() >= body + formatFieldsSize) {
            formatBody = body;
        } else if (tagAt(file, at, "data")) {
            if (!formatBody) return std::nullopt;
            HeaderFields fields = formatFields(file, *formatBody);
            fields.dataOffset = body;
            fields.dataSize = size;
            return fields;
        }
        const std::uint64_t next = std::uint64_t{body} + size + (size & 1);
        if (next > file.size()) break;
        at = static_cast<std::size_t>(next);
    }
    return std::nullopt;
}

std::optional<HeaderFields> fixedOffsets(std::span<const std::uint8_t> file) {
    if (file.size() < canonicalHeaderSize) return std::nullopt;
    HeaderFields fields;
    fields.channels = littleEndian(file, channelsOffset, 2);
    fields.byteRate = littleEndian(file, byteRateOffset, 4);
    fields.blockAlign = littleEndian(file, blockAlignOffset, 2);
    fields.dataOffset = canonicalHeaderSize;
    fields.dataSize = littleEndian(file, dataSizeOffset, 4);
    return fields;
}

} // namespace

std::optional<WavSamples> findWavSamples(std::span<const std::uint8_t> file) {
    if (!tagAt(file, 0, "RIFF")) return std::nullopt;
    std::optional<HeaderFields> fields = walkChunks(file);
    if (!fields) fields = fixedOffsets(file);
    // The sample-rate field is not looked at: the byte rate and the frame size say it all.
    if (!fields || fields->channels != 1 || fields->byteRate != SoundFormat::byteRate ||
        fields->blockAlign != 1)
        return std::nullopt;
    // A file cut short holds fewer samples than its header promises.
    const std::size_t held = file.size() - fields->dataOffset;
    return WavSamples{fields->dataOffset, std::min<std::size_t>(fields->dataSize, held)};
}

std::size_t soundInputLimit(int externalMemorySize, int clockHz) {
    if (externalMemorySize <= 0) return 0;
    const auto memory = static_cast<std::size_t>(externalMemorySize);
    return clockHz == TimerClock::model628AHz ? memory * 12 / 10 : memory * 15 / 10;
}

std::size_t resampleSound(std::span<std::uint8_t> buffer, std::size_t n, int clockHz) {
    const int rate = clockHz / SoundFormat::clockCyclesPerSample;
    // Working in place needs a ratio above 1: each output sample then reads only input
    // samples at or after its own place, which have not been overwritten yet.
    if (rate <= 0 || rate >= static_cast<int>(SoundFormat::byteRate) || n > buffer.size()) return 0;
    const double ratio = static_cast<double>(SoundFormat::byteRate) / rate;
    // Truncated from the double quotient: 55125 samples at 10 MHz give 48824, not 48825.
    const auto count = static_cast<std::size_t>(static_cast<double>(n) / ratio);
    constexpr double maxSample = 255;
    for (std::size_t i = 1; i < count; ++i) {
        const double x = static_cast<double>(i) * ratio;
        const double whole = std::floor(x);
        const auto p = static_cast<std::size_t>(whole);
        const double f = x - whole;
        double v = std::floor(buffer[p] * (1 - f) + buffer[p + 1] * f + 0.5);
        // The timer's player keeps 0 and 255 for itself.
        if (v == 0) v = 1;
        if (v == maxSample) v = maxSample - 1;
        buffer[i] = static_cast<std::uint8_t>(v);
    }
    return count;
}

std::optional<SoundSample> convertSoundFile(std::span<const std::uint8_t> file, int externalMemorySize,
                                            int clockHz) {
    const std::optional<WavSamples> found = findWavSamples(file);
    if (!found) return std::nullopt;
    SoundSample sample;
    sample.inputSamples = std::min(found->size, soundInputLimit(externalMemorySize, clockHz));
    if (sample.inputSamples == 0) return std::nullopt;

    // The data chunk's first sample is skipped, so the n samples read run one past the
    // chunk; that last one, which the chunk does not hold, is 0.
    std::vector<std::uint8_t>& buffer = sample.bytes;
    buffer.assign(sample.inputSamples + SoundFormat::spareBytes, 0);
    const std::size_t first = found->dataOffset + 1;
    const std::size_t held = std::min(sample.inputSamples, found->size - 1);
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(first), held, buffer.begin());

    sample.count = resampleSound(buffer, sample.inputSamples, clockHz);
    if (sample.count == 0) return std::nullopt;
    const auto memory = static_cast<std::size_t>(std::max(externalMemorySize, 0));
    if (sample.count > memory) {
        sample.truncated = true;
        sample.count = memory;
    }
    // The last block goes out whole; what follows the samples in it is zero.
    buffer.resize(soundBlockCount(sample.count) * SoundFormat::blockSize);
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(sample.count), buffer.end(), 0);
    return sample;
}

std::array<std::uint8_t, 3> soundLengthBytes(std::size_t count) {
    const std::size_t last = count - 1;
    return {static_cast<std::uint8_t>(last), static_cast<std::uint8_t>(last >> 8),
            static_cast<std::uint8_t>(last >> 16)};
}

std::size_t soundBlockCount(std::size_t count) {
    return (count + SoundFormat::blockSize - 1) / SoundFormat::blockSize;
}

double soundLineSeconds(std::size_t count) {
    return static_cast<double>(soundBlockCount(count)) * SoundFormat::lineBytesPerBlock *
           SoundFormat::bitsPerLineByte / SoundFormat::lineBaud;
}
