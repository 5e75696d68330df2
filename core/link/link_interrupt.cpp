#include "core/link/link_interrupt.h"

#include <atomic>

namespace {

// Lock-free, so that a signal handler may set it.
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

} // namespace

void LinkInterrupt::request() noexcept {
    interruptRequested.store(true, std::memory_order_relaxed);
}

bool LinkInterrupt::requested() noexcept {
    return interruptRequested.load(std::memory_order_relaxed);
}

void LinkInterrupt::clear() noexcept {
    interruptRequested.store(false, std::memory_order_relaxed);
}
