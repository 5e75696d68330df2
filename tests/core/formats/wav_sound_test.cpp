// The sound sample's conversion against bytes worked out apart from the program
// (tests/data/sound/make_golden.py) and the figures the timer's documentation gives.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/formats/wav_sound.h"
#include "support/golden.h"
#include "support/sound_files.h"

namespace {

constexpr int clock684 = 8000000;
constexpr int clock628A = 10000000;

} // namespace

TEST(WavSound, RampAndSquareGiveTheGoldenBytesAtBothClocks) {
    struct Case {
        const char* name;
        int clockHz;
        std::size_t count; // n x rate / 11025, truncated: 200 and 256 samples at 7812 and 9765 Hz
    };
    for (const Case& c : {Case{"ramp", clock684, 141}, Case{"ramp", clock628A, 177},
                          Case{"square", clock684, 181}, Case{"square", clock628A, 226}}) {
        const std::string golden = "sound/" + std::string(c.name) + "_" + std::to_string(c.clockHz) + ".hex";
        const auto sample = convertSoundFile(soundData(std::string(c.name) + ".wav"), 32768, c.clockHz);
        ASSERT_TRUE(sample) << golden;
        EXPECT_EQ(sample->count, c.count) << golden;
        EXPECT_FALSE(sample->truncated);
        // The converted samples, then zeros to the end of the last block.
        EXPECT_EQ(sample->bytes, goldenBytes(golden)) << golden;
    }
}

TEST(WavSound, EditorsFilesGiveTheCanonicalFilesBytes) {
    // A longer format chunk with LIST and trailing chunks, a sample-rate field that disagrees
    // with the byte rate, and a header that promises more samples than the file holds.
    for (const char* name : {"ramp_list.wav", "ramp_rate_field.wav", "ramp_cut_short.wav"}) {
        for (int clockHz : {clock684, clock628A}) {
            const auto sample = convertSoundFile(soundData(name), 32768, clockHz);
            ASSERT_TRUE(sample) << name;
            EXPECT_EQ(sample->inputSamples, 200u) << name;
            EXPECT_EQ(sample->bytes, goldenBytes("sound/ramp_" + std::to_string(clockHz) + ".hex"))
                << name << clockHz;
        }
    }
}

TEST(WavSound, FilesThatAreNoEightBitMonoAt11025AreRefused) {
    for (const char* name : {"stereo8.wav", "stereo8_5512.wav", "pcm16.wav"})
        EXPECT_FALSE(convertSoundFile(soundData(name), 65536, clock684)) << name;

    std::vector<std::uint8_t> ramp = soundData("ramp.wav");
    const std::vector<std::uint8_t> headerCutShort(ramp.begin(), ramp.begin() + 43);
    EXPECT_FALSE(convertSoundFile(headerCutShort, 65536, clock684));
    ramp[3] = 'X';
    EXPECT_FALSE(convertSoundFile(ramp, 65536, clock684));

    // An empty sample, and one too short to give a single converted sample.
    EXPECT_FALSE(convertSoundFile(canonicalWav(0), 65536, clock684));
    EXPECT_FALSE(convertSoundFile(canonicalWav(1), 65536, clock628A));
    const auto two = convertSoundFile(canonicalWav(2, 0x42), 65536, clock628A);
    ASSERT_TRUE(two);
    EXPECT_EQ(two->count, 1u);
    EXPECT_EQ(two->bytes, (std::vector<std::uint8_t>{0x42, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                     0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(WavSound, FiveSecondsAt10MHzGive48824SamplesIn1526Blocks) {
    const auto sample = convertSoundFile(canonicalWav(55125), 65536, clock628A);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->inputSamples, 55125u);
    EXPECT_EQ(sample->count, 48824u);
    EXPECT_FALSE(sample->truncated);
    EXPECT_EQ(soundBlockCount(sample->count), 1526u);
    EXPECT_EQ(sample->bytes.size(), 1526u * 32);
    EXPECT_EQ(soundLengthBytes(sample->count), (std::array<std::uint8_t, 3>{0xB7, 0xBE, 0x00}));
    EXPECT_EQ(soundLengthBytes(69655), (std::array<std::uint8_t, 3>{0x16, 0x10, 0x01}));
    // 1526 blocks of 46 bytes of 11 bits at 19200 baud.
    EXPECT_NEAR(soundLineSeconds(sample->count), 40.2165, 0.0001);
}

TEST(WavSound, InputIsLimitedAndTheConversionCutToEachMemory) {
    struct Case {
        int memory;
        int clockHz;
        std::size_t limit;
    };
    for (const Case& c :
         {Case{32768, clock628A, 39321}, Case{65536, clock628A, 78643}, Case{131072, clock628A, 157286},
          Case{32768, clock684, 49152}, Case{65536, clock684, 98304}, Case{131072, clock684, 196608}}) {
        const auto sample = convertSoundFile(canonicalWav(c.limit + 1000), c.memory, c.clockHz);
        ASSERT_TRUE(sample) << c.memory << " " << c.clockHz;
        EXPECT_EQ(sample->inputSamples, c.limit) << c.memory << " " << c.clockHz;
        EXPECT_TRUE(sample->truncated);
        EXPECT_EQ(sample->count, static_cast<std::size_t>(c.memory));
        ASSERT_EQ(sample->bytes.size(), static_cast<std::size_t>(c.memory));
        // Equal samples interpolate to themselves, up to the very last one.
        EXPECT_TRUE(
            std::all_of(sample->bytes.begin(), sample->bytes.end(), [](auto b) { return b == 0x80; }));
    }
}
