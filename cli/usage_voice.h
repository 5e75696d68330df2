#pragma once
// CLI11's refusals in the program's own words: one formatter for tavofoxctl and the
// emulator, so that "--from: At Most 1 required but received 2" reads
// "tavofoxctl: --from: given twice".

#include <string>
#include <string_view>

namespace CLI {
class App;
class ParseError;
} // namespace CLI

// The line shown for a refused command line, starting with program and ": ". Where the
// refusal is about what was typed at all (a command or argument missing or unknown), it ends
// with the help to run for the command it was given to.
std::string usageRefusal(std::string_view program, const CLI::App& app, const CLI::ParseError& error);
