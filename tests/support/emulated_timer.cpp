#include "emulated_timer.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

TempConfigHome::TempConfigHome() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "tavofox-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
    // The write log goes to the data folder: the same temporary one.
    if (const char* old = std::getenv("XDG_DATA_HOME")) previousData_ = old;
    setenv("XDG_DATA_HOME", path_.c_str(), 1);
}

TempConfigHome::~TempConfigHome() {
    if (hadPrevious_)
        setenv("XDG_CONFIG_HOME", previous_.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    if (previousData_)
        setenv("XDG_DATA_HOME", previousData_->c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

EmulatedTimer::EmulatedTimer(TimerEmulator::Model model, int memoryKiB, int firmwareMajor, int firmwareMinor,
                             int port)
    : emulator(model, memoryKiB, firmwareMajor, firmwareMinor) {
    runner = std::make_unique<PtyRunner>(emulator, port);
    runner->start();
    panel.port = port;
}

EmulatedTimer::~EmulatedTimer() {
    session.close();
    runner.reset();
}
