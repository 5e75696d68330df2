#pragma once
// tavofoxctl's sound commands: the upload of a WAV file to a timer, with a progress bar on a
// terminal, and the check of a file against a timer that is not there.

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "core/operations/operation.h"
#include "core/operator_panel.h"

class ConsolePanel;

// Progress on the error stream: a one-line bar (percentage, blocks, elapsed and time left)
// when it is the program's terminal, nothing otherwise. Ctrl-C cancels while it is open.
std::unique_ptr<ProgressHandle> openConsoleProgress(std::ostream& err);

// "Load Sound " with file as the operator's choice; the exit status.
int uploadSound(OperationContext& op, ConsolePanel& panel, const std::string& file);

// "sound check FILE [--clock 8000000|10000000] [--memory KIB]": key=value lines on out, or
// the message that refuses the file on err. A usage problem is put into usageProblem.
int checkSound(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               std::string& usageProblem);
