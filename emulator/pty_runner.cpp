// Serves a TimerEmulator on the master side of a pseudo-terminal; the program opens the slave.

#include "emulator/pty_runner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "core/link/port_numbers.h"

namespace {

using Clock = std::chrono::steady_clock;

// One byte on a 19200-baud line with 8 data bits and 2 stop bits: 11 bit times.
constexpr auto pacedByteTime = std::chrono::nanoseconds(std::int64_t{11} * 1000000000 / 19200);
// How often a line that never falls silent sends a noise byte.
constexpr int noiseGapMs = 1;
// How long a reply waits for room on the line before it is dropped, as a real line would lose it.
constexpr int roomWaitMs = 100;
constexpr std::size_t readChunk = 256;
// A paced reply is never woken for more than this before its time; the wake-up lateness it
// learns is averaged over about this many wake-ups.
constexpr auto longestWakeLead = std::chrono::microseconds(300);
constexpr int wakeLeadSmoothing = 8;
constexpr const char* cannotCreate = "cannot create ";

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::string readLink(const std::string& path) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    return error ? std::string() : target.string();
}

} // namespace

PtyRunner::PtyRunner(TimerEmulator& emulator, int port, bool paced)
    : emulator_(emulator), port_(port), paced_(paced) {
    if (port <= 0) throw std::runtime_error("port number " + std::to_string(port) + " is not 1 or more");
    try {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0) throw std::runtime_error(systemError("cannot open a pseudo-terminal"));
        if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error(systemError("cannot unlock the pseudo-terminal"));
        char name[128] = {};
        if (::ptsname_r(master_, name, sizeof name) != 0)
            throw std::runtime_error(systemError("cannot name the pseudo-terminal"));
        slavePath_ = name;
        // Without an open slave the master reads EIO whenever the program has the port closed.
        slaveKeeper_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slaveKeeper_ < 0) throw std::runtime_error(systemError("cannot open " + slavePath_));
        // Raw, so nothing the program sends is echoed or altered before the program's own settings;
        // the speed stays at the terminal's default, which the line check does not accept.
        termios raw{};
        if (::tcgetattr(slaveKeeper_, &raw) == 0) {
            cfmakeraw(&raw);
            ::tcsetattr(slaveKeeper_, TCSANOW, &raw);
        }
        // Replies must never block the server: a program that does not read would stop it.
        const int flags = ::fcntl(master_, F_GETFL);
        if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
            throw std::runtime_error(systemError("cannot set up the pseudo-terminal"));
        int wake[2];
        if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0)
            throw std::runtime_error(systemError("cannot make a pipe"));
        wakeRead_ = wake[0];
        wakeWrite_ = wake[1];
        registerLink();
    } catch (...) {
        closeAll();
        throw;
    }
}

PtyRunner::~PtyRunner() {
    stop();
    // Only our own link: another emulator may have taken the number since.
    if (!linkPath_.empty() && readLink(linkPath_) == slavePath_) ::unlink(linkPath_.c_str());
    closeAll();
}

void PtyRunner::registerLink() {
    const std::string directory = portDirectory();
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) throw std::runtime_error(std::string(cannotCreate) + directory + ": " + error.message());
    const std::string link = portLinkPath(port_);
    struct stat info {};
    if (::lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) throw std::runtime_error(link + " exists and is not a link");
        // A link whose device still exists belongs to someone; one whose device is gone is stale.
        if (::stat(link.c_str(), &info) == 0)
            throw std::runtime_error(portName(static_cast<unsigned>(port_)) + " is already " +
                                     readLink(link) + " (" + link + ")");
        if (::unlink(link.c_str()) != 0) throw std::runtime_error(systemError("cannot remove " + link));
    }
    if (::symlink(slavePath_.c_str(), link.c_str()) != 0)
        throw std::runtime_error(systemError(cannotCreate + link));
    linkPath_ = link;
}

void PtyRunner::closeAll() noexcept {
    closeMaster();
    for (int* fd : {&slaveKeeper_, &wakeRead_, &wakeWrite_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

void PtyRunner::closeMaster() noexcept {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

void PtyRunner::wakeServer() noexcept {
    const char signal = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeWrite_, &signal, 1);
}

// A pseudo-terminal master reads the slave's settings: those the program has set.
bool PtyRunner::lineSettingsRight() const {
    termios line{};
    if (master_ < 0 || ::tcgetattr(master_, &line) != 0) return false;
    return cfgetospeed(&line) == B19200 && (line.c_cflag & CSIZE) == CS8 && (line.c_cflag & CSTOPB) &&
           !(line.c_cflag & PARENB);
}

void PtyRunner::send(int master, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t put = ::write(master, bytes.data() + sent, bytes.size() - sent);
        if (put > 0) {
            sent += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) return;
        pollfd room{master, POLLOUT, 0};
        const int ready = ::poll(&room, 1, roomWaitMs);
        if (ready == 0 || (ready < 0 && errno != EINTR)) return;
    }
}

void PtyRunner::receive(int master, const std::uint8_t* bytes, std::size_t count) {
    const auto arrived = Clock::now();
    std::vector<std::uint8_t> reply;
    for (std::size_t i = 0; i < count; ++i) {
        // The replies depend on the bytes alone, so they are made now; only their times
        // follow the line.
        const auto in = paced_ ? std::max(arrived, timerLineFree_) + pacedByteTime : arrived;
        timerLineFree_ = in;
        bool dropped = false;
        {
            const std::lock_guard lock(mutex_);
            reply = emulator_.receive(bytes[i]);
            const int dropAfter = emulator_.faults().dropLineAfterBytes;
            dropped = dropAfter >= 0 && emulator_.counters().bytesReceived >= dropAfter;
            if (dropped) closeMaster();
            // Before the reply, so that the program has taken the signal when it reads it.
            if (emulator_.counters().bytesReceived == emulator_.faults().interruptAtByte) interruptProgram();
        }
        if (dropped) {
            // Nothing more reaches the program, not even the replies already on their way.
            toProgram_.clear();
            return;
        }
        for (std::uint8_t byte : reply) {
            const auto due = paced_ ? std::max(in, programLineFree_) + pacedByteTime : in;
            programLineFree_ = due;
            toProgram_.push_back({due, byte});
        }
    }
    sendDue(master);
}

void PtyRunner::interruptProgram() const {
    // Linux names every open descriptor of a process in /proc/PID/fd.
    std::error_code error;
    for (std::filesystem::directory_iterator process("/proc", error), end; !error && process != end;
         process.increment(error)) {
        const std::string name = process->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = static_cast<pid_t>(std::atoi(name.c_str()));
        if (pid == ::getpid()) continue;
        std::error_code fdError;
        for (std::filesystem::directory_iterator fd(process->path() / "fd", fdError); !fdError && fd != end;
             fd.increment(fdError))
            if (readLink(fd->path().string()) == slavePath_) {
                ::kill(pid, SIGINT);
                break;
            }
    }
}

void PtyRunner::sendDue(int master) {
    const auto now = Clock::now();
    std::vector<std::uint8_t> out;
    while (!toProgram_.empty() && toProgram_.front().due <= now) {
        out.push_back(toProgram_.front().byte);
        toProgram_.pop_front();
    }
    if (!out.empty()) send(master, out);
}

void PtyRunner::run() {
    {
        const std::lock_guard lock(mutex_);
        serving_ = true;
    }
    // Paced, each wake-up is due to a fraction of a byte time; the usual timer slack (50 us)
    // would add to every turnaround of a transfer.
    if (paced_) ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::uint8_t buffer[readChunk];
    while (!stopping_) {
        int master = -1;
        bool noisy = false;
        {
            const std::lock_guard lock(mutex_);
            master = master_;
            noisy = master >= 0 && emulator_.faults().garbageStream;
        }
        if (master < 0) toProgram_.clear();
        std::optional<Clock::time_point> next;
        if (!toProgram_.empty()) next = toProgram_.front().due;
        timespec wait{};
        timespec* timeout = nullptr;
        // Paced, the wait ends early by what a wake-up has lately been late, and the rest is
        // spent awake: a sleeping processor can take a tenth of a millisecond to wake, which
        // a real line does not add to each reply.
        const std::optional<Clock::time_point> wakeAt =
            next ? std::optional(paced_ ? *next - wakeLead_ : *next) : std::nullopt;
        if (wakeAt) {
            const auto left = std::max(Clock::duration::zero(), *wakeAt - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            wait.tv_sec = static_cast<std::time_t>(ns / 1000000000);
            wait.tv_nsec = static_cast<long>(ns % 1000000000);
            timeout = &wait;
        } else if (noisy) {
            wait.tv_nsec = noiseGapMs * 1000000L;
            timeout = &wait;
        }
        pollfd waits[2] = {{wakeRead_, POLLIN, 0}, {master, POLLIN, 0}};
        const int ready = ::ppoll(waits, 2, timeout, nullptr);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (paced_ && ready == 0 && wakeAt) {
            const auto late = std::clamp(Clock::now() - *wakeAt, Clock::duration::zero(),
                                         std::chrono::duration_cast<Clock::duration>(longestWakeLead));
            wakeLead_ += (late - wakeLead_) / wakeLeadSmoothing;
            while (Clock::now() < *next) {}
        }
        if (waits[0].revents) {
            char drained[16];
            while (::read(wakeRead_, drained, sizeof drained) > 0) {}
            const std::lock_guard lock(mutex_);
            if (dropRequested_) {
                // Closed here, outside the poll, so the hang-up reaches the program at once.
                closeMaster();
                dropRequested_ = false;
                lineDropped_.notify_all();
            }
            continue;
        }
        if (master >= 0 && ready == 0 && noisy && !next) {
            std::uint8_t noise = 0;
            {
                const std::lock_guard lock(mutex_);
                noise = emulator_.noiseByte();
            }
            send(master, {noise});
            continue;
        }
        if (master >= 0 && waits[1].revents) {
            if (!(waits[1].revents & POLLIN)) {
                // No slave can hang up while we keep one open; a master in error is a dead line.
                const std::lock_guard lock(mutex_);
                closeMaster();
                continue;
            }
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0) {
                if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
                const std::lock_guard lock(mutex_);
                closeMaster();
                continue;
            }
            bool lineRight = false;
            {
                const std::lock_guard lock(mutex_);
                lineRight = lineSettingsRight();
            }
            // A garbled line (wrong speed or framing) gives the timer nothing it can read.
            if (lineRight) receive(master, buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (master >= 0) sendDue(master);
    }
    const std::lock_guard lock(mutex_);
    serving_ = false;
    lineDropped_.notify_all();
}

void PtyRunner::start() {
    if (thread_.joinable()) return;
    stopping_ = false;
    {
        const std::lock_guard lock(mutex_);
        serving_ = true;
    }
    thread_ = std::thread([this] { run(); });
}

void PtyRunner::stop() {
    stopping_ = true;
    if (wakeWrite_ >= 0) wakeServer();
    if (thread_.joinable()) thread_.join();
}

void PtyRunner::dropLine() {
    std::unique_lock lock(mutex_);
    if (master_ >= 0 && serving_) {
        dropRequested_ = true;
        wakeServer();
        lineDropped_.wait(lock, [this] { return master_ < 0 || !serving_; });
    }
    closeMaster();
}

void PtyRunner::withEmulator(const std::function<void(TimerEmulator&)>& f) {
    const std::lock_guard lock(mutex_);
    f(emulator_);
}
