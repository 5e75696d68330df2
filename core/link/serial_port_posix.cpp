// CSerialPort on POSIX terminals (termios).

#include "core/link/serial_port.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <iterator>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "core/link/port_numbers.h"

namespace {

using Clock = std::chrono::steady_clock;

// The time-out value that, as the interval time-out with both totals 0, asks a read to return
// at once with whatever has arrived (the classic serial interface's MAXDWORD rule).
constexpr std::uint32_t returnAtOnce = 0xFFFFFFFFu;
// Longest total time-out honoured; longer ones are taken as this (far beyond any real use).
constexpr std::uint64_t longestTimeoutMs = std::uint64_t{1} << 40;

constexpr std::uint8_t xonCharacter = 17;
constexpr std::uint8_t xoffCharacter = 19;

#if defined(CMSPAR)
constexpr tcflag_t stickParity = CMSPAR;
#else
constexpr tcflag_t stickParity = 0;
#endif
#if defined(CRTSCTS)
constexpr tcflag_t hardwareFlow = CRTSCTS;
#else
constexpr tcflag_t hardwareFlow = 0;
#endif

// glibc's strerror_r comes in two shapes; these pick the text from either.
[[maybe_unused]] const char* errorText(int result, const char* buffer) {
    return result == 0 ? buffer : "";
}
[[maybe_unused]] const char* errorText(const char* result, const char*) {
    return result;
}

std::string systemMessage(std::uint32_t code) {
    if (code > static_cast<std::uint32_t>(INT_MAX)) return {};
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    // glibc makes up "Unknown error N" for codes it has no text for; those have none.
    if (strerrordesc_np(static_cast<int>(code)) == nullptr) return {};
#endif
    char buffer[256] = {};
    return errorText(strerror_r(static_cast<int>(code), buffer, sizeof buffer), buffer);
}

struct BaudRate {
    std::uint32_t baud;
    speed_t speed;
};
constexpr BaudRate baudRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
#if defined(B57600)
    {57600, B57600},     {115200, B115200},   {230400, B230400},
#endif
#if defined(B460800)
    {460800, B460800},   {500000, B500000},   {576000, B576000},   {921600, B921600},   {1000000, B1000000},
    {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
#endif
};

std::optional<speed_t> speedFor(std::uint32_t baud) {
    for (const BaudRate& rate : baudRates)
        if (rate.baud == baud) return rate.speed;
    return std::nullopt;
}

std::optional<tcflag_t> wordSizeFor(std::uint8_t dataBits) {
    constexpr tcflag_t wordSizes[] = {CS5, CS6, CS7, CS8};
    constexpr std::uint8_t smallestWord = 5;
    if (dataBits < smallestWord || dataBits >= smallestWord + std::size(wordSizes)) return std::nullopt;
    return wordSizes[dataBits - smallestWord];
}

// Deadline of a transfer of count bytes, or none when both time-outs are 0 (no limit).
std::optional<Clock::time_point> totalDeadline(std::uint32_t multiplier, std::uint32_t constant,
                                               std::size_t count) {
    if (multiplier == 0 && constant == 0) return std::nullopt;
    std::uint64_t ms = longestTimeoutMs;
    if (multiplier == 0 || count <= (longestTimeoutMs - constant) / multiplier)
        ms = std::uint64_t{multiplier} * count + constant;
    return Clock::now() + std::chrono::milliseconds(ms);
}

// Waits until fd shows one of events or the deadline passes (0 then). Signals do not end the wait.
short waitFor(int fd, short events, std::optional<Clock::time_point> deadline) {
    for (;;) {
        int timeoutMs = -1;
        if (deadline) {
            const auto left = *deadline - Clock::now();
            const auto leftMs = std::chrono::ceil<std::chrono::milliseconds>(left).count();
            timeoutMs = static_cast<int>(std::clamp<decltype(leftMs)>(leftMs, 0, INT_MAX));
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, timeoutMs);
        if (ready > 0) return entry.revents;
        if (ready == 0) {
            if (timeoutMs == 0) return 0;
            continue;
        }
        if (errno != EINTR) ThrowSerialException();
    }
}

// A descriptor that is no longer usable for the transfer: a hung-up line or a vanished device.
[[noreturn]] void throwLineGone(short revents) {
    ThrowSerialException((revents & POLLNVAL) ? EBADF : EIO);
}

} // namespace

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
    throw CSerialException(code != 0 ? code : static_cast<std::uint32_t>(errno));
}

void applyLineSettings(SerialState& state, std::uint32_t baud, Parity parity, std::uint8_t dataBits,
                       StopBits stopBits, FlowControl flow) {
    const std::optional<speed_t> speed = speedFor(baud);
    const std::optional<tcflag_t> wordSize = wordSizeFor(dataBits);
    const bool needsStickParity = parity == MarkParity || parity == SpaceParity;
    // Checked before anything changes, so that a refused setting leaves the record as it was.
    if (!speed || !wordSize || (needsStickParity && stickParity == 0)) ThrowSerialException(EINVAL);

    // Raw mode clears the parity and the XON/XOFF output switch; a code outside its table
    // must leave those as the port had them, so they are put back first.
    const tcflag_t parityBefore = state.c_cflag & (PARENB | PARODD | stickParity);
    const tcflag_t xonBefore = state.c_iflag & IXON;
    cfmakeraw(&state);
    state.c_cflag = (state.c_cflag & ~(PARENB | PARODD | stickParity)) | parityBefore;
    state.c_iflag |= xonBefore;

    cfsetispeed(&state, *speed);
    cfsetospeed(&state, *speed);
    state.c_cflag = (state.c_cflag & ~CSIZE) | *wordSize;
    state.c_cflag |= CLOCAL | CREAD;

    switch (parity) {
    case EvenParity:
        state.c_cflag = (state.c_cflag & ~(PARODD | stickParity)) | PARENB;
        break;
    case OddParity:
        state.c_cflag = (state.c_cflag & ~stickParity) | PARENB | PARODD;
        break;
    // Mark and space are the "stick" parities: the parity bit is fixed, odd selecting mark.
    case MarkParity:
        state.c_cflag |= PARENB | PARODD | stickParity;
        break;
    case SpaceParity:
        state.c_cflag = (state.c_cflag & ~PARODD) | PARENB | stickParity;
        break;
    case NoParity:
        state.c_cflag &= ~(PARENB | PARODD | stickParity);
        break;
    default:
        break;
    }

    switch (stopBits) {
    case OneStopBit:
        state.c_cflag &= ~CSTOPB;
        break;
    // termios has no 1.5; a UART gives 1.5 stop bits for CSTOPB with 5-bit words, the only
    // word size that 1.5 goes with.
    case OnePointFiveStopBits:
    case TwoStopBits:
        state.c_cflag |= CSTOPB;
        break;
    default:
        break;
    }

    switch (flow) {
    case NoFlowControl:
        state.c_cflag &= ~hardwareFlow;
        state.c_iflag &= ~(IXON | IXOFF);
        break;
    // termios knows one hardware handshake, RTS/CTS; it is the nearest to each of the four.
    case CtsRtsFlowControl:
    case CtsDtrFlowControl:
    case DsrRtsFlowControl:
    case DsrDtrFlowControl:
        state.c_cflag |= hardwareFlow;
        state.c_iflag &= ~(IXON | IXOFF);
        break;
    case XonXoffFlowControl:
        state.c_cflag &= ~hardwareFlow;
        state.c_iflag |= IXON | IXOFF;
        state.c_cc[VSTART] = xonCharacter;
        state.c_cc[VSTOP] = xoffCharacter;
        break;
    default:
        break;
    }
}

CSerialPort::~CSerialPort() {
    Close();
}

bool CSerialPort::IsOpen() const noexcept {
    return handle_ >= 0;
}

void CSerialPort::Open(int port, std::uint32_t baud, Parity parity, std::uint8_t dataBits, StopBits stopBits,
                       FlowControl flow) {
    Close();
    const std::string path = portDevicePath(port);
    if (path.empty()) ThrowSerialException(ENOENT);

    // O_NONBLOCK only for the open: a modem line without carrier would otherwise hang it.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) ThrowSerialException();
    const auto giveUp = [fd](int error, bool exclusive) {
        if (exclusive) ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        ThrowSerialException(static_cast<std::uint32_t>(error));
    };
    // The lock comes before TIOCEXCL so that a port another program holds does not get our
    // exclusive flag; and TIOCEXCL alone does not stop root.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) giveUp(errno == EWOULDBLOCK ? EBUSY : errno, false);
    if (::ioctl(fd, TIOCEXCL) != 0) giveUp(errno, false);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) giveUp(errno, true);
    handle_ = fd;
    devicePath_ = path;

    SerialState state{};
    GetState(state);
    applyLineSettings(state, baud, parity, dataBits, stopBits, flow);
    SetState(state);
}

void CSerialPort::Close() noexcept {
    if (handle_ < 0) return;
    // The exclusive flag lives on the terminal, not on our descriptor: where another holder
    // keeps the terminal open (a pseudo-terminal's server) it would lock out our next open.
    ::ioctl(handle_, TIOCNXCL);
    ::close(handle_);
    handle_ = -1;
    devicePath_.clear();
}

// Reads until count bytes have arrived or the total read time-out has passed. Both totals 0
// means no limit, as with the classic serial interface; with the interval time-out at
// 0xFFFFFFFF as well, the read returns at once with what has arrived.
std::size_t CSerialPort::Read(void* buffer, std::size_t count) {
    if (handle_ < 0) ThrowSerialException(EBADF);
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const CommTimeouts& t = timeouts_;
    const bool atOnce = t.ReadIntervalTimeout == returnAtOnce && t.ReadTotalTimeoutMultiplier == 0 &&
                        t.ReadTotalTimeoutConstant == 0;
    const std::optional<Clock::time_point> deadline =
        atOnce ? std::optional(Clock::now())
               : totalDeadline(t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, count);
    const bool gapLimited = !atOnce && t.ReadIntervalTimeout != 0;

    std::size_t done = 0;
    Clock::time_point lastArrival{};
    while (done < count) {
        std::optional<Clock::time_point> until = deadline;
        if (gapLimited && done > 0) {
            const auto gapEnd = lastArrival + std::chrono::milliseconds(t.ReadIntervalTimeout);
            until = until ? std::min(*until, gapEnd) : gapEnd;
        }
        const short revents = waitFor(handle_, POLLIN, until);
        if (revents == 0) break;
        if (!(revents & POLLIN)) throwLineGone(revents);
        const ssize_t got = ::read(handle_, bytes + done, count - done);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
            lastArrival = Clock::now();
        } else if (got == 0) {
            // Raw mode never gives end of file on a live line: the line has hung up.
            ThrowSerialException(EIO);
        } else if (errno != EINTR && errno != EAGAIN) {
            ThrowSerialException();
        }
    }
    return done;
}

// Hands the bytes to the driver until all are taken or the total write time-out has passed.
// The descriptor blocks, but a write only follows a poll that reported room, and without flow
// control the driver drains at line speed, so the time-out bounds the wait.
std::size_t CSerialPort::Write(const void* buffer, std::size_t count) {
    if (handle_ < 0) ThrowSerialException(EBADF);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const auto deadline =
        totalDeadline(timeouts_.WriteTotalTimeoutMultiplier, timeouts_.WriteTotalTimeoutConstant, count);
    std::size_t done = 0;
    while (done < count) {
        const short revents = waitFor(handle_, POLLOUT, deadline);
        if (revents == 0) break;
        if (!(revents & POLLOUT)) throwLineGone(revents);
        const ssize_t put = ::write(handle_, bytes + done, count - done);
        if (put > 0)
            done += static_cast<std::size_t>(put);
        else if (put < 0 && errno != EINTR && errno != EAGAIN)
            ThrowSerialException();
    }
    return done;
}

void CSerialPort::GetState(SerialState& state) {
    if (handle_ < 0) ThrowSerialException(EBADF);
    if (::tcgetattr(handle_, &state) != 0) ThrowSerialException();
}

void CSerialPort::SetState(const SerialState& state) {
    if (handle_ < 0) ThrowSerialException(EBADF);
    if (::tcsetattr(handle_, TCSANOW, &state) != 0) ThrowSerialException();
}

namespace {
// A line without modem-control lines (every pseudo-terminal) answers ENOTTY or EINVAL; it
// carries no reset, so there is nothing to do.
void changeRts(int handle, unsigned long request) {
    if (handle < 0) ThrowSerialException(EBADF);
    int bits = TIOCM_RTS;
    if (::ioctl(handle, request, &bits) != 0 && errno != ENOTTY && errno != EINVAL) ThrowSerialException();
}
} // namespace

void CSerialPort::ClearRTS() {
    changeRts(handle_, TIOCMBIC);
}

void CSerialPort::SetRTS() {
    changeRts(handle_, TIOCMBIS);
}

void CSerialPort::Flush() {
    if (handle_ < 0) ThrowSerialException(EBADF);
    if (::tcdrain(handle_) != 0) ThrowSerialException();
}

void CSerialPort::ClearWriteBuffer() {
    if (handle_ < 0) ThrowSerialException(EBADF);
    if (::tcflush(handle_, TCOFLUSH) != 0) ThrowSerialException();
}

void CSerialPort::ClearReadBuffer() {
    if (handle_ < 0) ThrowSerialException(EBADF);
    if (::tcflush(handle_, TCIFLUSH) != 0) ThrowSerialException();
}

// The terminal driver sizes its own queues; there is nothing to recommend.
void CSerialPort::Setup(std::uint32_t, std::uint32_t) {
    if (handle_ < 0) ThrowSerialException(EBADF);
}

void CSerialPort::GetTimeouts(CommTimeouts& timeouts) {
    if (handle_ < 0) ThrowSerialException(EBADF);
    timeouts = timeouts_;
}

void CSerialPort::SetTimeouts(const CommTimeouts& timeouts) {
    if (handle_ < 0) ThrowSerialException(EBADF);
    timeouts_ = timeouts;
}
