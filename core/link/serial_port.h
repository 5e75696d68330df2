#pragma once
// One serial port of the operating system, opened by port number.

#include <cstddef>
#include <cstdint>
#include <string>

#if !defined(_WIN32)
#include <termios.h>
#endif

class CSerialException {
public:
    explicit CSerialException(std::uint32_t errorCode) : errorCode(errorCode) {}
    // Copies at most size-1 characters of the system's text for errorCode into buffer.
    // False and an empty buffer when the system has no text for it.
    bool GetErrorMessage(char* buffer, unsigned size, unsigned* helpContext = nullptr) const;
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

#if defined(_WIN32)
struct SerialState; // the DCB on Windows
#else
using SerialState = struct termios;

// Puts the line-setting codes of Open into a termios record, as Open does before applying it.
// Throws CSerialException(EINVAL) for a baud rate or word size that termios cannot carry.
void applyLineSettings(SerialState& state, std::uint32_t baud, Parity parity, std::uint8_t dataBits,
                       StopBits stopBits, FlowControl flow);
#endif

class CSerialPort {
public:
    CSerialPort() = default;
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    void Open(int port, std::uint32_t baud = 19200, Parity parity = NoParity, std::uint8_t dataBits = 8,
              StopBits stopBits = OneStopBit, FlowControl flow = NoFlowControl);
    void Close() noexcept;
    bool IsOpen() const noexcept;

    std::size_t Read(void* buffer, std::size_t count);
    std::size_t Write(const void* buffer, std::size_t count);
    void GetState(SerialState& state);
    void SetState(const SerialState& state);
    void ClearRTS();
    void SetRTS();
    void Flush();
    void ClearWriteBuffer();
    void ClearReadBuffer();
    void Setup(std::uint32_t inQueue, std::uint32_t outQueue);
    void GetTimeouts(CommTimeouts& timeouts);
    void SetTimeouts(const CommTimeouts& timeouts);

    // Device path of the open port (empty while closed).
    const std::string& devicePath() const noexcept { return devicePath_; }

private:
    int handle_ = -1;
    std::string devicePath_;
    CommTimeouts timeouts_{};
};
