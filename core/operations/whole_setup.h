#pragma once
// A whole timer from a setup: every block that differs from what the timer holds written,
// then the parameter memory read back and compared. Also the read-back that checks any
// write, reported in the form's words.

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "core/form/settings_text.h"
#include "core/link/timer_session.h"
#include "core/operations/operation.h"

namespace WholeSetupText {
inline constexpr const char* verified = "Setup written and verified";
inline constexpr const char* soundWithoutMemory =
    "This setup names a sound file, but the timer has no external memory for it.\n"
    "Nothing was written.";
inline constexpr const char* otherTimer =
    "This setup was saved from another kind of timer (%1).\n"
    "Its frequencies and speeds are written for the timer connected (%2).";
inline constexpr const char* confirmSound = "Upload the sound file %1 to the timer?";
inline constexpr const char* unreadable = "The timer's settings could not be read back";
} // namespace WholeSetupText

// "684, 8 MHz, 64 KiB, firmware 2.1": the timer a setup was saved from.
std::string setupTimerText(const TimerIdentity& identity);

// Writes setup to the connected timer (step table, tone sequence, ringtone, configuration
// and CW, then the sound file when the operator confirms it), reads the parameter memory
// back and ends with one message: WholeSetupText::verified or the first difference. The
// form then shows what the timer holds. A sound file on a timer without external memory
// is refused before anything is written.
Outcome writeWholeSetup(OperationContext& op, const TimerSetup& setup);

// Reads the parameter memory back and compares it with the blocks written, as far as the
// timer sends it: the first difference as "Cycle ID of transmitter: written 3, the timer
// holds 2", or nothing when everything reads back as written.
std::optional<std::string> readBackDifference(TimerSession& session, std::span<const WrittenBlock> blocks);
