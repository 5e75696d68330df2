#include "cli/console_interrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interruptRequested = 0;

extern "C" void requestInterrupt(int) {
    interruptRequested = 1;
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
    interruptRequested = 0;
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
    return interruptRequested != 0;
}
