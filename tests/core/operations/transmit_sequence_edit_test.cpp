// The "Edit Sequence" download of the step table, against the emulated timer.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/formats/transmit_sequence.h"
#include "core/operations/transmit_sequence_edit.h"
#include "support/emulated_timer.h"

namespace {

TransmitSequence tableOf(std::initializer_list<std::uint8_t> head) {
    TransmitSequence table{};
    std::copy(head.begin(), head.end(), table.begin());
    return table;
}

TransmitSequence tableCells(EmulatedTimer& timer) {
    const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    TransmitSequence cells{};
    std::copy_n(memory.begin() + TimerMemoryMap::transmitSequenceAddress, cells.size(), cells.begin());
    return cells;
}

TEST(EditTransmitSequence, FewerThanTwoLeadingStepsAreKeptButNotWritten) {
    EmulatedTimer timer;
    timer.settings.transmitSequence = tableOf({6, 0x11, 6, 0x41});
    for (const TransmitSequence& table :
         {tableOf({6, 0x11, 0, 0x41, 12, 0x21}), tableOf({0, 0x11, 6, 0x41, 6})}) {
        timer.panel.messages.clear();
        const TransmitSequence shown = timer.settings.transmitSequence;
        timer.panel.transmitSequenceAnswer = table;
        EXPECT_EQ(editTransmitSequence(timer.operation), Outcome::failed);
        EXPECT_EQ(timer.panel.transmitSequenceShown, shown);
        EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{"Less than two steps in sequence!!"});
        EXPECT_EQ(timer.settings.transmitSequence, table);
    }
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; }), 0);

    // Cancel changes nothing and sends nothing.
    timer.panel.transmitSequenceAnswer.reset();
    timer.panel.events.clear();
    const TimerSettings before = timer.settings;
    EXPECT_EQ(editTransmitSequence(timer.operation), Outcome::cancelled);
    EXPECT_EQ(timer.panel.events, std::vector<std::string>{"edit steps"});
    EXPECT_EQ(timer.settings, before);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; }), 0);
}

TEST(EditTransmitSequence, WritesTheTableAloneThenWaitsAndBeeps) {
    EmulatedTimer timer;
    // Two "No Transmit" steps are two steps.
    timer.panel.transmitSequenceAnswer = tableOf({6, 0x00, 6, 0x00});
    EXPECT_EQ(editTransmitSequence(timer.operation), Outcome::done);
    EXPECT_TRUE(timer.panel.messages.empty());
    EXPECT_EQ(tableCells(timer), tableOf({6, 0x00, 6, 0x00}));
    const EmulatorCounters counters = timer.with([](TimerEmulator& e) { return e.counters(); });
    EXPECT_EQ(counters.writeBlocks, 1);
    EXPECT_EQ(counters.applyCount, 0);
    const std::vector<std::uint8_t> head(counters.received.end() - 19, counters.received.end() - 16);
    EXPECT_EQ(head, (std::vector<std::uint8_t>{'W', 16, 16}));
    const auto& ev = timer.panel.events;
    const std::vector<std::string> tail(ev.end() - 3, ev.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"sleep 3000", "info", "wait-"}));
    EXPECT_EQ(timer.panel.waitDepth, 0);
}

TEST(EditTransmitSequence, FailedWriteIsReportedAndTheTableKept) {
    EmulatedTimer timer;
    timer.with([](TimerEmulator& e) { e.faults().hashFaultAfterByte = 3; });
    const TransmitSequence table = tableOf({3, 0x11, 6, 0x41});
    timer.panel.transmitSequenceAnswer = table;
    EXPECT_EQ(editTransmitSequence(timer.operation), Outcome::failed);
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{"Error in downloading Transmit Sequence"});
    EXPECT_EQ(timer.settings.transmitSequence, table);
    const auto& ev = timer.panel.events;
    EXPECT_EQ(std::count(ev.begin(), ev.end(), "info"), 0);
    EXPECT_EQ(timer.panel.waitDepth, 0);
}

} // namespace
