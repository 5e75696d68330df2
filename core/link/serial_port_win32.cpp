// CSerialPort on the Windows communications functions.

#include "core/link/serial_port.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include <windows.h>

#include "core/link/dcb_line_codes.h"
#include "core/link/modem_control.h"
#include "core/link/port_numbers.h"
#include "core/link/serial_dcb.h"

namespace {

// The system's message text for code, without the line break it ends with; empty when the
// system has none.
std::string systemMessage(std::uint32_t code) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) return {};
    const std::unique_ptr<char, HLOCAL (*)(HLOCAL)> owned(text, ::LocalFree);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

void check(BOOL succeeded) {
    if (!succeeded) ThrowSerialException();
}

// One open port handle, closed with its holder.
struct HandleCloser {
    void operator()(void* handle) const noexcept { ::CloseHandle(static_cast<HANDLE>(handle)); }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

// One synchronous transfer takes at most MAXDWORD bytes.
DWORD transferSize(std::size_t count) {
    return static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
}

// RTS of a port through the driver's escape functions.
class CommModemControl final : public ModemControl {
public:
    explicit CommModemControl(HANDLE handle) noexcept : handle_(handle) {}

    void setRts(bool active) override {
        // A port without modem-control lines (a virtual port; under Wine a pseudo-terminal)
        // answers ERROR_NOT_SUPPORTED; it carries no reset, so there is nothing to do.
        if (!::EscapeCommFunction(handle_, active ? SETRTS : CLRRTS) &&
            ::GetLastError() != ERROR_NOT_SUPPORTED)
            ThrowSerialException();
    }

private:
    HANDLE handle_;
};

} // namespace

struct CSerialPort::Line {
    Line(OwnedHandle owned, std::string devicePath)
        : owned(std::move(owned)), devicePath(std::move(devicePath)), modem(handle()) {}
    HANDLE handle() const noexcept { return static_cast<HANDLE>(owned.get()); }

    OwnedHandle owned;
    std::string devicePath;
    CommModemControl modem;
};

CSerialException::CSerialException(std::uint32_t errorCode)
    : std::system_error(static_cast<int>(errorCode), std::system_category()), errorCode(errorCode) {}

bool CSerialException::GetErrorMessage(char* buffer, unsigned size, unsigned* helpContext) const {
    if (helpContext) *helpContext = 0;
    if (buffer == nullptr || size == 0) return false;
    const std::string text = message();
    const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return !text.empty();
}

std::string CSerialException::message() const {
    return systemMessage(errorCode);
}

void ThrowSerialException(std::uint32_t code) {
    throw CSerialException(code != 0 ? code : static_cast<std::uint32_t>(::GetLastError()));
}

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
    Close();
}

bool CSerialPort::IsOpen() const noexcept {
    return line_ != nullptr;
}

const std::string& CSerialPort::devicePath() const noexcept {
    static const std::string closed;
    return line_ ? line_->devicePath : closed;
}

CSerialPort::Line& CSerialPort::line() {
    if (!line_) ThrowSerialException(ERROR_INVALID_HANDLE);
    return *line_;
}

ModemControl& CSerialPort::modemControl() {
    Line& open = line();
    return modemControl_ ? *modemControl_ : open.modem;
}

// Everything happens on a handle of our own; the port takes it only when every step has
// succeeded, so a port whose settings the driver refused is not left held.
void CSerialPort::Open(int port, std::uint32_t baud, Parity parity, std::uint8_t dataBits, StopBits stopBits,
                       FlowControl flow) {
    Close();
    const std::string name = portDevicePath(port);
    if (name.empty()) ThrowSerialException(ERROR_FILE_NOT_FOUND);
    Open(name, baud, parity, dataBits, stopBits, flow);
}

void CSerialPort::Open(const std::string& devicePath, std::uint32_t baud, Parity parity,
                       std::uint8_t dataBits, StopBits stopBits, FlowControl flow) {
    Close();
    std::string name = devicePath;

    // No sharing: a port that another program holds answers ERROR_ACCESS_DENIED.
    const HANDLE opened =
        ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) ThrowSerialException();
    OwnedHandle owned(opened);

    DCB settings{};
    settings.DCBlength = sizeof settings;
    check(::GetCommState(opened, &settings));
    applyLineCodes(settings, baud, parity, dataBits, stopBits, flow);
    check(::SetCommState(opened, &settings));

    line_ = std::make_unique<Line>(std::move(owned), std::move(name));
}

void CSerialPort::Close() noexcept {
    line_.reset();
}

// The driver ends the read when count bytes have come or the total read time-out has passed;
// the bytes that came by then are the result, none of them being no failure.
std::size_t CSerialPort::Read(void* buffer, std::size_t count) {
    DWORD got = 0;
    check(::ReadFile(line().handle(), buffer, transferSize(count), &got, nullptr));
    return got;
}

std::size_t CSerialPort::Write(const void* buffer, std::size_t count) {
    DWORD put = 0;
    check(::WriteFile(line().handle(), buffer, transferSize(count), &put, nullptr));
    return put;
}

void CSerialPort::GetState(SerialState& state) {
    const HANDLE handle = line().handle();
    state.line.DCBlength = sizeof state.line;
    check(::GetCommState(handle, &state.line));
}

void CSerialPort::SetState(const SerialState& state) {
    const HANDLE handle = line().handle();
    DCB settings = state.line;
    settings.DCBlength = sizeof settings;
    check(::SetCommState(handle, &settings));
}

void CSerialPort::ClearRTS() {
    modemControl().setRts(false);
}

void CSerialPort::SetRTS() {
    modemControl().setRts(true);
}

void CSerialPort::Flush() {
    check(::FlushFileBuffers(line().handle()));
}

void CSerialPort::ClearWriteBuffer() {
    check(::PurgeComm(line().handle(), PURGE_TXCLEAR));
}

void CSerialPort::ClearReadBuffer() {
    check(::PurgeComm(line().handle(), PURGE_RXCLEAR));
}

void CSerialPort::Setup(std::uint32_t inQueue, std::uint32_t outQueue) {
    check(::SetupComm(line().handle(), inQueue, outQueue));
}

// The driver keeps the time-outs and applies them itself.
void CSerialPort::GetTimeouts(CommTimeouts& timeouts) {
    COMMTIMEOUTS native{};
    check(::GetCommTimeouts(line().handle(), &native));
    timeouts.ReadIntervalTimeout = native.ReadIntervalTimeout;
    timeouts.ReadTotalTimeoutMultiplier = native.ReadTotalTimeoutMultiplier;
    timeouts.ReadTotalTimeoutConstant = native.ReadTotalTimeoutConstant;
    timeouts.WriteTotalTimeoutMultiplier = native.WriteTotalTimeoutMultiplier;
    timeouts.WriteTotalTimeoutConstant = native.WriteTotalTimeoutConstant;
}

void CSerialPort::SetTimeouts(const CommTimeouts& timeouts) {
    COMMTIMEOUTS native{};
    native.ReadIntervalTimeout = timeouts.ReadIntervalTimeout;
    native.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
    native.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
    native.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
    native.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
    check(::SetCommTimeouts(line().handle(), &native));
}
