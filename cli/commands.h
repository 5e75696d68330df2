#pragma once
// tavofoxctl: the window's operations from a command line, for scripts and for
// programming several timers in a row.

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/console_panel.h"

namespace ExitStatus {
inline constexpr int ok = 0;
inline constexpr int failed = 1;
inline constexpr int usage = 2;
} // namespace ExitStatus

// Starts the command line's own diagnostics, apart from the messages the window would show.
inline constexpr const char* programPrefix = "tavofoxctl: ";

// Runs one command line (without the program name). Results go to out, the operator's
// messages and diagnostics to err; sleeper carries out the protocol's fixed pauses.
int runTavofoxctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const ConsolePanel::Sleeper& sleeper);
// The same, with the lines that tune reads from in (the other one reads standard input).
int runTavofoxctl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                  std::ostream& err, const ConsolePanel::Sleeper& sleeper);
