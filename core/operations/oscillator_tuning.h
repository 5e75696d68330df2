#pragma once
// The "Calibrate" button: the timer's internal oscillator trimmed live while the operator
// watches a frequency counter on it.

#include "core/operations/operation.h"

namespace OscillatorTuningText {
inline constexpr const char* writeReminder = "Don't forget to write the configuration !!";
} // namespace OscillatorTuningText

// The trims the operator picks from, the highest first in the list.
namespace TuningTrims {
inline constexpr int highestListed = 4;
inline constexpr int lowestListed = -4;
} // namespace TuningTrims

// What follows a trim chosen with OK.
enum class AfterTuning {
    remind,             // the operator is reminded to write the configuration (the window)
    writeConfiguration, // the configuration is written with the new trim at once
};

// Starts tuning from oscillatorTune, lets the operator try trims, keeps the one chosen with
// OK in oscillatorTune, and always ends tuning. failed when the timer does not start
// tuning (nothing else happens then) or, with writeConfiguration, when the write fails.
Outcome tuneOscillator(OperationContext& op, AfterTuning after = AfterTuning::remind);
