#pragma once
// tavofoxctl commands of the timer's step table and oscillator: transmit-sequence and tune.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/console_panel.h"
#include "core/formats/transmit_sequence.h"
#include "core/operations/operation.h"

// What the timer commands take from the command line that runs them.
struct TimerCommandParts {
    OperationContext& operation;
    ConsolePanel& panel;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // Wakes and identifies the timer, as the window's Connect does, and reads its
    // configuration when asked to.
    std::function<bool(bool readSettings)> connect;
};

// SECONDS:KIND steps checked and rounded as the editor does; a refusal names the step.
// Throws UsageError.
TransmitSequence checkTransmitSteps(const std::vector<std::string>& steps);
// Writes the table as "Edit Sequence" writes it.
int runTransmitSequence(TimerCommandParts& parts, const TransmitSequence& table);
// tune [--write]: trims read from the input one a line, each sent at once.
int runTune(TimerCommandParts& parts, bool write);
