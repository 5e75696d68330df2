#include "cli/usage_voice.h"

#include <CLI/CLI.hpp>

#include <regex>

namespace {

// The command as typed up to the deepest subcommand selected: "tavofoxctl ringtone send".
std::string commandPath(std::string_view program, const CLI::App& app) {
    std::string path(program);
    for (const CLI::App* sub = &app;;) {
        const auto selected = sub->get_subcommands();
        if (selected.empty()) break;
        sub = selected.front();
        path += " " + sub->get_name();
    }
    return path;
}

struct Rewrite {
    std::regex pattern;
    const char* words;            // std::regex_replace format
    bool aboutTheCommand = false; // a missing or stray part of the command: its help follows
};

// CLI11's texts (as of 2.1) and what the program says instead. A text not listed passes as
// CLI11 wrote it.
std::string rewritten(const std::string& text, bool& aboutTheCommand) {
    static const Rewrite rewrites[] = {
        {std::regex("^(\\S+): At Most 1 required but received \\d+$"), "$1: given twice"},
        {std::regex("^(\\S+): At Most (\\d+) required but received \\d+$"), "$1: given more than $2 times"},
        {std::regex("^(\\S+): At least \\d+ required but received 0$"), "$1: needs a value", true},
        {std::regex("^(\\S+): \\d+ required .* missing$"), "$1: needs a value", true},
        {std::regex("^Expected at least \\d+ arguments? to (\\S+), got 0$"), "$1: needs a value", true},
        {std::regex("^Expected exactly \\d+ arguments? to (\\S+), got \\d+$"), "$1: needs a value", true},
        {std::regex("^(\\S+): Value (.*) not in range (\\S+) to (\\S+)$"), "$1: takes $3 to $4, not $2"},
        {std::regex("^(\\S+): (.*) not in \\{(.*),([^,]*)\\}$"), "$1: takes $3 or $4, not $2"},
        {std::regex("^Could not convert: (\\S+) = (.*)$"), "$1: takes a number, not $2"},
        {std::regex("^(\\S+): too many inputs for a flag$"), "$1: takes no value"},
        {std::regex("^(\\S+): Should be true/false or a number$"), "$1: takes no value"},
        {std::regex("^(\\S+) requires (\\S+)$"), "$1 needs $2", true},
        {std::regex("^(\\S+) excludes (\\S+)$"), "$1 cannot go with $2", true},
        // Said of the command given last: "ringtone encode needs FILE".
        {std::regex("^A subcommand( is required)?$"), "needs a command", true},
        {std::regex("^(\\S+) is required$"), "needs $1", true},
    };
    for (const Rewrite& rewrite : rewrites)
        if (std::regex_match(text, rewrite.pattern)) {
            aboutTheCommand = rewrite.aboutTheCommand;
            std::string words = std::regex_replace(text, rewrite.pattern, rewrite.words);
            // A set of more than two members reads "0, 32, 64 or 128"; a range of decimals
            // "-50 to 50", not "-50.000000 to 50.000000".
            words = std::regex_replace(words, std::regex(",(\\S)"), ", $1");
            return std::regex_replace(words, std::regex("(\\d)\\.0+(?=\\D|$)"), "$1");
        }
    return text;
}

} // namespace

std::string usageRefusal(std::string_view program, const CLI::App& app, const CLI::ParseError& error) {
    const std::string prefix = std::string(program) + ": ";
    const std::string help = ". Run " + commandPath(program, app) + " --help";
    // What was typed and not taken explains the rest ("fly" is why no command was found).
    if (const auto extras = app.remaining(true); !extras.empty()) {
        const std::string& first = extras.front();
        if (first[0] == '-' && first.size() > 1) return prefix + "unknown option " + first + help;
        if (app.get_subcommands().empty()) return prefix + "unknown command \"" + first + "\"" + help;
        return prefix + "unexpected argument \"" + first + "\"" + help;
    }
    bool aboutTheCommand = false;
    std::string words = rewritten(error.what(), aboutTheCommand);
    if (words.starts_with("needs ")) {
        const std::string command = commandPath(program, app);
        words = (command.size() > program.size() ? command.substr(program.size() + 1) : "the command line") +
                " " + words;
    }
    return prefix + words + (aboutTheCommand ? help : "");
}
