#include "cli/console_panel.h"

#include <ostream>

#include "cli/console_progress.h"

ConsolePanel::ConsolePanel(int port, std::ostream& err, Sleeper sleeper)
    : port_(port), err_(err), sleeper_(std::move(sleeper)) {}

void ConsolePanel::showMessage(std::string_view text, MessageIcon) {
    err_ << text << '\n' << std::flush;
}

void ConsolePanel::sleepMs(int ms) {
    if (sleeper_) sleeper_(ms);
}

std::unique_ptr<ProgressHandle> ConsolePanel::openProgress(std::string_view, bool) {
    return openConsoleProgress(err_);
}
