#pragma once
// tavofoxctl: the window's operations from a command line, for scripts and for
// programming several timers in a row.

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/console_panel.h"

namespace ExitStatus {
inline constexpr int ok = 0;
// The timer did not do all of it.
inline constexpr int failed = 1;
// The input was refused; nothing was sent, the port was not even opened.
inline constexpr int usage = 2;
} // namespace ExitStatus

// Starts the command line's own diagnostics, apart from the messages the window would show.
inline constexpr const char* programPrefix = "tavofoxctl: ";

// A command line refused before the timer is touched (exit status 2). what() is the whole
// line shown: the command line's own diagnostics start with programPrefix, a refused value
// is named ("cycleId: ", "--bpm: ", "step 1 \"2000:cw-message\": ") before the window's message.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A diagnostic of the command line itself: programPrefix and the problem.
UsageError commandLineError(const std::string& problem);

// Runs one command line (without the program name). Results go to out, the operator's
// messages and diagnostics to err; sleeper carries out the protocol's fixed pauses.
int runTavofoxctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const ConsolePanel::Sleeper& sleeper);
// The same, with the lines that tune reads from in (the other one reads standard input).
int runTavofoxctl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                  std::ostream& err, const ConsolePanel::Sleeper& sleeper);
