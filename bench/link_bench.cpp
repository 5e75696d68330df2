// How close the configuration transfers come to what the line itself allows.
//
// The timer answers every byte of a parameter write, so a write costs one round trip per
// byte. Against a software timer that holds each byte for its time on a 19200-baud 8N2
// line, this measures the round trip of a single echoed command and, in the same run, the
// configuration read and write, and prints each against the bound of its round trips.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>

#include "cli/console_panel.h"
#include "core/formats/timer_memory_map.h"
#include "core/link/timer_command.h"
#include "core/link/timer_session.h"
#include "core/operations/configuration.h"
#include "core/timer_settings.h"
#include "emulator/pty_runner.h"
#include "emulator/timer_emulator.h"

namespace {

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

using Clock = std::chrono::steady_clock;
// A start bit, 8 data bits and 2 stop bits at 19200 baud.
constexpr double byteLineMs = 11 * 1000.0 / 19200;

template <typename F> double millisecondsOf(int repetitions, F f) {
    const auto start = Clock::now();
    for (int i = 0; i < repetitions; ++i)
        f();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / repetitions;
}

} // namespace

int main() {
    char folder[] = "/tmp/tavofox-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    setenv("XDG_CONFIG_HOME", folder, 1);

    constexpr int port = 200;
    constexpr int repetitions = 20;
    TimerEmulator emulator;
    PtyRunner runner(emulator, port, /*paced=*/true);
    runner.start();

    NullBuffer nothing;
    std::ostream quiet(&nothing);
    ConsolePanel panel(port, quiet, [](int) {});
    TimerSettings settings;
    settings.cwText = "MOE";
    TimerSession session(panel, panel, settings);
    OperationContext operation{session, panel, panel, settings};
    if (!session.wakeTimer()) {
        std::fprintf(stderr, "no answer from the software timer\n");
        return 1;
    }

    const double exchange = millisecondsOf(200, [&] { session.echoCommand(TimerCommand::testMode); });
    // W, address, count and the 13 bytes; W, address, count and the 32 CW bytes; '@'.
    constexpr int writeExchanges = 3 + TimerMemoryMap::configLength + 3 + TimerMemoryMap::cwMessageLength + 1;
    const double write = millisecondsOf(repetitions, [&] { writeConfiguration(operation); });
    // The image follows the echo of 'R' without further round trips: one exchange plus
    // the line time of 128 bytes from the timer.
    const double read = millisecondsOf(repetitions, [&] { readConfiguration(operation); });
    const double readBound = exchange + TimerMemoryMap::imageLength * byteLineMs;

    std::printf("one echoed command:     %7.2f ms (line time of one 11-bit byte: %.2f ms)\n", exchange,
                byteLineMs);
    std::printf("writeConfiguration:     %7.2f ms, bound %7.2f ms (%d exchanges), ratio %.2f\n", write,
                writeExchanges * exchange, writeExchanges, write / (writeExchanges * exchange));
    std::printf("readConfiguration:      %7.2f ms, bound %7.2f ms, ratio %.2f\n", read, readBound,
                read / readBound);
    session.close();
    runner.stop();
    std::filesystem::remove_all(folder);
    return 0;
}
