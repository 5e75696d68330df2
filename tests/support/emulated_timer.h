#pragma once
// A software timer on a pseudo-terminal, offered as a port number in a private
// XDG_CONFIG_HOME, with a TimerSession on the program's side that talks to it through
// the real CSerialPort.

#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "core/link/timer_session.h"
#include "core/operations/operation.h"
#include "core/timer_settings.h"
#include "emulator/pty_runner.h"
#include "emulator/timer_emulator.h"
#include "test_panel.h"

// Points XDG_CONFIG_HOME and XDG_DATA_HOME at a fresh temporary folder for its lifetime.
class TempConfigHome {
public:
    TempConfigHome();
    ~TempConfigHome();
    TempConfigHome(const TempConfigHome&) = delete;
    TempConfigHome& operator=(const TempConfigHome&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
    std::optional<std::string> previousData_;
};

struct EmulatedTimer {
    explicit EmulatedTimer(TimerEmulator::Model model = TimerEmulator::Model::Pic684, int memoryKiB = 64,
                           int firmwareMajor = 2, int firmwareMinor = 1, int port = 7);
    ~EmulatedTimer();

    // Runs f on the emulator, locked against the serving thread; gives f's result, if any.
    template <typename F> auto with(F f) {
        using Result = decltype(f(emulator));
        if constexpr (std::is_void_v<Result>) {
            runner->withEmulator([&](TimerEmulator& e) { f(e); });
        } else {
            Result result{};
            runner->withEmulator([&](TimerEmulator& e) { result = f(e); });
            return result;
        }
    }

    TempConfigHome home;
    TimerEmulator emulator;
    std::unique_ptr<PtyRunner> runner;
    TestPanel panel;
    TimerSettings settings;
    TimerSession session{panel, panel, settings};
    OperationContext operation{session, panel, panel, settings};
};
