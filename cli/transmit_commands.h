#pragma once
// tavofoxctl commands of the timer's step table and oscillator: transmit-sequence, tune,
// and the tables that write copies along with the configuration.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/console_panel.h"
#include "core/form/settings_text.h"
#include "core/operations/operation.h"

// The exit status after Ctrl-C, as shells report a program ended by SIGINT.
inline constexpr int interruptedExit = 130;

// What these commands take from the command line that runs them.
struct TimerCommandParts {
    OperationContext& operation;
    ConsolePanel& panel;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // Wakes and identifies the timer, as the window's Connect does.
    std::function<bool()> connect;
    // Reads the timer's configuration into the settings.
    std::function<bool()> read;
    // Reports a wrong command line and gives its exit status.
    std::function<int(const std::string& problem)> usageError;
};

// transmit-sequence SECONDS:KIND ...: the steps checked and rounded as the editor does,
// then written as "Edit Sequence" writes them.
int runTransmitSequence(TimerCommandParts& parts, const std::vector<std::string>& steps);
// tune [--write]: trims read from the input one a line, each sent at once.
int runTune(TimerCommandParts& parts, const std::vector<std::string>& arguments);

// For write, after the configuration was read and the assignments checked: writes the
// transmit table and the tone sequence that the assignments give and that differ from what
// the timer holds, before the configuration block. False, after a message, when a value
// is refused (then nothing is written) or a block write fails.
bool writeSequenceTables(OperationContext& op, const std::vector<SettingsAssignment>& assignments);
