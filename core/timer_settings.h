#pragma once
// The operator's values for one timer, with their start values.

#include <array>
#include <cstdint>
#include <string>

// The clocks of the two processor models.
namespace TimerClock {
inline constexpr int model684Hz = 8000000;
inline constexpr int model628AHz = 10000000;
} // namespace TimerClock

// The modes are numbered as the form's radio groups number their buttons. A form whose group
// has no button checked, or a refused number, holds a value outside the names; every encoder
// copes with it.
enum class TransmitMode { continuous, cycled, sequenced };
enum class AudioMode { singleTone, cwMessage, soundEffect, waveFile, toneSequence, ringtone };
// "100 %" and "50 %".
enum class OutputLevel { full, half };

struct TimerSettings {
    int transmitterCount = 5;
    int stepLength = 60;  // seconds
    int startupDelay = 0; // minutes
    int cycleId = 1;
    TransmitMode transmitMode = TransmitMode::continuous;
    AudioMode audioMode = AudioMode::singleTone;
    int soundEffect = 0;
    std::string cwText;
    int autoShutdown = 0;    // minutes
    int toneFrequency = 800; // Hz
    bool keyed = false;
    bool autoId = true;
    int cwSpeed = 12; // WPM
    OutputLevel outputLevel = OutputLevel::half;
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
