#include "cli/console_interrupt.h"

#include <csignal>

#include "core/link/link_interrupt.h"

namespace {

extern "C" void requestInterrupt(int) {
    LinkInterrupt::request();
}

} // namespace

struct InterruptCatcher::Previous {
#if defined(_WIN32)
    void (*handler)(int) = nullptr;
#else
    struct sigaction action {};
#endif
};

InterruptCatcher::InterruptCatcher(bool restartCalls) : previous_(std::make_unique<Previous>()) {
#if defined(_WIN32)
    (void)restartCalls;
    previous_->handler = std::signal(SIGINT, requestInterrupt);
    if (previous_->handler == SIG_ERR) previous_.reset();
#else
    struct sigaction action {};
    action.sa_handler = requestInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = restartCalls ? SA_RESTART : 0;
    if (::sigaction(SIGINT, &action, &previous_->action) != 0) previous_.reset();
#endif
}

InterruptCatcher::~InterruptCatcher() {
    release();
}

void InterruptCatcher::release() {
    if (!previous_) return;
#if defined(_WIN32)
    std::signal(SIGINT, previous_->handler);
#else
    ::sigaction(SIGINT, &previous_->action, nullptr);
#endif
    previous_.reset();
}

bool InterruptCatcher::interrupted() const {
    return LinkInterrupt::requested();
}
