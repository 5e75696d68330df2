// A whole setup written to the software timer, read back and checked, with the timer's
// faults.

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "core/operations/whole_setup.h"
#include "core/operations/write_log.h"
#include "support/emulated_timer.h"

namespace {

TimerSetup setupOf(const std::string& text) {
    std::string error;
    std::optional<TimerSetup> setup = parseSetupText(text, "/events", TimerSettings{}, error);
    EXPECT_TRUE(setup) << error;
    return setup.value_or(TimerSetup{});
}

TimerSetup foxSetup(int cycleId) {
    return setupOf("transmitMode=cycled\naudioMode=cw-message\ncwText=MOS\ncycleId=" +
                   std::to_string(cycleId) + "\ntransmitSequence=06110641000000000000000000000000\n");
}

void connect(EmulatedTimer& timer) {
    ASSERT_TRUE(timer.session.wakeTimer());
    ASSERT_TRUE(timer.session.identifyTimer());
    timer.panel.messages.clear();
}

const SetupWriteRequest fox3{"/events/fox3.tavofox", "", "COM7", std::nullopt, SoundChoice::ask};

} // namespace

TEST(WholeSetup, ACellThatStoresWrongIsNamedByItsFieldAndTheFormShowsTheTimer) {
    EmulatedTimer timer;
    timer.with([](TimerEmulator& e) { e.faults().flipStoredAddress = 4; }); // the cycle ID
    connect(timer);
    SetupWriteOutcome outcome = writeSetup(timer.operation, foxSetup(3), fox3);
    EXPECT_EQ(outcome.result, SetupWriteResult::differs);
    EXPECT_EQ(outcome.differenceCell, 4);
    EXPECT_NE(outcome.message.find("fox3.tavofox written to the timer on COM7, but it reads back otherwise: "
                                   "Cycle ID of transmitter: written 3, the timer holds 4."),
              std::string::npos)
        << outcome.message;
    EXPECT_EQ(timer.settings.cycleId, 4);

    timer.with([](TimerEmulator& e) { e.faults().flipStoredAddress = -1; });
    outcome = writeSetup(timer.operation, foxSetup(2), fox3);
    EXPECT_EQ(outcome.message, "fox3.tavofox written to the timer on COM7 and verified: Cycle ID 2, MOS");
    // Every write is recorded, the one that read back otherwise too.
    const auto log = readWriteLog();
    ASSERT_TRUE(log && log->size() == 2);
    EXPECT_EQ((*log)[1].setup, "/events/fox3.tavofox");
    EXPECT_EQ((*log)[1].timer, "TAVO Timer P:684 M:512K  v2.1");
    EXPECT_EQ((*log)[1].cycleId + (*log)[1].cwText + (*log)[1].port, "2MOSCOM7");
    EXPECT_EQ((*log)[1].outcome, outcome.message);
}

// Each case starts from a timer holding fox 2 (trim -2), writes a setup and checks what the
// timer holds and how often it was told to apply.
TEST(WholeSetup, EveryWriteEndsAppliedAndKeepsTheTimersOwnTrim) {
    const std::string wav = std::string(TAVOFOX_TEST_DATA) + "/sound/ramp.wav";
    struct Case {
        const char* name;
        std::string setup;
        SetupWriteResult result;
        int writes;       // blocks written
        std::size_t cell; // a cell the setup sets
        int value;        // and what it holds after
    };
    const Case cases[] = {
        {"nothing differs", "", SetupWriteResult::verified, 0, 4, 1},
        {"the CW text alone", "cwText=MOH\n", SetupWriteResult::verified, 2, 34, 'H'},
        // The worked example of the melody block at 60 beats a minute without staccato.
        {"a ringtone",
         "ringtone=Example:d=4,o=5,b=120:8a,4a,8c.6,p\nringtoneBeatsPerMinute=60\nringtoneStaccato=0\n",
         SetupWriteResult::verified, 1, 129, 0x9A},
        {"the trim of another timer", "oscillatorTune=3\n", SetupWriteResult::verified, 0, 9, 0x1E},
        {"a declined sound", "audioMode=wave-file\nsoundFile=" + wav + "\n",
         SetupWriteResult::soundNotUploaded, 2, 0, 0x20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmulatedTimer timer;
        connect(timer);
        const std::string fox2 = "transmitMode=cycled\naudioMode=cw-message\ncwText=MOI\ncycleId=2\n";
        writeSetup(timer.operation, setupOf(fox2), fox3);
        timer.with([](TimerEmulator& e) { e.parameterMemory()[9] = 0x1E; });
        const auto before = timer.with([](TimerEmulator& e) { return e.counters(); });

        std::string text = fox2;
        const auto line = c.setup.substr(0, c.setup.find('='));
        if (const auto at = text.find(line + "="); !line.empty() && at != std::string::npos)
            text.erase(at, text.find('\n', at) + 1 - at);
        const SetupWriteOutcome outcome = writeSetup(timer.operation, setupOf(text + c.setup), fox3);
        EXPECT_EQ(outcome.result, c.result) << outcome.message;
        const auto after = timer.with([](TimerEmulator& e) { return e.counters(); });
        EXPECT_EQ(after.writeBlocks - before.writeBlocks, c.writes);
        EXPECT_EQ(after.applyCount - before.applyCount, 1);
        const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
        EXPECT_EQ(memory[9], 0x1E);
        EXPECT_EQ(c.cell == 0 ? memory[0] & 0x20 : memory[c.cell], c.value);
        if (c.result == SetupWriteResult::soundNotUploaded) {
            EXPECT_EQ(outcome.message,
                      "fox3.tavofox written, but the sound was not uploaded: in the Wave File "
                      "audio mode this timer plays nothing. Write again to upload it.");
        }
    }
}

TEST(WholeSetup, ASoundForATimerWithoutMemoryIsRefusedBeforeAnyByte) {
    EmulatedTimer timer(TimerEmulator::Model::Pic684, 0);
    connect(timer);
    TimerSetup setup = foxSetup(3);
    setup.soundFile = "/events/moe.wav";
    const int received = timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; });
    EXPECT_EQ(writeSetup(timer.operation, setup, fox3).message,
              "fox3.tavofox names a sound file, but the timer on COM7 has no external memory for it.\n"
              "Nothing was written.");
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; }), received);
}
