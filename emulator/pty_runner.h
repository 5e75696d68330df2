#pragma once
// Serves one TimerEmulator on a pseudo-terminal and offers it as port com<N>.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emulator/timer_emulator.h"

class PtyRunner {
public:
    // Opens the pseudo-terminal and registers com<port> in the port directory. Paced, every
    // byte takes its 11 bit times at 19200 baud on its way, in each direction, one after the
    // other, as on a real cable. Throws std::runtime_error when that is not possible.
    PtyRunner(TimerEmulator& emulator, int port, bool paced = false);
    ~PtyRunner(); // stops, closes, removes the link
    PtyRunner(const PtyRunner&) = delete;
    PtyRunner& operator=(const PtyRunner&) = delete;

    const std::string& devicePath() const { return slavePath_; }
    int port() const { return port_; }

    // Serves on the calling thread until stop() is called from another thread.
    void run();
    // Serves on a thread of its own.
    void start();
    void stop();
    // Closes the master: the program's next read or write fails as on a pulled cable.
    void dropLine();

    // Runs f with the emulator locked against the serving thread.
    void withEmulator(const std::function<void(TimerEmulator&)>& f);

private:
    bool lineSettingsRight() const;
    void registerLink();
    void closeAll() noexcept;
    void closeMaster() noexcept;
    void wakeServer() noexcept;
    void send(int master, const std::vector<std::uint8_t>& bytes);
    // The operator's Ctrl-C as the interrupt fault plays it: SIGINT to every other process
    // that has the line's device open.
    void interruptProgram() const;

    // The timer takes each byte of the program as soon as its last stop bit is in and starts
    // its answer at once; what it sends follows on the line, one byte after the other.
    void receive(int master, const std::uint8_t* bytes, std::size_t count);
    // Hands the program the replies whose time has come.
    void sendDue(int master);

    // A reply on its way along the line, due when its last stop bit is in.
    struct LineByte {
        std::chrono::steady_clock::time_point due;
        std::uint8_t byte;
    };
    std::deque<LineByte> toProgram_;
    std::chrono::steady_clock::time_point timerLineFree_{};
    std::chrono::steady_clock::time_point programLineFree_{};
    // How much earlier than a reply's time a paced wait ends (learnt).
    std::chrono::steady_clock::duration wakeLead_{};

    TimerEmulator& emulator_;
    int port_;
    bool paced_;
    int master_ = -1;
    int slaveKeeper_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    int wakeRead_ = -1; // a byte here ends the serving thread's wait
    int wakeWrite_ = -1;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable lineDropped_;
    bool serving_ = false;
    bool dropRequested_ = false;
    std::thread thread_;
};
