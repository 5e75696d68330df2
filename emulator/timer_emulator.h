#pragma once
// The timer's side of the protocol as a state machine: bytes in, reply bytes out.
// No I/O of its own; the pty runner (or a test) feeds it.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/formats/timer_memory_map.h"

struct EmulatorFaults {
    bool silent = false;             // answers nothing at all
    bool wakeAnswersGreater = false; // answers the wake with '>' instead of '!'
    int strayBytesBeforeEcho = 0;    // this many junk bytes before every echo (and wake answer)
    bool garbageStream = false;      // the line never falls silent: junk for every byte received and,
                                     // through the runner, all the time; never an echo
    bool wrongChecksum = false;      // upload checksums are off by one
    int hashFaultAfterByte = -1;     // data byte index of a "W" from which the '#' goes wrong
    bool hashMissing = false;        // ...missing (true) or a wrong byte (false)
    int silentAfterBytes = -1;       // stops answering after receiving this many bytes
    int dropLineAfterBytes = -1;     // the runner closes the line once this many bytes were received
    int interruptAtByte = -1;        // the runner sends SIGINT to the program on the line when this
                                     // byte (counted from 1) arrives, before its reply: Ctrl-C
    int imageBytes = -1;             // sends only this many bytes of the configuration image
    int identityBytes = -1;          // sends only this many of the two identity bytes
    bool confirmWithoutHash = false; // echoes the "G" of an upload but sends no '#' after it
    int flipStoredAddress = -1;      // a cell that stores every written byte with its lowest bit
                                     // turned, answered with a good '#' all the same
};

struct EmulatorCounters {
    int applyCount = 0; // '@' received
    int wakeCount = 0;
    int writeBlocks = 0; // complete "W" blocks
    int uploadBlocksConfirmed = 0;
    int uploadBlocksRejected = 0;
    int bytesReceived = 0;
    // Every byte received, in order.
    std::vector<std::uint8_t> received;
};

class TimerEmulator {
public:
    using ParameterMemory = std::array<std::uint8_t, TimerMemoryMap::parameterMemorySize>;
    enum class Model { Pic684, Pic628A };

    // memoryKiB: 0, 32, 64 or 128. firmware as major, minor.
    explicit TimerEmulator(Model model = Model::Pic684, int memoryKiB = 64, int firmwareMajor = 2,
                           int firmwareMinor = 1);

    // Feeds one received byte; returns the bytes the timer sends back.
    std::vector<std::uint8_t> receive(std::uint8_t byte);
    // The reset line: back to the idle state (test mode and tuning end).
    void reset();

    ParameterMemory& parameterMemory() { return parameter_; }
    const ParameterMemory& parameterMemory() const { return parameter_; }
    std::vector<std::uint8_t>& externalMemory() { return external_; }
    bool loadParameterMemory(const std::string& path);
    bool saveParameterMemory(const std::string& path) const;
    // The external sample memory as a file of exactly its size.
    bool loadExternalMemory(const std::string& path);
    bool saveExternalMemory(const std::string& path) const;

    std::array<std::uint8_t, 2> identityBytes() const;
    // A byte of line noise: never the echo of the last byte received, nor "!", ">" or "#".
    std::uint8_t noiseByte() const;
    int trim() const { return trim_; }
    // The emulator's own model of the internal oscillator, so that tuning can be tried
    // without a timer (a real one has its own spread and steps): the frequency on the LED
    // pin is 250 kHz, off by a factory error in percent, and each trim step moves it by
    // 0.75 % of that, about +/-12 % over -16 .. +15.
    void setOscillatorError(double percent) { oscillatorErrorPercent_ = percent; }
    double ledFrequencyHz() const;
    // Called with each trim byte applied while tuning, as a frequency counter would show it.
    void setTrimObserver(std::function<void(int trim, double ledHz)> observer) {
        trimObserver_ = std::move(observer);
    }
    bool testMode() const { return testMode_; }
    bool tuning() const { return tuning_; }
    EmulatorFaults& faults() { return faults_; }
    const EmulatorCounters& counters() const { return counters_; }

private:
    enum class State {
        Idle,
        WriteAddress,
        WriteCount,
        WriteData,
        UploadCount,
        UploadAddress,
        UploadData,
        UploadVerdict,
        Tuning
    };
    std::vector<std::uint8_t> echo(std::uint8_t byte);
    std::vector<std::uint8_t> command(std::uint8_t byte);
    std::vector<std::uint8_t> strayThen(std::uint8_t byte);

    Model model_;
    int memoryKiB_;
    int firmwareMajor_;
    int firmwareMinor_;
    ParameterMemory parameter_{};
    std::vector<std::uint8_t> external_;
    EmulatorFaults faults_;
    EmulatorCounters counters_;
    State state_ = State::Idle;
    bool testMode_ = false;
    bool tuning_ = false;
    int trim_ = 0;
    double oscillatorErrorPercent_ = 3.0;
    std::function<void(int, double)> trimObserver_;
    // current block
    std::uint8_t address_ = 0;
    int count_ = 0;
    int index_ = 0;
    std::uint32_t uploadAddress_ = 0;
    int addressBytes_ = 0;
    std::vector<std::uint8_t> uploadData_;
    std::uint8_t lastReceived_ = 0;
};
