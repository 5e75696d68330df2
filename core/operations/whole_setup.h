#pragma once
// The one setup write of the window's Write Whole Setup and `tavofoxctl write --from`: every
// block of a setup that differs from what the timer holds written, always an apply the timer
// acknowledged, the sound when asked for, the parameter memory read back, and one outcome
// that names the setup, the fox and the timer, recorded in the write log. The timer's own
// settings (its trim, its sample length) stay in the timer. Also the read-back that checks
// any write, reported in the form's words.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/form/settings_text.h"
#include "core/link/timer_session.h"
#include "core/operations/operation.h"

namespace WholeSetupText {
inline constexpr const char* verified = "%1 written to the timer on %2 and verified: %3";
inline constexpr const char* soundWithoutMemory =
    "%1 names a sound file, but the timer on %2 has no external memory for it.\n"
    "Nothing was written.";
inline constexpr const char* otherTimer =
    "This setup was saved from another kind of timer (%1).\n"
    "Its frequencies and speeds are written for the timer connected (%2).";
inline constexpr const char* confirmSound = "Upload the sound file %1 to the timer?";
inline constexpr const char* unreadable = "The timer's settings could not be read back";
inline constexpr const char* notRead =
    "%1 was not written: the settings of the timer on %2 could not be read. Connect again and write again.";
inline constexpr const char* blockFailed =
    "%1 was not written whole to the timer on %2: %3 The timer runs what it held before, with the blocks "
    "written so far. Write again.";
inline constexpr const char* notApplied =
    "%1 written to the timer on %2, but the timer did not acknowledge the apply: it may still run its old "
    "settings. Write again.";
inline constexpr const char* differs =
    "%1 written to the timer on %2, but it reads back otherwise: %3. Write again; if it stays so, the "
    "timer's memory is faulty.";
inline constexpr const char* notVerified =
    "%1 written to the timer on %2 and applied, but the timer's settings could not be read back. Write "
    "again to verify it.";
inline constexpr const char* soundDeclined =
    "%1 written, but the sound was not uploaded: %2 Write again to upload it.";
inline constexpr const char* soundFailed =
    "%1 written, but the sound upload failed: %2 Write again to upload it.";
inline constexpr const char* playsNothing = "in the Wave File audio mode this timer plays nothing.";
inline constexpr const char* keepsOldSound = "the timer keeps the sample it had.";
inline constexpr const char* partlyReplaced =
    "the timer's sample is partly replaced, and it plays the length it had.";
inline constexpr const char* soundSkipped = "%1 not uploaded: give --with-sound to upload it.";
inline constexpr const char* foxOfSetup = "%1 of %2";
inline constexpr const char* summary = "Cycle ID %1";
} // namespace WholeSetupText

// What a setup write came to; only `verified` means every block of the setup is in the timer
// and applied (a sound left out on purpose, SoundChoice::skip, aside).
enum class SetupWriteResult {
    verified,
    refused,          // nothing was written: a sound for a timer without external memory
    notRead,          // the timer's settings could not be read first; nothing was written
    blockFailed,      // a block was not taken; what came before it is applied
    notApplied,       // written, but the apply was not acknowledged
    differs,          // written and applied, but the read-back differs
    notVerified,      // written and applied, but nothing came back
    soundNotUploaded, // the operator declined the upload
    soundFailed,      // the upload failed or was stopped
};

// How the setup's sound file is treated.
enum class SoundChoice { ask, upload, skip };

struct SetupWriteRequest {
    std::string setupPath; // the setup file: its name names the setup, its path goes to the log
    std::string foxName;   // the fox of an event ("fox 2"); empty for a setup of its own
    std::string portName;  // "COM5", or the device path
    // The trim given apart from the setup (tavofoxctl's `oscillatorTune=`); nothing keeps the
    // timer's own.
    std::optional<std::int8_t> oscillatorTune;
    SoundChoice sound = SoundChoice::ask;
};

struct SetupWriteOutcome {
    SetupWriteResult result = SetupWriteResult::verified;
    std::string message; // the one message that ends the write
    // The parameter memory cell of a read-back difference, for tavofoxctl's brackets.
    std::optional<int> differenceCell;
    // What the log says besides the message: the sound left out on purpose.
    std::string note;
    bool complete() const { return result == SetupWriteResult::verified; }
};

// "684, 8 MHz, 64 KiB, firmware 2.1": the timer a setup was saved from.
std::string setupTimerText(const TimerIdentity& identity);
// "fox2.tavofox" or "fox 2 of event.tavofox".
std::string setupDisplayName(const SetupWriteRequest& request);

// Writes setup to the connected timer and reads it back; the form then shows what the timer
// holds. The failures of single blocks are shown as they happen, the outcome's message is the
// caller's to show. Every write, a refused or interrupted one too, appends a line to the write
// log; a failing serial port ends it with its exception after that line.
SetupWriteOutcome writeSetup(OperationContext& op, const TimerSetup& setup, const SetupWriteRequest& request);

// A read-back difference in the form's words ("Cycle ID of transmitter: written 3, the timer
// holds 4") with its cell, or the text that the timer's settings could not be read back.
struct ReadBackDifference {
    std::string text;
    std::optional<int> cell;
};
// Reads the parameter memory back and compares it with the blocks written, as far as the
// timer sends it: the first difference, or nothing when everything reads back as written.
std::optional<ReadBackDifference> readBackDifference(TimerSession& session,
                                                     std::span<const WrittenBlock> blocks);
