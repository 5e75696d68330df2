// CSerialPort on POSIX terminals (termios).

#include "core/link/serial_port.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <iterator>
#include <optional>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "core/link/modem_control.h"
#include "core/link/port_numbers.h"
#include "core/link/serial_low_latency.h"
#include "core/link/serial_termios.h"

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
    throw CSerialException(code != 0 ? code : static_cast<std::uint32_t>(errno));
}

void applyLineSettings(termios& state, std::uint32_t baud, Parity parity, std::uint8_t dataBits,
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

namespace {

// How often a drain looks at the output queue: about four bytes' time at 19200 baud.
constexpr auto drainPollInterval = std::chrono::milliseconds(2);

// One open terminal descriptor, closed with its holder. The holder also lifts the exclusive
// flag when it set it: the flag lives on the terminal, not on the descriptor, and where another
// holder keeps the terminal open (a pseudo-terminal's server) it would lock out the next open.
// It must not lift a flag it did not set: that one is another program's.
class TerminalDescriptor {
public:
    explicit TerminalDescriptor(int fd) noexcept : fd_(fd) {}
    TerminalDescriptor(TerminalDescriptor&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)), exclusive_(other.exclusive_) {}
    TerminalDescriptor& operator=(TerminalDescriptor&&) = delete;
    TerminalDescriptor(const TerminalDescriptor&) = delete;
    TerminalDescriptor& operator=(const TerminalDescriptor&) = delete;
    ~TerminalDescriptor() {
        if (fd_ < 0) return;
        if (exclusive_) ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }

    int get() const noexcept { return fd_; }
    // No other open of the terminal succeeds while we hold it (root's aside).
    void makeExclusive() {
        if (::ioctl(fd_, TIOCEXCL) != 0) ThrowSerialException();
        exclusive_ = true;
    }

private:
    int fd_;
    bool exclusive_ = false;
};

// RTS of a terminal through the modem-control ioctls.
class TerminalModemControl final : public ModemControl {
public:
    explicit TerminalModemControl(int fd) noexcept : fd_(fd) {}

    void setRts(bool active) override {
        int bits = TIOCM_RTS;
        // A line without modem-control lines (every pseudo-terminal) answers ENOTTY or EINVAL;
        // it carries no reset, so there is nothing to do.
        if (::ioctl(fd_, active ? TIOCMBIS : TIOCMBIC, &bits) != 0 && errno != ENOTTY && errno != EINVAL)
            ThrowSerialException();
    }

private:
    int fd_;
};

} // namespace

struct CSerialPort::Line {
    Line(TerminalDescriptor descriptor, std::string devicePath)
        : descriptor(std::move(descriptor)), devicePath(std::move(devicePath)),
          modem(this->descriptor.get()) {}
    int fd() const noexcept { return descriptor.get(); }

    TerminalDescriptor descriptor;
    std::string devicePath;
    TerminalModemControl modem;
};

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
    if (!line_) ThrowSerialException(EBADF);
    return *line_;
}

ModemControl& CSerialPort::modemControl() {
    Line& open = line();
    return modemControl_ ? *modemControl_ : open.modem;
}

// Everything happens on a descriptor of our own; the port takes it only when every step has
// succeeded, so a refused setting leaves no port open and no terminal locked.
void CSerialPort::Open(int port, std::uint32_t baud, Parity parity, std::uint8_t dataBits, StopBits stopBits,
                       FlowControl flow) {
    Close();
    const std::string path = portDevicePath(port);
    if (path.empty()) ThrowSerialException(ENOENT);
    Open(path, baud, parity, dataBits, stopBits, flow);
}

void CSerialPort::Open(const std::string& devicePath, std::uint32_t baud, Parity parity,
                       std::uint8_t dataBits, StopBits stopBits, FlowControl flow) {
    Close();
    std::string path = devicePath;

    // Non-blocking for good: the open cannot hang on a modem line without carrier, and no
    // transfer waits longer than its poll allows.
    TerminalDescriptor descriptor(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (descriptor.get() < 0) ThrowSerialException();
    // The lock comes before TIOCEXCL so that a port another program holds does not get our
    // exclusive flag; and TIOCEXCL alone does not stop root.
    if (::flock(descriptor.get(), LOCK_EX | LOCK_NB) != 0)
        ThrowSerialException(errno == EWOULDBLOCK ? EBUSY : static_cast<std::uint32_t>(errno));
    descriptor.makeExclusive();

    termios settings{};
    if (::tcgetattr(descriptor.get(), &settings) != 0) ThrowSerialException();
    applyLineSettings(settings, baud, parity, dataBits, stopBits, flow);
    if (::tcsetattr(descriptor.get(), TCSANOW, &settings) != 0) ThrowSerialException();
    requestLowLatency(descriptor.get());

    line_ = std::make_unique<Line>(std::move(descriptor), std::move(path));
}

void CSerialPort::Close() noexcept {
    line_.reset();
}

// Reads until count bytes have arrived or the total read time-out has passed. Both totals 0
// means no limit, as with the classic serial interface; with the interval time-out at
// 0xFFFFFFFF as well, the read returns at once with what has arrived.
std::size_t CSerialPort::Read(void* buffer, std::size_t count) {
    const int fd = line().fd();
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
        const short revents = waitFor(fd, POLLIN, until);
        if (revents == 0) break;
        if (!(revents & POLLIN)) throwLineGone(revents);
        const ssize_t got = ::read(fd, bytes + done, count - done);
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
// The descriptor does not block, so a line that takes nothing (flow control holding it, or a
// far end that reads nothing) costs the time-out and no more.
std::size_t CSerialPort::Write(const void* buffer, std::size_t count) {
    const int fd = line().fd();
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const auto deadline =
        totalDeadline(timeouts_.WriteTotalTimeoutMultiplier, timeouts_.WriteTotalTimeoutConstant, count);
    std::size_t done = 0;
    while (done < count) {
        const short revents = waitFor(fd, POLLOUT, deadline);
        if (revents == 0) break;
        if (!(revents & POLLOUT)) throwLineGone(revents);
        const ssize_t put = ::write(fd, bytes + done, count - done);
        if (put > 0)
            done += static_cast<std::size_t>(put);
        else if (put < 0 && errno != EINTR && errno != EAGAIN)
            ThrowSerialException();
    }
    return done;
}

void CSerialPort::GetState(SerialState& state) {
    if (::tcgetattr(line().fd(), &state.line) != 0) ThrowSerialException();
}

void CSerialPort::SetState(const SerialState& state) {
    if (::tcsetattr(line().fd(), TCSANOW, &state.line) != 0) ThrowSerialException();
}

void CSerialPort::ClearRTS() {
    modemControl().setRts(false);
}

void CSerialPort::SetRTS() {
    modemControl().setRts(true);
}

// tcdrain has no time-out: a line held by flow control would keep it forever. So the output
// queue is watched until it is empty or the write time-out for what it held has passed; only
// then does tcdrain wait for the last character, which the driver bounds itself.
void CSerialPort::Flush() {
    const int fd = line().fd();
    std::optional<Clock::time_point> deadline;
    for (bool first = true;; first = false) {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0) ThrowSerialException();
        if (queued <= 0) break;
        if (first)
            deadline = totalDeadline(timeouts_.WriteTotalTimeoutMultiplier,
                                     timeouts_.WriteTotalTimeoutConstant, static_cast<std::size_t>(queued));
        const auto now = Clock::now();
        if (deadline && now >= *deadline) return;
        std::this_thread::sleep_for(deadline ? std::min<Clock::duration>(*deadline - now, drainPollInterval)
                                             : Clock::duration(drainPollInterval));
    }
    if (::tcdrain(fd) != 0) ThrowSerialException();
}

void CSerialPort::ClearWriteBuffer() {
    if (::tcflush(line().fd(), TCOFLUSH) != 0) ThrowSerialException();
}

void CSerialPort::ClearReadBuffer() {
    if (::tcflush(line().fd(), TCIFLUSH) != 0) ThrowSerialException();
}

// The terminal driver sizes its own queues; there is nothing to recommend.
void CSerialPort::Setup(std::uint32_t, std::uint32_t) {
    line();
}

void CSerialPort::GetTimeouts(CommTimeouts& timeouts) {
    line();
    timeouts = timeouts_;
}

void CSerialPort::SetTimeouts(const CommTimeouts& timeouts) {
    line();
    timeouts_ = timeouts;
}
