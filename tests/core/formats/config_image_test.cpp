// The timer's memory format: unit conversions, the mode byte, the 13-byte
// configuration block and the 128-byte image, checked byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/form/settings_form.h"
#include "core/formats/config_image.h"
#include "core/formats/unit_conversions.h"
#include "core/timer_settings.h"

namespace {

constexpr int clock8 = 8000000;
constexpr int clock10 = 10000000;

ConfigImage imageWith(std::initializer_list<std::pair<int, std::uint8_t>> cells) {
    ConfigImage image;
    for (auto [offset, value] : cells)
        image.bytes[offset] = value;
    return image;
}

TEST(UnitConversions, FrequencyReferenceValues) {
    struct Row {
        int clockHz, hz, units;
        std::uint8_t low, high;
    };
    const Row rows[] = {
        {clock8, 50, 418, 0xA2, 0x01},    {clock8, 800, 6692, 0x24, 0x1A},
        {clock8, 1000, 8366, 0xAE, 0x20}, {clock8, 3000, 25097, 0x09, 0x62},
        {clock10, 800, 5354, 0xEA, 0x14}, {clock10, 3000, 20077, 0x6D, 0x4E},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.clockHz) + " Hz clock, " + std::to_string(row.hz) + " Hz");
        EXPECT_EQ(hzToUnits(row.hz, row.clockHz), row.units);
        EXPECT_EQ(unitsToHz(row.units, row.clockHz), row.hz);
        TimerSettings settings;
        settings.toneFrequency = row.hz;
        const ConfigBlock block = encodeConfigBlock(settings, row.clockHz);
        EXPECT_EQ(block[6], row.low);
        EXPECT_EQ(block[7], row.high);
    }
}

TEST(UnitConversions, EveryFrequencyThatFitsSixteenBitsComesBack) {
    for (auto [clockHz, largest] : {std::pair{clock8, 7833}, std::pair{clock10, 9792}}) {
        SCOPED_TRACE(clockHz);
        for (int hz = 0; hz <= largest; ++hz) {
            const int units = hzToUnits(hz, clockHz);
            ASSERT_LE(units, 0xFFFF) << hz;
            ASSERT_EQ(unitsToHz(units, clockHz), hz);
        }
        EXPECT_GT(hzToUnits(largest + 1, clockHz), 0xFFFF);
    }
}

TEST(UnitConversions, SpeedsAndDotLengths) {
    const std::pair<int, int> table[] = {{5, 240}, {10, 120}, {12, 100}, {15, 80},
                                         {20, 60}, {25, 48},  {30, 40}};
    for (auto [wpm, dotMs] : table)
        EXPECT_EQ(wpmToDotMs(wpm), dotMs) << wpm;
    for (int wpm = 5; wpm <= 30; ++wpm)
        EXPECT_EQ(dotMsToWpm(wpmToDotMs(wpm)), wpm);
    EXPECT_EQ(dotMsToWpm(255), 5);
    EXPECT_EQ(dotMsToWpm(1), 1200);
    // No speed and no dot length answer each other, without a division by zero.
    EXPECT_EQ(dotMsToWpm(0), 0);
    EXPECT_EQ(wpmToDotMs(0), 0);
}

constexpr TransmitMode transmitModes[] = {TransmitMode::continuous, TransmitMode::cycled,
                                          TransmitMode::sequenced};
constexpr AudioMode audioModes[] = {AudioMode::singleTone, AudioMode::cwMessage,    AudioMode::soundEffect,
                                    AudioMode::waveFile,   AudioMode::toneSequence, AudioMode::ringtone};

TEST(ModeByte, EncodesEachTransmitAndAudioMode) {
    const std::uint8_t transmitBits[] = {0x00, 0x01, 0x03};
    const std::uint8_t audioBits[] = {0x10, 0x40, 0x80, 0x20, 0x08, 0x04};
    for (int t = 0; t < 3; ++t) {
        for (int a = 0; a < 6; ++a) {
            const std::uint8_t mode = encodeModeByte(transmitModes[t], audioModes[a]);
            EXPECT_EQ(mode, transmitBits[t] | audioBits[a]) << t << "," << a;
            TransmitMode readTransmit = TransmitMode::continuous;
            AudioMode readAudio = AudioMode::ringtone;
            decodeModeByte(mode, readTransmit, readAudio);
            EXPECT_EQ(readTransmit, transmitModes[t]);
            EXPECT_EQ(readAudio, audioModes[a]);
        }
    }
    // Values the form would have refused still give a mode the timer knows.
    EXPECT_EQ(encodeModeByte(static_cast<TransmitMode>(3), static_cast<AudioMode>(6)), 0x10);
    EXPECT_EQ(encodeModeByte(static_cast<TransmitMode>(-1), static_cast<AudioMode>(-1)), 0x10);
}

TEST(ModeByte, ReadingRules) {
    auto read = [](std::uint8_t mode, AudioMode audioBefore = AudioMode::waveFile) {
        TransmitMode transmit = static_cast<TransmitMode>(-1);
        AudioMode audio = audioBefore;
        decodeModeByte(mode, transmit, audio);
        return std::pair{transmit, audio};
    };
    EXPECT_EQ(read(0x12).first, TransmitMode::continuous); // bit 1 alone
    EXPECT_EQ(read(0x11).first, TransmitMode::cycled);
    EXPECT_EQ(read(0x13).first, TransmitMode::sequenced);
    EXPECT_EQ(read(0x30, AudioMode::soundEffect).second, AudioMode::singleTone); // 0x10 and 0x20
    EXPECT_EQ(read(0x60).second, AudioMode::waveFile);                           // 0x20 before 0x40
    EXPECT_EQ(read(0xC0).second, AudioMode::cwMessage);                          // 0x40 before 0x80
    EXPECT_EQ(read(0x88).second, AudioMode::soundEffect);                        // 0x80 before 0x08
    EXPECT_EQ(read(0x0C).second, AudioMode::toneSequence);                       // 0x08 before 0x04
    // No audio bit: the audio mode stays.
    EXPECT_EQ(read(0x03, AudioMode::toneSequence),
              std::pair(TransmitMode::sequenced, AudioMode::toneSequence));
    EXPECT_EQ(read(0x00, AudioMode::ringtone), std::pair(TransmitMode::continuous, AudioMode::ringtone));
}

TEST(ConfigBlock, StartValuesGiveTheKnownBlock) {
    const ConfigBlock expected{0x10, 0x05, 0, 6, 0, 5, 0x24, 0x1A, 0, 0, 100, 0, 0};
    EXPECT_EQ(encodeConfigBlock(TimerSettings{}, clock8), expected);
}

TEST(ConfigBlock, FieldEncodings) {
    TimerSettings s;
    s.transmitMode = TransmitMode::sequenced;
    s.audioMode = AudioMode::toneSequence;
    s.outputLevel = OutputLevel::full;
    s.keyed = true;
    s.autoId = false;
    s.startupDelay = 255;
    s.stepLength = 600;
    s.cycleId = 10;
    s.transmitterCount = 10;
    s.toneFrequency = 800;
    s.autoShutdown = 120;
    s.oscillatorTune = -4;
    s.cwSpeed = 30;
    s.recoveryBeaconDelay = 7;
    s.tableLength = 99999; // not part of the block
    const ConfigBlock expected{0x0B, 0x02, 255, 60, 9, 10, 0xEA, 0x14, 120, 0x1C, 40, 7, 0};
    EXPECT_EQ(encodeConfigBlock(s, clock10), expected);

    s.stepLength = 65; // whole tens only
    s.cycleId = 1;
    s.oscillatorTune = -16;
    EXPECT_EQ(encodeConfigBlock(s, clock8)[3], 6);
    EXPECT_EQ(encodeConfigBlock(s, clock8)[4], 0);
    EXPECT_EQ(encodeConfigBlock(s, clock8)[9], 0x10);
    s.oscillatorTune = 15;
    EXPECT_EQ(encodeConfigBlock(s, clock8)[9], 0x0F);
    s.outputLevel = OutputLevel::half;
    s.keyed = false;
    s.autoId = true;
    EXPECT_EQ(encodeConfigBlock(s, clock8)[1], 0x05);
}

TEST(ConfigBlock, ValuesTheFormRefusedAreCutToTheirBytes) {
    TimerSettings s;
    s.startupDelay = 300;
    s.transmitterCount = -1;
    s.cycleId = 0;
    s.toneFrequency = 8000; // 66925 units: only the low 16 bits fit
    s.cwSpeed = 0;          // no speed: no dot length
    s.stepLength = 2147483647;
    s.recoveryBeaconDelay = 256;
    const ConfigBlock block = encodeConfigBlock(s, clock8);
    EXPECT_EQ(block[2], 44);
    EXPECT_EQ(block[3], static_cast<std::uint8_t>(214748364));
    EXPECT_EQ(block[4], 0xFF);
    EXPECT_EQ(block[5], 0xFF);
    EXPECT_EQ(block[6] + 256 * block[7], 1389);
    EXPECT_EQ(block[10], 0);
    EXPECT_EQ(block[11], 0);
    s.cycleId = -2147483647 - 1;
    EXPECT_EQ(encodeConfigBlock(s, clock8)[4], 0xFF);
}

TEST(ConfigImage, DecodesEachField) {
    TimerSettings s;
    const ConfigImage image = imageWith(
        {{0, 0x41},  {1, 0x03},  {2, 17},   {3, 6},    {4, 0},     {5, 0},     {6, 0x24},  {7, 0x1A},
         {8, 30},    {9, 0x1C},  {10, 255}, {11, 9},   {12, 0xAA}, {13, 0x10}, {14, 0x27}, {15, 0},
         {16, 0x81}, {31, 0x7F}, {32, 'C'}, {33, 'Q'}, {34, 0},    {35, 'X'}});
    image.decode(s, clock8);
    EXPECT_EQ(s.transmitMode, TransmitMode::cycled);
    EXPECT_EQ(s.audioMode, AudioMode::cwMessage);
    EXPECT_EQ(s.outputLevel, OutputLevel::half);
    EXPECT_TRUE(s.keyed);
    EXPECT_FALSE(s.autoId);
    EXPECT_EQ(s.startupDelay, 17);
    EXPECT_EQ(s.stepLength, 60);
    EXPECT_EQ(s.cycleId, 1);
    EXPECT_EQ(s.transmitterCount, 0); // shown as read; the form objects later
    EXPECT_EQ(s.toneFrequency, 800);
    EXPECT_EQ(s.autoShutdown, 30);
    EXPECT_EQ(s.oscillatorTune, -4);
    EXPECT_EQ(s.cwSpeed, 5);
    EXPECT_EQ(s.recoveryBeaconDelay, 9);
    EXPECT_EQ(s.tableLength, 10000);
    EXPECT_EQ(s.transmitSequence[0], 0x81);
    EXPECT_EQ(s.transmitSequence[15], 0x7F);
    EXPECT_EQ(s.cwText, "CQ");
    EXPECT_EQ(s.toneSequenceText, ""); // first duration 0

    // The form's own values and the stored texts are not in the image.
    TimerSettings before = s;
    before.soundEffect = 1;
    before.comPort = 4;
    before.audioFilePath = "a.wav";
    TimerSettings after = before;
    image.decode(after, clock8);
    EXPECT_EQ(after, before);
}

TEST(ConfigImage, TrimAndDotLengthBytes) {
    for (int byte = 0; byte <= 0x1F; ++byte) {
        TimerSettings s;
        imageWith({{9, static_cast<std::uint8_t>(byte)}}).decode(s, clock8);
        EXPECT_EQ(s.oscillatorTune, byte < 0x10 ? byte : byte - 32) << byte;
    }
    TimerSettings s;
    imageWith({{10, 1}}).decode(s, clock8);
    EXPECT_EQ(s.cwSpeed, 1200);
    // A dot byte of 0 has no speed: the speed shown before stays.
    s.cwSpeed = 17;
    imageWith({{10, 0}}).decode(s, clock8);
    EXPECT_EQ(s.cwSpeed, 17);
}

TEST(ConfigImage, TimerNeverWrittenKeepsTheSettings) {
    ConfigImage erased;
    erased.bytes.fill(0xFF);
    EXPECT_FALSE(erased.settingsStored());
    TimerSettings s;
    s.cycleId = 3;
    s.cwText = "MOE";
    s.toneSequenceText = "800,10,1200,10";
    s.tableLength = 500;
    TimerSettings expected = s;
    expected.tableLength = 0; // no sound either
    expected.transmitSequence.fill(0xFF);
    erased.decode(s, clock8);
    EXPECT_EQ(s, expected);

    // One written cell makes the block a configuration, decoded as it stands.
    erased.bytes[12] = 0;
    EXPECT_TRUE(erased.settingsStored());
    erased.decode(s, clock8);
    EXPECT_EQ(s.transmitMode, TransmitMode::sequenced);
    EXPECT_EQ(s.audioMode, AudioMode::singleTone);
    EXPECT_EQ(s.stepLength, 2550);
    EXPECT_EQ(s.cycleId, 256);
    EXPECT_EQ(s.toneFrequency, 7834);
    EXPECT_EQ(s.oscillatorTune, -1);
    EXPECT_EQ(s.cwSpeed, 5);
    EXPECT_EQ(s.tableLength, 0);
    // No zero byte in the CW block: the text ends after the longest writable text.
    EXPECT_EQ(s.cwText, std::string(31, '\xFF'));
    std::string sixteenPairs;
    for (int k = 0; k < 16; ++k)
        sixteenPairs += (k ? "," : "") + std::string("7834,255");
    EXPECT_EQ(s.toneSequenceText, sixteenPairs);
    erased.decode(s, clock10);
    EXPECT_EQ(s.toneFrequency, 9792);

    // A length of two erased cells out of three is a length.
    erased.bytes[15] = 0;
    erased.decode(s, clock8);
    EXPECT_EQ(s.tableLength, 0xFFFF);
}

TEST(ConfigImage, FormValuesSurviveEncodeAndDecode) {
    for (int clockHz : {clock8, clock10}) {
        for (int variant = 0; variant < 6; ++variant) {
            TimerSettings s;
            s.transmitMode = transmitModes[variant % 3];
            s.audioMode = audioModes[variant];
            s.outputLevel = variant % 2 ? OutputLevel::half : OutputLevel::full;
            s.keyed = variant & 1;
            s.autoId = variant & 2;
            s.startupDelay = 40 * variant;
            s.stepLength = 10 + 110 * variant;
            s.cycleId = 1 + variant;
            s.transmitterCount = 10 - variant;
            s.toneFrequency = 50 + 590 * variant;
            s.autoShutdown = 255 - variant;
            s.cwSpeed = 5 + 5 * variant;
            s.recoveryBeaconDelay = variant * 50;
            s.oscillatorTune = static_cast<std::int8_t>(variant * 6 - 16);
            ConfigImage image;
            const ConfigBlock block = encodeConfigBlock(s, clockHz);
            std::copy(block.begin(), block.end(), image.bytes.begin());
            TimerSettings back;
            image.decode(back, clockHz);
            for (FormField field : formExchangeOrder) {
                if (field == FormField::soundEffect || field == FormField::cwText ||
                    field == FormField::tableLength)
                    continue; // not in the configuration block
                EXPECT_EQ(formFieldText(field, back), formFieldText(field, s))
                    << formFieldKey(field) << " variant " << variant << " clock " << clockHz;
            }
            EXPECT_EQ(back.oscillatorTune, s.oscillatorTune);
        }
    }
}

} // namespace
