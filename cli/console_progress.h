#pragma once
// Progress on the error stream: a one-line bar (percentage, blocks, elapsed and time left)
// when it is the program's terminal, nothing otherwise. Ctrl-C cancels while it is open.

#include <iosfwd>
#include <memory>

#include "core/operator_panel.h"

std::unique_ptr<ProgressHandle> openConsoleProgress(std::ostream& err);
