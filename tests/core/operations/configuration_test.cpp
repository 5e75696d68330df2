// Reading and writing the configuration through the real serial port against the
// emulated timer on a pseudo-terminal.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/form/settings_form.h"
#include "core/operations/configuration.h"
#include "core/operations/tone_sequence_edit.h"
#include "support/emulated_timer.h"

namespace {

using Memory = std::array<std::uint8_t, 256>;

Memory memoryOf(EmulatedTimer& timer) {
    return timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
}

EmulatorCounters countersOf(EmulatedTimer& timer) {
    return timer.with([](TimerEmulator& e) { return e.counters(); });
}

std::vector<std::uint8_t> cells(const Memory& memory, int address, int length) {
    return {memory.begin() + address, memory.begin() + address + length};
}

std::vector<std::string> tail(const std::vector<std::string>& events, std::size_t n) {
    return {events.end() - static_cast<std::ptrdiff_t>(std::min(n, events.size())), events.end()};
}

TimerSettings operatorForm() {
    TimerSettings form;
    form.transmitterCount = 6;
    form.stepLength = 90;
    form.startupDelay = 12;
    form.cycleId = 4;
    form.transmitMode = TransmitMode::cycled;
    form.audioMode = AudioMode::cwMessage;
    form.cwText = "CQ DE MOE";
    form.autoShutdown = 45;
    form.toneFrequency = 1000;
    form.keyed = true;
    form.autoId = false;
    form.cwSpeed = 20;
    form.outputLevel = OutputLevel::full;
    form.tableLength = 10000;
    form.recoveryBeaconDelay = 3;
    return form;
}

TEST(Configuration, WriteThenReadGivesTheSameForm) {
    EmulatedTimer timer;
    timer.with([](TimerEmulator& e) {
        const std::uint8_t soundLength[] = {0x10, 0x27, 0x00};
        std::copy(std::begin(soundLength), std::end(soundLength), e.parameterMemory().begin() + 13);
        return 0;
    });
    const TimerSettings form = operatorForm();
    timer.panel.form = form;
    timer.settings.oscillatorTune = -4;
    writeConfiguration(timer.operation);

    EXPECT_TRUE(timer.panel.messages.empty()) << timer.panel.messageTexts().front();
    EXPECT_EQ(timer.panel.waitDepth, 0);
    EXPECT_EQ(timer.panel.events[0], "readForm");
    EXPECT_EQ(tail(timer.panel.events, 3), (std::vector<std::string>{"sleep 3000", "info", "wait-"}));
    const Memory memory = memoryOf(timer);
    // Cycled and CW; keyed; 1000 Hz = 8366 units; trim -4 in five bits; 20 WPM = 60 ms dots.
    EXPECT_EQ(cells(memory, 0, 13),
              (std::vector<std::uint8_t>{0x41, 0x02, 12, 9, 3, 6, 0xAE, 0x20, 45, 0x1C, 60, 3, 0}));
    std::vector<std::uint8_t> cw{'C', 'Q', ' ', 'D', 'E', ' ', 'M', 'O', 'E'};
    cw.resize(32, 0);
    EXPECT_EQ(cells(memory, 32, 32), cw);
    EXPECT_EQ(countersOf(timer).applyCount, 1);

    // Another session of the program, starting from its start values, reads it back.
    timer.settings = TimerSettings{};
    timer.panel.form.reset();
    timer.panel.events.clear();
    readConfiguration(timer.operation);
    EXPECT_TRUE(timer.panel.messages.empty());
    EXPECT_EQ(timer.panel.events, (std::vector<std::string>{"showForm", "modes", "info"}));
    ASSERT_TRUE(timer.panel.shownForm.has_value());
    for (FormField field : formExchangeOrder) {
        if (field == FormField::soundEffect) continue; // the timer does not store the choice
        EXPECT_EQ(formFieldText(field, *timer.panel.shownForm), formFieldText(field, form))
            << formFieldKey(field);
    }
    EXPECT_EQ(timer.settings.oscillatorTune, -4);
}

TEST(Configuration, ReadUsesTheIdentifiedClock) {
    EmulatedTimer timer(TimerEmulator::Model::Pic628A);
    timer.with([](TimerEmulator& e) {
        Memory& m = e.parameterMemory();
        m[6] = 0xEA; // 800 Hz at 10 MHz
        m[7] = 0x14;
        m[10] = 0; // no dot length: the speed shown stays
        m[64] = 10;
        m[65] = 0xEA;
        m[66] = 0x14;
        m[67] = 0;
        return 0;
    });
    ASSERT_TRUE(timer.session.wakeTimer());
    ASSERT_TRUE(timer.session.identifyTimer());
    ASSERT_EQ(timer.session.clockHz(), 10000000);
    timer.settings.cwSpeed = 21;
    readConfiguration(timer.operation);
    EXPECT_EQ(timer.settings.toneFrequency, 800);
    EXPECT_EQ(timer.settings.toneSequenceText, "800,10");
    EXPECT_EQ(timer.settings.cwSpeed, 21);
    // The rest of the memory was never written.
    EXPECT_EQ(timer.settings.transmitMode, TransmitMode::sequenced);
    EXPECT_EQ(timer.settings.cycleId, 256);
    EXPECT_EQ(timer.settings.cwText, std::string(31, '\xFF'));
}

TEST(Configuration, TimerNeverWrittenKeepsTheFormAndSaysSo) {
    EmulatedTimer timer; // every cell erased
    timer.settings.cycleId = 4;
    timer.settings.cwText = "MOE";
    timer.settings.toneSequenceText = "800,10,1200,10";
    TimerSettings expected = timer.settings;
    expected.transmitSequence.fill(0xFF);
    expected.comPort = timer.panel.port; // the wake takes the selected port
    EXPECT_TRUE(readConfiguration(timer.operation));
    EXPECT_EQ(timer.settings, expected);
    EXPECT_EQ(tail(timer.panel.events, 4),
              (std::vector<std::string>{"showForm", "modes", "message No settings stored in the timer yet",
                                        "info"}));
}

TEST(Configuration, SilentTimerLeavesTheSettingsAlone) {
    EmulatedTimer timer;
    ASSERT_TRUE(timer.session.wakeTimer());
    timer.with([](TimerEmulator& e) {
        e.faults().silent = true;
        return 0;
    });
    const TimerSettings before = timer.settings;
    timer.panel.events.clear();
    readConfiguration(timer.operation);
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{ConfigurationText::commandFailed});
    EXPECT_EQ(timer.settings, before);
    EXPECT_EQ(timer.panel.events,
              std::vector<std::string>{std::string("message ") + ConfigurationText::commandFailed});
}

TEST(Configuration, ShortImageLeavesTheSettingsAlone) {
    EmulatedTimer timer;
    ASSERT_TRUE(timer.session.wakeTimer());
    timer.with([](TimerEmulator& e) {
        e.parameterMemory().fill(0);
        e.faults().imageBytes = 127;
    });
    const TimerSettings before = timer.settings;
    timer.panel.events.clear();
    readConfiguration(timer.operation);
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{ConfigurationText::readFailed});
    EXPECT_EQ(timer.settings, before);
    EXPECT_EQ(std::count(timer.panel.events.begin(), timer.panel.events.end(), "info"), 0);
}

TEST(Configuration, FailedBlockWriteSendsNothingFurther) {
    EmulatedTimer timer;
    timer.with([](TimerEmulator& e) {
        e.faults().hashFaultAfterByte = 0;
        return 0;
    });
    TimerSettings form = operatorForm();
    timer.panel.form = form;
    writeConfiguration(timer.operation);

    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{ConfigurationText::writeFailed});
    // No wait and no sound after the message.
    EXPECT_EQ(tail(timer.panel.events, 2),
              (std::vector<std::string>{std::string("message ") + ConfigurationText::writeFailed, "wait-"}));
    EXPECT_EQ(timer.panel.waitDepth, 0);
    const Memory memory = memoryOf(timer);
    EXPECT_EQ(cells(memory, 32, 32), std::vector<std::uint8_t>(32, 0xFF));
    const EmulatorCounters counters = countersOf(timer);
    EXPECT_EQ(counters.applyCount, 0);
    // The block went out whole all the same, so the timer is back at its command prompt.
    EXPECT_EQ(counters.writeBlocks, 1);
}

TEST(Configuration, CwTextIsWrittenWithEveryConfiguration) {
    EmulatedTimer timer;
    TimerSettings form = operatorForm();

    // Empty: the message, then the apply command, the wait and the sound still follow.
    form.cwText = "";
    timer.panel.form = form;
    writeConfiguration(timer.operation);
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{CwMessageText::empty});
    EXPECT_EQ(tail(timer.panel.events, 4),
              (std::vector<std::string>{std::string("message ") + CwMessageText::empty, "sleep 3000", "info",
                                        "wait-"}));
    EXPECT_EQ(cells(memoryOf(timer), 32, 32), std::vector<std::uint8_t>(32, 0xFF));
    EXPECT_EQ(countersOf(timer).applyCount, 1);

    // 31 characters: written with its closing zero.
    form.cwText = std::string(31, 'K');
    timer.panel.form = form;
    timer.panel.messages.clear();
    writeConfiguration(timer.operation);
    EXPECT_TRUE(timer.panel.messages.empty());
    std::vector<std::uint8_t> expected(31, 'K');
    expected.push_back(0);
    EXPECT_EQ(cells(memoryOf(timer), 32, 32), expected);

    // 32 characters (only a read-back can give them): not written, yet applied.
    form.cwText = std::string(32, 'Q');
    timer.panel.form = form;
    timer.panel.formValid = false;
    writeConfiguration(timer.operation);
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{CwMessageText::tooLong});
    EXPECT_EQ(cells(memoryOf(timer), 32, 32), expected);
    const EmulatorCounters counters = countersOf(timer);
    EXPECT_EQ(counters.applyCount, 3);
    EXPECT_EQ(counters.writeBlocks, 4);
}

TEST(Configuration, TimerThatStopsAcknowledgingStillTakesTheApply) {
    EmulatedTimer timer;
    // From the 21st byte of a block on, the timer stores each byte but sends no "#".
    timer.with([](TimerEmulator& e) {
        e.faults().hashFaultAfterByte = 20;
        e.faults().hashMissing = true;
    });
    timer.panel.form = operatorForm();
    EXPECT_FALSE(writeConfiguration(timer.operation));

    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{CwMessageText::writeFailed});
    // Every byte of the CW block went out, so the apply command after it was taken as one.
    std::vector<std::uint8_t> cwBlock(32, 0);
    const std::string cwText = "CQ DE MOE";
    std::copy(cwText.begin(), cwText.end(), cwBlock.begin());
    EXPECT_EQ(cells(memoryOf(timer), 32, 32), cwBlock);
    const EmulatorCounters counters = countersOf(timer);
    EXPECT_EQ(counters.writeBlocks, 2);
    EXPECT_EQ(counters.applyCount, 1);
    EXPECT_EQ(counters.received.back(), '@');
}

TEST(Configuration, PortFailureEndsTheWaitCursor) {
    EmulatedTimer timer;
    ASSERT_TRUE(timer.session.wakeTimer());
    timer.runner->dropLine();
    EXPECT_THROW(writeConfiguration(timer.operation), CSerialException);
    EXPECT_EQ(timer.panel.waitDepth, 0);
    EXPECT_EQ(timer.panel.events.back(), "wait-");
}

} // namespace

// The operator knows these texts from the timer program as they stand, odd spellings and all.
TEST(OperatorTexts, ConfigurationAndContentMessagesAreLetterForLetter) {
    EXPECT_STREQ(ConfigurationText::commandFailed, "Error Writing a command to the controller");
    EXPECT_STREQ(ConfigurationText::readFailed, "Error when reading the configuration");
    EXPECT_STREQ(ConfigurationText::writeFailed, "Error in setting configuration");
    EXPECT_STREQ(ConfigurationText::noSettingsStored, "No settings stored in the timer yet");
    EXPECT_STREQ(CwMessageText::empty, "Trying do download an empty CW text, skipping....");
    EXPECT_STREQ(CwMessageText::tooLong, "CW Text exceeds maximum character space (31 kars)");
    EXPECT_STREQ(CwMessageText::writeFailed, "Error in downloading CW Message");
    EXPECT_STREQ(ToneSequenceText::tooFewTones, "Less than two tones in sequence!!");
    EXPECT_STREQ(ToneSequenceText::writeFailed, "Error in downloading Tone Sequence");
}
