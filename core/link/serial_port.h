#pragma once
// One serial port of the operating system, opened by port number. No platform types here:
// each platform's file keeps its open port behind CSerialPort::Line.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

class ModemControl;

// A failed system call of the serial port, with the system's error code (errno on POSIX).
class CSerialException : public std::system_error {
public:
    explicit CSerialException(std::uint32_t errorCode);
    // Copies at most size-1 characters of the system's text for errorCode into buffer.
    // False and an empty buffer when the system has no text for it.
    bool GetErrorMessage(char* buffer, unsigned size, unsigned* helpContext = nullptr) const;
    // The system's text for errorCode; empty when it has none.
    std::string message() const;

    std::uint32_t errorCode;
};

// Throws CSerialException with code, or with the last system error (errno) when code is 0.
[[noreturn]] void ThrowSerialException(std::uint32_t code = 0);

enum Parity { EvenParity = 0, MarkParity = 1, NoParity = 2, OddParity = 3, SpaceParity = 4 };
enum StopBits { OneStopBit = 0, OnePointFiveStopBits = 1, TwoStopBits = 2 };
enum FlowControl {
    NoFlowControl = 0,
    CtsRtsFlowControl = 1,
    CtsDtrFlowControl = 2,
    DsrRtsFlowControl = 3,
    DsrDtrFlowControl = 4,
    XonXoffFlowControl = 5
};

// Time-outs in milliseconds; total = multiplier * count + constant, 0 = not used.
struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

// The platform's record of all line settings (termios, DCB); defined by the platform's
// own header beside its serial port file, for the few who need to look inside.
struct SerialState;

class CSerialPort {
public:
    CSerialPort();
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Closes the port first. The port is open afterwards only when every step succeeded.
    void Open(int port, std::uint32_t baud = 19200, Parity parity = NoParity, std::uint8_t dataBits = 8,
              StopBits stopBits = OneStopBit, FlowControl flow = NoFlowControl);
    // The same for a device named by its path ("/dev/ttyUSB0", "\\.\COM12").
    void Open(const std::string& devicePath, std::uint32_t baud = 19200, Parity parity = NoParity,
              std::uint8_t dataBits = 8, StopBits stopBits = OneStopBit, FlowControl flow = NoFlowControl);
    void Close() noexcept;
    bool IsOpen() const noexcept;

    std::size_t Read(void* buffer, std::size_t count);
    std::size_t Write(const void* buffer, std::size_t count);
    void GetState(SerialState& state);
    void SetState(const SerialState& state);
    void ClearRTS();
    void SetRTS();
    // Waits until every byte written so far has been sent, for at most the write time-out.
    void Flush();
    void ClearWriteBuffer();
    void ClearReadBuffer();
    void Setup(std::uint32_t inQueue, std::uint32_t outQueue);
    void GetTimeouts(CommTimeouts& timeouts);
    void SetTimeouts(const CommTimeouts& timeouts);

    // ClearRTS and SetRTS go to control instead of the line's own modem control lines;
    // nullptr gives them back to the line. Not owned; it stays across Open and Close.
    void setModemControl(ModemControl* control) noexcept { modemControl_ = control; }

    // Device path of the open port (empty while closed).
    const std::string& devicePath() const noexcept;

private:
    struct Line; // the open port as the platform keeps it
    Line& line();
    ModemControl& modemControl();

    std::unique_ptr<Line> line_; // null while closed
    ModemControl* modemControl_ = nullptr;
    CommTimeouts timeouts_{};
};
