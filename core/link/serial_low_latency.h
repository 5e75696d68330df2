#pragma once
// USB serial adapters hold received bytes until their buffer fills or a latency timer runs
// out (16 ms on common chips), which every echo of the timer's protocol would wait for.

// Asks the driver of the open terminal fd for low latency (Linux: ASYNC_LOW_LATENCY through
// TIOCGSERIAL/TIOCSSERIAL, which the FTDI driver turns into a 1 ms latency timer). A driver
// that refuses, and every other system, keeps its own pace.
void requestLowLatency(int fd) noexcept;
