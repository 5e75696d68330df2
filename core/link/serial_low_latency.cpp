#include "core/link/serial_low_latency.h"

#if defined(__linux__)
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

void requestLowLatency([[maybe_unused]] int fd) noexcept {
#if defined(__linux__)
    serial_struct info{};
    // Pseudo-terminals and many drivers answer ENOTTY or EINVAL; a line without the flag
    // is slower on turnarounds, never wrong.
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY)) return;
    info.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &info);
#endif
}
