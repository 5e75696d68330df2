#pragma once
// The sound sample: an 8-bit mono WAV file at 11025 Hz, converted to the timer's playback
// rate (clock / 1024 samples per second) and cut to its external memory.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace SoundFormat {
inline constexpr std::uint32_t byteRate = 11025;
// The timer plays one sample every 1024 clock cycles.
inline constexpr int clockCyclesPerSample = 1024;
// External memory is written in blocks of this size, the last one whole.
inline constexpr std::size_t blockSize = 32;
// Spare bytes after the input samples, so the last block never reads past the buffer.
inline constexpr std::size_t spareBytes = 64;
// On the line, each block is U, count and three address bytes with their echoes, the data,
// the timer's checksum, G with its echo and the '#': 46 bytes of 11 bits.
inline constexpr int lineBytesPerBlock = 46;
inline constexpr int bitsPerLineByte = 11;
inline constexpr int lineBaud = 19200;
} // namespace SoundFormat

// Where the samples of a WAV file are, after its header passed the checks.
struct WavSamples {
    // Offset of the data chunk's first sample byte.
    std::size_t dataOffset = 0;
    // The data size of the header, cut to the bytes that the file really holds from
    // dataOffset on.
    std::size_t size = 0;
};

// The header checks: RIFF, one channel, 11025 bytes a second, one byte a frame. The fields
// come from the format and data chunks found by walking the RIFF chunks, or, for a file
// that cannot be walked, from the canonical header's fixed offsets (22, 28, 32 and 40).
// Nothing when the checks fail or the file is too short to hold the fields.
std::optional<WavSamples> findWavSamples(std::span<const std::uint8_t> file);

// Largest number of input samples taken: 1.2 times the memory at 10 MHz, 1.5 times at any
// other clock (about 6 % more than the memory holds after the conversion).
std::size_t soundInputLimit(int externalMemorySize, int clockHz);

// Converts n samples at 11025 Hz in place to clockHz / 1024 samples a second; returns the
// number of converted samples. The buffer holds at least n bytes; b[0] is kept as it is,
// every later sample is interpolated and kept away from 0 and 255.
std::size_t resampleSound(std::span<std::uint8_t> buffer, std::size_t n, int clockHz);

struct SoundSample {
    // The converted samples, then zeros up to the end of the last block.
    std::vector<std::uint8_t> bytes;
    // Input samples taken (n after the input limit) and samples converted (after the cut
    // to the memory size).
    std::size_t inputSamples = 0;
    std::size_t count = 0;
    // The conversion gave more samples than the memory holds.
    bool truncated = false;
};

// Checks, limits, converts and cuts a WAV file's content for a timer. Nothing when the file
// is refused: not an 8-bit mono 11025 Hz WAV file, or no sample at all.
std::optional<SoundSample> convertSoundFile(std::span<const std::uint8_t> file, int externalMemorySize,
                                            int clockHz);

// The sound length field of the parameter memory: count - 1, low byte first.
std::array<std::uint8_t, 3> soundLengthBytes(std::size_t count);
std::size_t soundBlockCount(std::size_t count);
// The time the line itself needs to carry the upload of count samples.
double soundLineSeconds(std::size_t count);
