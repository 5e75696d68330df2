#pragma once
// The PC side of the timer's command protocol over one serial port.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/link/serial_port.h"
#include "core/timer_settings.h"

class LineObserver;
class ModemControl;
class OperatorPanel;
class SettingsView;

struct TimerIdentity {
    std::string model;          // "684" or "628A"
    int memoryCode = 0;         // after code 3 is taken as 4
    int externalMemorySize = 0; // bytes: 0, 32768, 65536 or 131072
    int firmwareMajor = 0;
    int firmwareMinor = 0;
    int clockHz = TimerClock::model684Hz;

    static TimerIdentity decode(std::uint8_t first, std::uint8_t second);
    std::string text() const; // "TAVO Timer P:%s M:%dK  v%d.%d"
};

namespace TimerLink {
inline constexpr std::uint32_t baudRate = 19200;
inline constexpr std::uint32_t queueSize = 1024;
inline constexpr std::uint32_t readTimeoutMs = 1000;
inline constexpr std::uint32_t writeTimeoutMs = 1000;
inline constexpr int resetHoldMs = 200;
inline constexpr int resetButtonHoldMs = 500;
inline constexpr int startupWaitMs = 3000;
// A line that never falls silent gives up an echo or wake wait after this long in total.
inline constexpr int replyWaitLimitMs = 5000;
// The wait for each later "#" of a written block after one did not come.
inline constexpr int missedReplyWaitMs = 50;
inline constexpr int supportedFirmwareMajor = 2;
} // namespace TimerLink

// What the link shows the operator.
namespace TimerSessionText {
inline constexpr const char* noCommunication = "No Communication with DEVICE possible";
// Only for a port that another program holds; any other failure of the wake names itself,
// followed by the system's text.
inline constexpr const char* portInUse = "De serieele poort is al in gebruik";
inline constexpr const char* portCannotOpen = "The serial port cannot be opened: ";
inline constexpr const char* lineFailedInWake = "The serial line failed while the timer was woken: ";
inline constexpr const char* versionMismatch = "WARNING: PIC and PC have incompatible version nrs";
inline constexpr const char* testModeEnabled =
    "     ***** Test Mode Enabled *****\nYou need to RESET the Timer to end this";
inline constexpr const char* testModeFailed = "Error setting test mode";
} // namespace TimerSessionText

// A block of the parameter memory as the program wrote it, for reading it back.
struct WrittenBlock {
    std::uint8_t address = 0;
    std::vector<std::uint8_t> bytes;
};

class TimerSession {
public:
    // The session stores the chosen port in settings.comPort and takes the form into
    // settings before an identify.
    TimerSession(OperatorPanel& panel, SettingsView& view, TimerSettings& settings);

    bool wakeTimer();
    bool echoCommand(std::uint8_t command);
    bool identifyTimer();
    bool sendAddress24(std::uint32_t address);
    bool writeBlock(std::uint8_t address, std::uint8_t count, std::span<const std::uint8_t> data);
    bool uploadBlock(std::uint32_t address, std::uint8_t count, std::span<const std::uint8_t> data);
    void resetTimer();
    bool startTestMode();
    bool sendOscillatorValue(int value);
    // The data phase of a command that the timer answers with a block (the configuration
    // image after "R"): one read request for the whole buffer; true when all of it came.
    bool readReply(std::span<std::uint8_t> buffer);
    // Closes the port without a word to the timer (the end of a program or test).
    void close() noexcept { port_.Close(); }
    // The reset pulse goes to control instead of the port's own RTS line (a test's recorder).
    void setModemControl(ModemControl* control) noexcept { port_.setModemControl(control); }
    bool portOpen() const noexcept { return port_.IsOpen(); }
    // The wake opens this device instead of the selected port number (empty: the number).
    void setDevicePath(std::string path) { devicePath_ = std::move(path); }
    // Every byte sent and received is shown to observer too (nullptr: to nobody). Not owned.
    void setLineObserver(LineObserver* observer) noexcept { observer_ = observer; }

    // Every block whose write succeeded in this session, in order.
    const std::vector<WrittenBlock>& writtenBlocks() const { return writtenBlocks_; }
    // How many of writtenBlocks() came before the last apply that the timer echoed.
    std::size_t appliedBlockCount() const { return appliedBlockCount_; }
    // Sample blocks the timer confirmed in this session.
    std::size_t uploadedBlockCount() const { return uploadedBlockCount_; }
    // The operator asked to stop (LinkInterrupt): no block starts any more.
    bool interrupted() const;

    bool connected() const { return connected_; }
    int clockHz() const { return clockHz_; }
    int externalMemorySize() const { return externalMemorySize_; }
    // The identity of the last identify that succeeded.
    const TimerIdentity& identity() const { return identity_; }

private:
    void closeLine() noexcept;
    // The port's Write and Read, shown to the line observer.
    std::size_t send(const std::uint8_t* bytes, std::size_t count);
    std::size_t receive(std::uint8_t* bytes, std::size_t count);

    CSerialPort port_;
    LineObserver* observer_ = nullptr;
    std::string devicePath_;
    std::vector<WrittenBlock> writtenBlocks_;
    std::size_t appliedBlockCount_ = 0;
    std::size_t uploadedBlockCount_ = 0;
    OperatorPanel& panel_;
    SettingsView& view_;
    TimerSettings& settings_;
    bool connected_ = false;
    int clockHz_ = TimerClock::model684Hz;
    int externalMemorySize_ = 0;
    TimerIdentity identity_;
};
