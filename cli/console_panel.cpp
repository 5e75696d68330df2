#include "cli/console_panel.h"

#include <algorithm>
#include <ostream>

ConsolePanel::ConsolePanel(int port, std::ostream& err, Sleeper sleeper)
    : port_(port), err_(err), sleeper_(std::move(sleeper)) {}

void ConsolePanel::showMessage(std::string_view text, MessageIcon) {
    messages_.emplace_back(text);
    err_ << text << '\n' << std::flush;
}

void ConsolePanel::sleepMs(int ms) {
    if (sleeper_) sleeper_(ms);
}

bool ConsolePanel::shown(std::string_view text) const {
    return std::find(messages_.begin(), messages_.end(), text) != messages_.end();
}
