#pragma once
// The operator's values for one timer, with their start values.

#include <array>
#include <cstdint>
#include <string>

struct TimerSettings {
    int transmitterCount = 5;
    int stepLength = 60;  // seconds
    int startupDelay = 0; // minutes
    int cycleId = 1;
    int transmitMode = 0; // 0 Continuous, 1 Cycled, 2 Sequenced
    int audioMode = 0;    // 0 Single Tone, 1 CW, 2 Sound Effect, 3 Wave File, 4 Tone Sequence, 5 Ringtone
    int soundEffect = 0;
    std::string cwText;
    int autoShutdown = 0;    // minutes
    int toneFrequency = 800; // Hz
    bool keyed = false;
    bool autoId = true;
    int cwSpeed = 12;    // WPM
    int outputLevel = 1; // 0 = "100 %", 1 = "50 %"
    int tableLength = 0; // samples
    int recoveryBeaconDelay = 0;
    int comPort = 1;
    std::int8_t oscillatorTune = 0;
    std::array<std::uint8_t, 16> transmitSequence{};
    std::string audioFilePath;
    std::string ringtoneFilePath;
    std::string toneSequenceText;

    bool operator==(const TimerSettings&) const = default;
};
