// The step table of sequenced transmission and the editor's length rules.

#include <gtest/gtest.h>

#include <string>

#include "core/form/transmit_sequence_form.h"
#include "core/formats/transmit_sequence.h"

namespace {

TransmitSequence tableOf(std::initializer_list<std::uint8_t> head) {
    TransmitSequence table{};
    std::copy(head.begin(), head.end(), table.begin());
    return table;
}

TransmitSteps stepsOf(std::initializer_list<TransmitStep> head) {
    TransmitSteps steps{};
    std::copy(head.begin(), head.end(), steps.begin());
    return steps;
}

TEST(TransmitSequence, KindsAndTheirFlagsBytes) {
    const std::uint8_t flags[] = {0x00, 0x09, 0x11, 0x21, 0x41, 0x81, 0x05};
    for (int kind = 0; kind < stepKindCount; ++kind) {
        EXPECT_EQ(stepKindToFlags(static_cast<StepKind>(kind)), flags[kind]) << stepKindTexts[kind];
        EXPECT_EQ(flagsToStepKind(flags[kind]), static_cast<StepKind>(kind)) << stepKindTexts[kind];
    }
    EXPECT_EQ(stepKindToFlags(static_cast<StepKind>(7)), 0x00);
    EXPECT_EQ(stepKindToFlags(static_cast<StepKind>(-1)), 0x00);
    // Several audio bits: the first in the timer's order; bit 0 alone transmits nothing.
    EXPECT_EQ(flagsToStepKind(0x18), StepKind::toneSequence);
    EXPECT_EQ(flagsToStepKind(0x84), StepKind::soundEffect);
    EXPECT_EQ(flagsToStepKind(0x01), StepKind::noTransmit);
    EXPECT_EQ(flagsToStepKind(0xFF), StepKind::toneSequence);
}

TEST(TransmitSequence, TableOfTheEditorsSixSteps) {
    EXPECT_EQ(buildTransmitSequence(stepsOf({{30, StepKind::singleTone}, {60, StepKind::cwMessage}})),
              tableOf({3, 0x11, 6, 0x41}));
    EXPECT_EQ(buildTransmitSequence(stepsOf({{60, StepKind::noTransmit}, {60, StepKind::noTransmit}})),
              tableOf({6, 0x00, 6, 0x00}));
    // Steps 7 and 8 of the timer's table are not the editor's: they are written as zero.
    TransmitSteps full{};
    full.fill({1000, StepKind::ringtoneMelody});
    EXPECT_EQ(buildTransmitSequence(full),
              tableOf({100, 0x05, 100, 0x05, 100, 0x05, 100, 0x05, 100, 0x05, 100, 0x05, 0, 0, 0, 0}));

    // Opening: a length byte above 100 shows as it is, for the range check to refuse.
    const TransmitSteps opened = stepsOfTransmitSequence(tableOf({150, 0x18, 1, 0x01, 0, 0x41}));
    EXPECT_EQ(opened[0], (TransmitStep{1500, StepKind::toneSequence}));
    EXPECT_EQ(opened[1], (TransmitStep{10, StepKind::noTransmit}));
    EXPECT_EQ(opened[2], (TransmitStep{0, StepKind::cwMessage}));
    EXPECT_EQ(opened[5], (TransmitStep{0, StepKind::noTransmit}));
}

TEST(TransmitSequence, LeadingStepsEndAtTheFirstZeroLength) {
    EXPECT_EQ(leadingStepCount(tableOf({6, 0x11, 0, 0x11, 12, 0x11})), 1);
    EXPECT_EQ(leadingStepCount(tableOf({0, 0x11, 6, 0x11, 6, 0x11})), 0);
    EXPECT_EQ(leadingStepCount(tableOf({6, 0x00, 6, 0x00})), 2);
    TransmitSequence all{};
    all.fill(1);
    EXPECT_EQ(leadingStepCount(all), 8);
}

TEST(TransmitSequence, LengthsRoundToTensAndAreChecked) {
    const int cases[][2] = {{0, 0},   {4, 0},     {5, 10},     {14, 10},
                            {15, 20}, {994, 990}, {995, 1000}, {1000, 1000}};
    for (const auto& [seconds, rounded] : cases)
        EXPECT_EQ(roundStepSeconds(seconds), rounded) << seconds;

    TransmitSteps steps = stepsOf({{60, StepKind::singleTone}, {70, StepKind::cwMessage}, {80}});
    const std::string fields[] = {"4", "1500", "", "7", "8", "9"};
    StepLengthCheck check = takeStepLengths([&fields](int k) { return fields[k]; }, steps);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.step, 1);
    EXPECT_EQ(check.message, "Please enter an integer between 0 and 1000.");
    // The steps before the failing one are taken; the failing one holds what was typed.
    EXPECT_EQ(steps[0].seconds, 4);
    EXPECT_EQ(steps[1].seconds, 1500);
    EXPECT_EQ(steps[2].seconds, 80);

    const std::string blank[] = {"995", "0", "", "0", "0", "0"};
    check = takeStepLengths([&blank](int k) { return blank[k]; }, steps);
    EXPECT_EQ(check.step, 2);
    EXPECT_EQ(check.message, "Please enter an integer.");

    const std::string good[] = {"995", "4", "5", "0", "1000", "14"};
    ASSERT_TRUE(takeStepLengths([&good](int k) { return good[k]; }, steps).ok);
    roundStepLengths(steps);
    EXPECT_EQ(steps[0].seconds, 1000);
    EXPECT_EQ(steps[1].seconds, 0);
    EXPECT_EQ(steps[2].seconds, 10);
    EXPECT_EQ(steps[5].seconds, 10);
    EXPECT_EQ(steps[1].kind, StepKind::cwMessage);
}

TEST(TransmitSequence, HexTextOfTheTable) {
    const TransmitSequence table = tableOf({0x06, 0x11, 0xAB, 0x41});
    EXPECT_EQ(transmitSequenceHex(table), "0611AB41000000000000000000000000");
    EXPECT_EQ(parseTransmitSequenceHex("0611ab41000000000000000000000000"), table);
    for (const char* bad : {"", "0611AB4100000000000000000000000", "0611AB410000000000000000000000000",
                            "0611AB41000000000000000000000G00", " 0611AB4100000000000000000000000"})
        EXPECT_FALSE(parseTransmitSequenceHex(bad).has_value()) << bad;
}

} // namespace
