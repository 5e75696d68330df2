// A whole setup written to the software timer, read back and checked, with the timer's
// faults.

#include <string>

#include <gtest/gtest.h>

#include "core/operations/whole_setup.h"
#include "support/emulated_timer.h"

namespace {

TimerSetup foxSetup(int cycleId) {
    std::string error;
    const std::string text =
        "transmitMode=cycled\naudioMode=cw-message\ncwText=MOS\ncycleId=" + std::to_string(cycleId) +
        "\ntransmitSequence=06110641000000000000000000000000\n";
    std::optional<TimerSetup> setup = parseSetupText(text, "/events", TimerSettings{}, error);
    EXPECT_TRUE(setup) << error;
    return setup.value_or(TimerSetup{});
}

void connect(EmulatedTimer& timer) {
    ASSERT_TRUE(timer.session.wakeTimer());
    ASSERT_TRUE(timer.session.identifyTimer());
    timer.panel.messages.clear();
}

} // namespace

TEST(WholeSetup, ACellThatStoresWrongIsNamedByItsFieldAndTheFormShowsTheTimer) {
    EmulatedTimer timer;
    timer.with([](TimerEmulator& e) { e.faults().flipStoredAddress = 4; }); // the cycle ID
    connect(timer);
    EXPECT_EQ(writeWholeSetup(timer.operation, foxSetup(3)), Outcome::failed);
    ASSERT_EQ(timer.panel.messages.size(), 1u);
    EXPECT_EQ(timer.panel.messages[0].text, "Cycle ID of transmitter: written 3, the timer holds 4");
    EXPECT_EQ(timer.settings.cycleId, 4);

    // Without the fault everything reads back; a second write finds nothing to write.
    timer.with([](TimerEmulator& e) { e.faults().flipStoredAddress = -1; });
    timer.panel.messages.clear();
    EXPECT_EQ(writeWholeSetup(timer.operation, foxSetup(2)), Outcome::done);
    const int blocks = timer.with([](TimerEmulator& e) { return e.counters().writeBlocks; });
    EXPECT_EQ(writeWholeSetup(timer.operation, foxSetup(2)), Outcome::done);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().writeBlocks; }), blocks);
    EXPECT_EQ(timer.panel.messages.back().text, WholeSetupText::verified);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.parameterMemory()[16]; }), 6);
}

TEST(WholeSetup, ASoundForATimerWithoutMemoryIsRefusedBeforeAnyByte) {
    EmulatedTimer timer(TimerEmulator::Model::Pic684, 0);
    connect(timer);
    TimerSetup setup = foxSetup(3);
    setup.soundFile = "/events/moe.wav";
    const int received = timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; });
    EXPECT_EQ(writeWholeSetup(timer.operation, setup), Outcome::failed);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; }), received);
    ASSERT_EQ(timer.panel.messages.size(), 1u);
    EXPECT_EQ(timer.panel.messages[0].text, WholeSetupText::soundWithoutMemory);
}
