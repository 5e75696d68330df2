// The command protocol through the real serial port against the software timer.

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/link/timer_command.h"
#include "core/link/timer_session.h"
#include "support/emulated_timer.h"
#include "support/rts_recorder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string noCommunication = "No Communication with DEVICE possible";
const std::string portInUse = "De serieele poort is al in gebruik";
// A port that is not there is not "in use": the open says why, in the system's words.
const std::string portAbsent = "The serial port cannot be opened: " + CSerialException(ENOENT).message();
const std::string versionWarning = "WARNING: PIC and PC have incompatible version nrs";
const std::string testModeEnabled =
    "     ***** Test Mode Enabled *****\nYou need to RESET the Timer to end this";
const std::string testModeError = "Error setting test mode";

Bytes received(EmulatedTimer& timer) {
    return timer.with([](TimerEmulator& e) { return e.counters().received; });
}

// The bytes the timer has received since `from` of them.
Bytes receivedSince(EmulatedTimer& timer, std::size_t from) {
    const Bytes all = received(timer);
    return Bytes(all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end());
}

void connect(EmulatedTimer& timer) {
    ASSERT_TRUE(timer.session.wakeTimer());
    timer.panel.events.clear();
}

} // namespace

TEST(TimerSession, WakeAnsweredByBangOrGreater) {
    EmulatedTimer timer;
    RtsRecorder rts(timer.panel.events);
    timer.session.setModemControl(&rts);
    EXPECT_TRUE(timer.session.wakeTimer());
    EXPECT_TRUE(timer.session.connected());
    EXPECT_TRUE(timer.panel.linkEnabled);
    EXPECT_EQ(timer.settings.comPort, 7);
    EXPECT_TRUE(timer.panel.messages.empty());
    // RTS low holds the timer in reset for 200 ms; it then needs 3000 ms to start.
    EXPECT_EQ(timer.panel.events, (std::vector<std::string>{"wait+", "rts clear", "sleep 200", "rts set",
                                                            "sleep 3000", "link 1", "wait-"}));
    EXPECT_EQ(received(timer), Bytes{'!'});

    // Connect again redoes the whole wake; '>' is as good an answer as '!'.
    timer.with([](TimerEmulator& e) { e.faults().wakeAnswersGreater = true; });
    EXPECT_TRUE(timer.session.wakeTimer());
    EXPECT_TRUE(timer.session.connected());
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().wakeCount; }), 2);
    EXPECT_EQ(timer.panel.waitDepth, 0);
}

TEST(TimerSession, StrayBytesBeforeRepliesAreDropped) {
    EmulatedTimer timer;
    timer.with([](TimerEmulator& e) { e.faults().strayBytesBeforeEcho = 3; });
    // No Connect first: the command wakes the timer itself, without an identify.
    EXPECT_TRUE(timer.session.echoCommand(TimerCommand::apply));
    EXPECT_TRUE(timer.session.connected());
    EXPECT_EQ(received(timer), (Bytes{'!', '@'}));
    EXPECT_TRUE(timer.session.identifyTimer());
    EXPECT_EQ(timer.panel.identity, "TAVO Timer P:684 M:512K  v2.1");
}

TEST(TimerSession, IdentifyDecodesTheTimer) {
    {
        EmulatedTimer timer;
        connect(timer);
        timer.panel.formValid = false; // a form value that fails its check does not stop it
        EXPECT_TRUE(timer.session.identifyTimer());
        EXPECT_EQ(timer.panel.events,
                  (std::vector<std::string>{"readForm", "wait+", "identity ",
                                            "identity TAVO Timer P:684 M:512K  v2.1", "wait-"}));
        EXPECT_EQ(timer.session.clockHz(), 8000000);
        EXPECT_EQ(timer.session.externalMemorySize(), 65536);
        EXPECT_TRUE(timer.panel.messages.empty());
    }
    {
        EmulatedTimer timer(TimerEmulator::Model::Pic628A, 128, 3, 0);
        EXPECT_TRUE(timer.session.identifyTimer());
        EXPECT_EQ(timer.panel.identity, "TAVO Timer P:628A M:1024K  v3.0");
        EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{versionWarning});
        EXPECT_EQ(timer.panel.messages[0].icon, MessageIcon::Warning);
        EXPECT_EQ(timer.session.clockHz(), 10000000);
        EXPECT_EQ(timer.session.externalMemorySize(), 131072);
        // The clock and memory size outlive a reconnect.
        EXPECT_TRUE(timer.session.wakeTimer());
        EXPECT_EQ(timer.session.clockHz(), 10000000);
    }
}

TEST(TimerIdentity, DecodesEveryMemoryCode) {
    const TimerIdentity old = TimerIdentity::decode(0x03, 0x21);
    EXPECT_EQ(old.model, "628A");
    EXPECT_EQ(old.clockHz, 10000000);
    EXPECT_EQ(old.externalMemorySize, 131072);
    EXPECT_EQ(old.text(), "TAVO Timer P:628A M:1024K  v2.1");

    const TimerIdentity bare = TimerIdentity::decode(0x10, 0x21);
    EXPECT_EQ(bare.model, "684");
    EXPECT_EQ(bare.clockHz, 8000000);
    EXPECT_EQ(bare.externalMemorySize, 0);
    EXPECT_EQ(bare.text(), "TAVO Timer P:684 M:0K  v2.1");

    EXPECT_EQ(TimerIdentity::decode(0xF1, 0x20).externalMemorySize, 32768);
    for (int code = 5; code <= 15; ++code) {
        const TimerIdentity odd = TimerIdentity::decode(static_cast<std::uint8_t>(0x10 | code), 0x2F);
        EXPECT_EQ(odd.externalMemorySize, 0) << code;
        EXPECT_EQ(odd.text(), "TAVO Timer P:684 M:" + std::to_string(code * 256) + "K  v2.15") << code;
    }
    const TimerIdentity next = TimerIdentity::decode(0x12, 0x30);
    EXPECT_EQ(next.firmwareMajor, 3);
    EXPECT_EQ(next.firmwareMinor, 0);
}

TEST(TimerSession, WriteBlockPutsBytesInParameterMemory) {
    EmulatedTimer timer;
    connect(timer);
    Bytes data(16);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(0x30 + i);
    EXPECT_TRUE(timer.session.writeBlock(16, 16, data));
    Bytes expected = {'!', 'W', 16, 16};
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(received(timer), expected);
    const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    EXPECT_TRUE(std::equal(data.begin(), data.end(), memory.begin() + 16));

    // An empty block is the command, the address and 0.
    EXPECT_TRUE(timer.session.writeBlock(40, 0, {}));
    EXPECT_EQ(receivedSince(timer, expected.size()), (Bytes{'W', 40, 0}));
    // Data shorter than the count is refused before anything is sent.
    EXPECT_FALSE(timer.session.writeBlock(40, 4, Bytes{1, 2}));
    EXPECT_EQ(received(timer).size(), expected.size() + 3);
    EXPECT_TRUE(timer.panel.events.empty());
}

// A byte whose acknowledgement is wrong or never comes may not be stored: the block fails,
// but only after the rest of it, so that the timer ends its data phase and takes the next
// command (the apply) as one.
TEST(TimerSession, WriteBlockFailsOnAWrongOrMissingAcknowledgeAndStillFinishesTheBlock) {
    for (const bool missing : {false, true}) {
        EmulatedTimer timer;
        connect(timer);
        const Bytes data = {1, 2, 3, 4, 5, 6};
        timer.with([missing](TimerEmulator& e) {
            e.faults().hashFaultAfterByte = 2;
            e.faults().hashMissing = missing;
        });
        EXPECT_FALSE(timer.session.writeBlock(0, 6, data)) << missing;
        EXPECT_EQ(receivedSince(timer, 1), (Bytes{'W', 0, 6, 1, 2, 3, 4, 5, 6})) << missing;
        EXPECT_TRUE(timer.session.echoCommand(TimerCommand::apply)) << missing;
        EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().applyCount; }), 1) << missing;
        EXPECT_TRUE(timer.session.connected());
    }
}

TEST(TimerSession, ShortRepliesFailIdentifyAndUpload) {
    EmulatedTimer timer;
    connect(timer);
    timer.with([](TimerEmulator& e) {
        e.faults().identityBytes = 1;
        e.faults().confirmWithoutHash = true;
    });
    EXPECT_FALSE(timer.session.identifyTimer());
    EXPECT_EQ(timer.panel.identity, "");
    EXPECT_EQ(timer.session.externalMemorySize(), 0);

    // The block is confirmed, but without the timer's "#" it has not been taken.
    EXPECT_FALSE(timer.session.uploadBlock(0, 32, Bytes(32, 0x11)));
    EXPECT_EQ(received(timer).back(), 'G');
    EXPECT_TRUE(timer.session.connected());
}

TEST(TimerSession, UploadBlockIsConfirmedOrRejectedByChecksum) {
    EmulatedTimer timer;
    connect(timer);
    const Bytes erased(32, 0xFF);
    EXPECT_TRUE(timer.session.uploadBlock(0x000020, 32, erased));

    // Only the low 24 bits of the address travel.
    Bytes data(32);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 3);
    std::size_t before = received(timer).size();
    EXPECT_TRUE(timer.session.uploadBlock(0xAB000100u, 32, data));
    Bytes expected = {'U', 32, 0x00, 0x01, 0x00};
    expected.insert(expected.end(), data.begin(), data.end());
    expected.push_back('G');
    EXPECT_EQ(receivedSince(timer, before), expected);
    auto memory = timer.with([](TimerEmulator& e) { return e.externalMemory(); });
    EXPECT_TRUE(std::equal(data.begin(), data.end(), memory.begin() + 0x100));

    timer.with([](TimerEmulator& e) { e.faults().wrongChecksum = true; });
    before = received(timer).size();
    const Bytes other(32, 0x55);
    EXPECT_FALSE(timer.session.uploadBlock(0x200, 32, other));
    const Bytes rejected = receivedSince(timer, before);
    EXPECT_EQ(rejected.back(), 'X');
    EXPECT_EQ(rejected.size(), 5u + 32u + 1u);
    memory = timer.with([](TimerEmulator& e) { return e.externalMemory(); });
    EXPECT_EQ(memory[0x200], 0xFF);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().uploadBlocksConfirmed; }), 2);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().uploadBlocksRejected; }), 1);
}

TEST(TimerSession, TrimTravelsAsFiveBitTwosComplement) {
    EmulatedTimer timer;
    connect(timer);
    ASSERT_TRUE(timer.session.echoCommand(TimerCommand::startTuning));
    for (const auto& [trim, byte] : std::vector<std::pair<int, std::uint8_t>>{
             {-16, 0x10}, {-4, 0x1C}, {15, 0x0F}, {-1, 0x1F}, {0, 0x00}}) {
        EXPECT_TRUE(timer.session.sendOscillatorValue(trim)) << trim;
        EXPECT_EQ(received(timer).back(), byte) << trim;
        EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.trim(); }), trim);
    }
    EXPECT_TRUE(timer.session.echoCommand(TimerCommand::endTuning));
    EXPECT_FALSE(timer.with([](TimerEmulator& e) { return e.tuning(); }));
}

TEST(TimerSession, ResetPulsesWithoutTouchingTheLink) {
    EmulatedTimer timer;
    connect(timer);
    RtsRecorder rts(timer.panel.events);
    timer.session.setModemControl(&rts);
    timer.session.resetTimer();
    EXPECT_EQ(timer.panel.events, (std::vector<std::string>{"wait+", "rts clear", "sleep 500", "rts set",
                                                            "sleep 3000", "wait-"}));
    EXPECT_TRUE(timer.session.connected());
    EXPECT_EQ(received(timer), Bytes{'!'});
    EXPECT_TRUE(timer.session.echoCommand(TimerCommand::apply));
}

TEST(TimerSession, TestModeAndATimerThatFallsSilent) {
    EmulatedTimer timer;
    connect(timer);
    timer.session.startTestMode();
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{testModeEnabled});
    EXPECT_TRUE(timer.with([](TimerEmulator& e) { return e.testMode(); }));

    // Each silent exchange costs one read time-out.
    timer.with([](TimerEmulator& e) { e.faults().silent = true; });
    timer.panel.messages.clear();
    timer.session.startTestMode();
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{testModeError});
    EXPECT_TRUE(timer.session.connected());

    timer.panel.messages.clear();
    EXPECT_FALSE(timer.session.wakeTimer());
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{noCommunication});
    EXPECT_FALSE(timer.session.connected());
    EXPECT_FALSE(timer.panel.linkEnabled);
    EXPECT_FALSE(timer.session.portOpen());
    EXPECT_EQ(timer.panel.waitDepth, 0);
}

TEST(TimerSession, AbsentOrHeldPortCannotConnect) {
    EmulatedTimer timer;
    timer.panel.port = 42;
    EXPECT_FALSE(timer.session.wakeTimer());
    EXPECT_EQ(timer.settings.comPort, 42);
    // An empty port list has no selection.
    timer.panel.port = -1;
    EXPECT_FALSE(timer.session.wakeTimer());
    EXPECT_EQ(timer.settings.comPort, -1);
    EXPECT_EQ(timer.panel.messageTexts(), (std::vector<std::string>{portAbsent, portAbsent}));
    EXPECT_FALSE(timer.session.portOpen());
    EXPECT_FALSE(timer.panel.linkEnabled);
    EXPECT_EQ(std::count(timer.panel.events.begin(), timer.panel.events.end(), "wait+"), 0);

    // Another program holds the port: no wake byte reaches the timer.
    timer.panel.port = 7;
    CSerialPort otherProgram;
    otherProgram.Open(7, 19200, NoParity, 8, TwoStopBits, NoFlowControl);
    timer.panel.messages.clear();
    EXPECT_FALSE(timer.session.wakeTimer());
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{portInUse});
    EXPECT_TRUE(received(timer).empty());
    otherProgram.Close();
    EXPECT_TRUE(timer.session.wakeTimer());
}

TEST(TimerSession, ANoisyLineGivesUpInsteadOfWaitingForever) {
    EmulatedTimer timer;
    connect(timer);
    // Junk flows without a pause, so no read ever runs into its time-out.
    timer.with([](TimerEmulator& e) { e.faults().garbageStream = true; });
    EXPECT_FALSE(timer.session.echoCommand(TimerCommand::apply));
    EXPECT_TRUE(timer.session.connected());
    EXPECT_FALSE(timer.session.wakeTimer());
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{noCommunication});
    EXPECT_FALSE(timer.session.connected());
}

TEST(TimerSession, PulledCablePassesOutOfOperationsButNotOutOfTheWake) {
    EmulatedTimer timer;
    connect(timer);
    timer.with([](TimerEmulator& e) { e.faults().dropLineAfterBytes = e.counters().bytesReceived + 5; });
    const Bytes block(13, 0);
    try {
        timer.session.writeBlock(0, 13, block);
        ADD_FAILURE() << "writeBlock went on over a dead line";
    } catch (const CSerialException& e) {
        EXPECT_EQ(e.errorCode, static_cast<std::uint32_t>(EIO));
    }
    EXPECT_TRUE(timer.session.connected());

    // The dead port cannot be purged, yet Connect goes on to the port chosen now.
    TimerEmulator spare;
    PtyRunner eight(spare, 8);
    eight.start();
    timer.panel.port = 8;
    EXPECT_TRUE(timer.session.wakeTimer());
    EXPECT_TRUE(timer.panel.messages.empty());
    int wakes = 0;
    eight.withEmulator([&wakes](TimerEmulator& e) { wakes = e.counters().wakeCount; });
    EXPECT_EQ(wakes, 1);

    // Back to the dead one: that open fails.
    timer.panel.port = 7;
    EXPECT_FALSE(timer.session.wakeTimer());
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{portAbsent});

    // Pulled during the wake, after the wake byte: the line failed, the port is not in use.
    timer.panel.messages.clear();
    timer.panel.port = 8;
    eight.withEmulator(
        [](TimerEmulator& e) { e.faults().dropLineAfterBytes = e.counters().bytesReceived + 1; });
    EXPECT_FALSE(timer.session.wakeTimer());
    EXPECT_EQ(timer.panel.messageTexts(),
              std::vector<std::string>{"The serial line failed while the timer was woken: " +
                                       CSerialException(EIO).message()});
    EXPECT_FALSE(timer.session.connected());
    EXPECT_FALSE(timer.panel.linkEnabled);
    EXPECT_FALSE(timer.session.portOpen());
    EXPECT_EQ(timer.panel.waitDepth, 0);
}

TEST(TimerSession, ReconnectDiscardsWhatTheOldLineHeld) {
    EmulatedTimer timer;
    connect(timer);
    // The configuration image is left unread on the line, every byte of it a wake answer.
    timer.with([](TimerEmulator& e) { e.parameterMemory().fill(TimerCommand::wake); });
    ASSERT_TRUE(timer.session.echoCommand(TimerCommand::readConfiguration));
    std::uint8_t first = 0;
    ASSERT_TRUE(timer.session.readReply({&first, 1}));
    timer.with([](TimerEmulator& e) { e.faults().silent = true; });
    EXPECT_FALSE(timer.session.wakeTimer());
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{noCommunication});
}

TEST(TimerSession, WaitCursorEndsWhenThePortFails) {
    EmulatedTimer timer;
    connect(timer);
    // The line goes as the identify command arrives.
    timer.with([](TimerEmulator& e) { e.faults().dropLineAfterBytes = e.counters().bytesReceived + 1; });
    EXPECT_THROW(timer.session.identifyTimer(), CSerialException);
    EXPECT_EQ(timer.panel.waitDepth, 0);
    EXPECT_EQ(timer.panel.events.back(), "wait-");
    EXPECT_THROW(timer.session.resetTimer(), CSerialException);
    EXPECT_EQ(timer.panel.waitDepth, 0);
    EXPECT_TRUE(timer.session.connected());
}
