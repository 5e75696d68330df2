#pragma once
// For the tavofoxctl tests: one command line run in this process, with what it printed.

#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

struct CtlResult {
    int status;
    std::string out;
    std::string err;
};

// input is what the command reads on standard input; the fixed pauses are not waited out.
inline CtlResult tavofoxctl(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = runTavofoxctl(args, in, out, err, [](int) {});
    return {status, out.str(), err.str()};
}
