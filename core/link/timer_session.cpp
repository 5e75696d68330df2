// The PC side of the timer's command protocol.

#include "core/link/timer_session.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string_view>

#include "core/link/line_trace.h"
#include "core/link/link_interrupt.h"
#include "core/link/timer_command.h"
#include "core/operator_panel.h"
#include "core/settings_view.h"
#include "core/timer_settings.h"

namespace {

constexpr const char* identityFormat = "TAVO Timer P:%s M:%dK  v%d.%d";
constexpr const char* model628A = "628A";
constexpr const char* model684 = "684";
constexpr int kilobitsPerMemoryCode = 256;
constexpr int memoryCode32K = 1;
constexpr int memoryCode64K = 2;
constexpr int memoryCode128KOld = 3;
constexpr int memoryCode128K = 4;
constexpr std::uint8_t wordDataBits = 8;

// Reads single bytes until one is wanted. A silent read ends the wait with failure; so does a
// line that keeps sending other bytes for replyWaitLimitMs in all, which would otherwise hold
// the operation (and the operator's window) for as long as the noise lasts.
template <typename Receive, typename Wanted> bool awaitByte(Receive receive, Wanted wanted) {
    const auto giveUpAt =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(TimerLink::replyWaitLimitMs);
    for (;;) {
        std::uint8_t reply = 0;
        if (receive(&reply) != 1) return false;
        if (wanted(reply)) return true;
        if (std::chrono::steady_clock::now() >= giveUpAt) return false;
    }
}

} // namespace

TimerIdentity TimerIdentity::decode(std::uint8_t first, std::uint8_t second) {
    TimerIdentity identity;
    const bool is628A = (first >> 4) == 0;
    identity.model = is628A ? model628A : model684;
    identity.clockHz = is628A ? TimerClock::model628AHz : TimerClock::model684Hz;
    identity.memoryCode = first & 0x0F;
    if (identity.memoryCode == memoryCode128KOld) identity.memoryCode = memoryCode128K;
    switch (identity.memoryCode) {
    case memoryCode32K:
        identity.externalMemorySize = 32768;
        break;
    case memoryCode64K:
        identity.externalMemorySize = 65536;
        break;
    case memoryCode128K:
        identity.externalMemorySize = 131072;
        break;
    default:
        identity.externalMemorySize = 0;
        break;
    }
    identity.firmwareMajor = second >> 4;
    identity.firmwareMinor = second & 0x0F;
    return identity;
}

std::string TimerIdentity::text() const {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, identityFormat, model.c_str(), memoryCode * kilobitsPerMemoryCode,
                  firmwareMajor, firmwareMinor);
    return buffer;
}

TimerSession::TimerSession(OperatorPanel& panel, SettingsView& view, TimerSettings& settings)
    : panel_(panel), view_(view), settings_(settings) {}

namespace {

// The system's word for a port that another program has open.
bool heldByAnotherProgram(const CSerialException& e) {
#if defined(_WIN32)
    constexpr std::uint32_t accessDenied = 5;      // ERROR_ACCESS_DENIED: a COM port open elsewhere
    constexpr std::uint32_t sharingViolation = 32; // ERROR_SHARING_VIOLATION
    return e.errorCode == accessDenied || e.errorCode == sharingViolation;
#else
    return e.errorCode == EBUSY;
#endif
}

} // namespace

bool TimerSession::wakeTimer() {
    std::optional<WaitCursor> waitCursor;
    try {
        if (connected_) {
            closeLine();
            connected_ = false;
        }
        settings_.comPort = view_.selectedPortNumber();
        if (devicePath_.empty())
            port_.Open(settings_.comPort, TimerLink::baudRate, NoParity, wordDataBits, TwoStopBits,
                       NoFlowControl);
        else
            port_.Open(devicePath_, TimerLink::baudRate, NoParity, wordDataBits, TwoStopBits, NoFlowControl);
        port_.Setup(TimerLink::queueSize, TimerLink::queueSize);
        CommTimeouts timeouts;
        port_.GetTimeouts(timeouts);
        timeouts.ReadIntervalTimeout = 0;
        timeouts.ReadTotalTimeoutConstant = TimerLink::readTimeoutMs;
        timeouts.WriteTotalTimeoutConstant = TimerLink::writeTimeoutMs;
        port_.SetTimeouts(timeouts);

        waitCursor.emplace(panel_);
        // RTS low holds the timer in reset; it needs the long wait to start up again.
        port_.ClearRTS();
        panel_.sleepMs(TimerLink::resetHoldMs);
        port_.SetRTS();
        panel_.sleepMs(TimerLink::startupWaitMs);

        const std::uint8_t wake = TimerCommand::wake;
        const bool answered =
            send(&wake, 1) == 1 && awaitByte([this](std::uint8_t* b) { return receive(b, 1); },
                                             [](std::uint8_t reply) {
                                                 return reply == TimerCommand::wake ||
                                                        reply == TimerCommand::wakeAnswerAlt;
                                             });
        if (answered) {
            connected_ = true;
            view_.updateLinkControls(true);
            return true;
        }
        panel_.showMessage(TimerSessionText::noCommunication);
        waitCursor.reset();
    } catch (const CSerialException& e) {
        waitCursor.reset();
        if (heldByAnotherProgram(e))
            panel_.showMessage(TimerSessionText::portInUse);
        else
            panel_.showMessage(
                (port_.IsOpen() ? TimerSessionText::lineFailedInWake : TimerSessionText::portCannotOpen) +
                e.message());
    }
    port_.Close();
    connected_ = false;
    view_.updateLinkControls(false);
    return false;
}

// What the old line still holds must not answer the next wake. A line that has died (a pulled
// cable gives EIO) has nothing left to discard: it is closed all the same, so that the wake
// can go on to the port the operator has chosen now.
void TimerSession::closeLine() noexcept {
    try {
        port_.ClearWriteBuffer();
        port_.ClearReadBuffer();
        port_.Flush();
    } catch (const CSerialException&) {}
    port_.Close();
}

bool TimerSession::echoCommand(std::uint8_t command) {
    if (!connected_ && !wakeTimer()) return false;
    if (send(&command, 1) != 1) return false;
    // The timer may send other bytes before the echo; they mean nothing here.
    const bool echoed = awaitByte([this](std::uint8_t* b) { return receive(b, 1); },
                                  [command](std::uint8_t reply) { return reply == command; });
    // Only an echoed apply has reached the timer as one: "applied" is said of nothing else.
    if (echoed && command == TimerCommand::apply) appliedBlockCount_ = writtenBlocks_.size();
    return echoed;
}

bool TimerSession::interrupted() const {
    return LinkInterrupt::requested();
}

bool TimerSession::identifyTimer() {
    // A form value that fails its check does not stop the identify.
    view_.readForm(settings_);
    WaitCursor waitCursor(panel_);
    view_.setIdentityText("");
    if (!echoCommand(TimerCommand::identify)) return false;
    std::uint8_t reply[2] = {};
    if (receive(reply, sizeof reply) < sizeof reply) return false;
    const TimerIdentity identity = TimerIdentity::decode(reply[0], reply[1]);
    view_.setIdentityText(identity.text());
    if (identity.firmwareMajor != TimerLink::supportedFirmwareMajor)
        panel_.showMessage(TimerSessionText::versionMismatch);
    externalMemorySize_ = identity.externalMemorySize;
    clockHz_ = identity.clockHz;
    identity_ = identity;
    return true;
}

bool TimerSession::sendAddress24(std::uint32_t address) {
    return echoCommand(static_cast<std::uint8_t>(address >> 16)) &&
           echoCommand(static_cast<std::uint8_t>(address >> 8)) &&
           echoCommand(static_cast<std::uint8_t>(address));
}

bool TimerSession::writeBlock(std::uint8_t address, std::uint8_t count, std::span<const std::uint8_t> data) {
    // Never send bytes from beyond the caller's data; no block starts once the operator has
    // asked to stop.
    if (data.size() < count || interrupted()) return false;
    if (!echoCommand(TimerCommand::writeMemory) || !echoCommand(address) || !echoCommand(count)) return false;
    // A byte that did not go out, or whose "#" never came, may be missing from the timer's
    // memory, so the block fails; but the rest of it still goes out. The timer counts the
    // block's bytes, and only at the end of the count does it take commands again: stopping
    // here would leave it in the data phase, taking the next command (the apply that follows
    // a configuration write) as a data byte.
    // A wrong reply fails the block the same way: the timer still counts the bytes.
    // Once a "#" has not come, the block has failed and the timer has most likely stopped
    // answering: the rest of the block goes out with a short wait each, which a timer that
    // still writes answers within, so that a mute timer costs seconds rather than a second
    // a byte (two minutes for a ringtone block, with the operator left to think it hangs).
    bool complete = true;
    std::optional<CommTimeouts> usual;
    for (std::size_t i = 0; i < count; ++i) {
        if (send(&data[i], 1) != 1) {
            complete = false;
            continue;
        }
        std::uint8_t reply = 0;
        if (receive(&reply, 1) != 1) {
            if (!usual) {
                usual.emplace();
                port_.GetTimeouts(*usual);
                CommTimeouts shortWait = *usual;
                shortWait.ReadTotalTimeoutConstant = TimerLink::missedReplyWaitMs;
                port_.SetTimeouts(shortWait);
            }
            complete = false;
            continue;
        }
        if (reply != TimerCommand::acknowledge) complete = false;
    }
    if (usual) port_.SetTimeouts(*usual);
    if (complete) writtenBlocks_.push_back({address, {data.begin(), data.begin() + count}});
    return complete;
}

bool TimerSession::uploadBlock(std::uint32_t address, std::uint8_t count,
                               std::span<const std::uint8_t> data) {
    if (data.size() < count || interrupted()) return false;
    if (!echoCommand(TimerCommand::upload) || !echoCommand(count) || !sendAddress24(address)) return false;
    // The data go out in one write without echoes; the checksum alone vouches for them.
    if (send(data.data(), count) < count) return false;
    std::uint8_t checksum = 0;
    for (std::size_t i = 0; i < count; ++i)
        checksum = static_cast<std::uint8_t>(checksum + data[i]);
    std::uint8_t timerChecksum = 0;
    if (receive(&timerChecksum, 1) != 1) return false;
    if (timerChecksum != checksum) {
        echoCommand(TimerCommand::rejectUpload);
        return false;
    }
    if (!echoCommand(TimerCommand::confirmUpload)) return false;
    std::uint8_t reply = 0;
    if (receive(&reply, 1) != 1 || reply != TimerCommand::acknowledge) return false;
    ++uploadedBlockCount_;
    return true;
}

void TimerSession::resetTimer() {
    WaitCursor waitCursor(panel_);
    port_.ClearRTS();
    panel_.sleepMs(TimerLink::resetButtonHoldMs);
    port_.SetRTS();
    panel_.sleepMs(TimerLink::startupWaitMs);
}

bool TimerSession::startTestMode() {
    const bool enabled = echoCommand(TimerCommand::testMode);
    panel_.showMessage(enabled ? TimerSessionText::testModeEnabled : TimerSessionText::testModeFailed);
    return enabled;
}

bool TimerSession::readReply(std::span<std::uint8_t> buffer) {
    return receive(buffer.data(), buffer.size()) == buffer.size();
}

bool TimerSession::sendOscillatorValue(int value) {
    // The trim -16..15 travels as its 5-bit two's complement.
    return echoCommand(static_cast<std::uint8_t>(value & TimerCommand::trimMask));
}

std::size_t TimerSession::send(const std::uint8_t* bytes, std::size_t count) {
    const std::size_t sent = port_.Write(bytes, count);
    if (observer_ && sent > 0) observer_->sent({bytes, sent});
    return sent;
}

std::size_t TimerSession::receive(std::uint8_t* bytes, std::size_t count) {
    const std::size_t received = port_.Read(bytes, count);
    if (observer_ && received > 0) observer_->received({bytes, received});
    return received;
}
