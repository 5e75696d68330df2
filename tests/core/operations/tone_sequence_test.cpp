// The tone-sequence text, its 48-byte block, and the "Edit Sequence" download run
// against the emulated timer over a pseudo-terminal.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/formats/tone_sequence.h"
#include "core/operations/configuration.h"
#include "core/operations/tone_sequence_edit.h"
#include "support/emulated_timer.h"

namespace {

constexpr int clock8 = 8000000;
constexpr int clock10 = 10000000;

ToneSequenceBlock blockOf(std::string_view text, int clockHz = clock8) {
    return packToneSequence(parseToneSequenceText(text, clockHz));
}

std::string pairs(int count) {
    std::string text;
    for (int k = 0; k < count; ++k)
        text += (k ? "," : "") + std::to_string(500 + 10 * k) + "," + std::to_string(k + 1);
    return text;
}

TEST(ToneSequenceText, PacksPairsIntoTheBlock) {
    ToneSequenceBlock expected{};
    const std::uint8_t head[] = {10, 0x24, 0x1A, 10, 0x37, 0x27}; // 800 Hz and 1200 Hz at 8 MHz
    std::copy(std::begin(head), std::end(head), expected.begin());
    EXPECT_EQ(blockOf("800,10,1200,10"), expected);
    // Runs of commas are one separator; the ends give no empty tokens.
    EXPECT_EQ(blockOf(",,800,,10,,1200,10,,"), expected);
    EXPECT_EQ(parseToneSequenceText(",,800,,10,,1200,10,,", clock8).pairCount, 2);
    // A trailing frequency without its duration is dropped.
    EXPECT_EQ(blockOf("800,10,1200,10,1500"), expected);
    EXPECT_EQ(parseToneSequenceText("800,10,1200", clock8).pairCount, 1);

    const ToneSequenceBlock at10 = blockOf("800,10,3000,7", clock10);
    EXPECT_EQ(at10[1] + 256 * at10[2], 5354);
    EXPECT_EQ(at10[4] + 256 * at10[5], 20077);
}

TEST(ToneSequenceText, TokensFollowTheDecimalRule) {
    // Blanks before a number and a sign are taken; the number ends at the first other
    // character; a token without digits is 0. Blanks do not separate.
    ParsedToneSequence s = parseToneSequenceText("  800Hz, +10 ms,x,5,1200 2,-3", clock8);
    ASSERT_EQ(s.pairCount, 3);
    EXPECT_EQ(s.entries[0].units, 6692); // 800 Hz
    EXPECT_EQ(s.entries[0].duration, 10);
    EXPECT_EQ(s.entries[1].units, 0);
    EXPECT_EQ(s.entries[1].duration, 5);
    EXPECT_EQ(s.entries[2].units, 10039);     // 1200 Hz
    EXPECT_EQ(s.entries[2].duration, 0xFFFD); // -3 held as 16 bits

    EXPECT_EQ(parseToneSequenceText("", clock8).pairCount, 0);
    EXPECT_EQ(parseToneSequenceText(",,,", clock8).pairCount, 0);
}

TEST(ToneSequenceText, NumbersKeepTheirLowBits) {
    // A duration is held as 16 bits and stored as its low byte; a frequency above the
    // 16-bit unit range keeps the low 16 bits of its units.
    ParsedToneSequence s = parseToneSequenceText("800,256,8000,65536,800,99999999999999", clock8);
    EXPECT_EQ(s.entries[0].duration, 256);
    EXPECT_EQ(s.entries[1].units, 66925 & 0xFFFF);
    EXPECT_EQ(s.entries[1].duration, 0);
    EXPECT_EQ(s.entries[2].duration, 0xFFFF); // saturates before the cut
    const ToneSequenceBlock block = packToneSequence(s);
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[4] + 256 * block[5], 1389);
    EXPECT_EQ(block[6], 0xFF);
    EXPECT_EQ(parseToneSequenceText("9793,1,9792,1", clock10).entries[0].units, 3);
}

TEST(ToneSequenceText, SixteenPairsAreStoredAndTheRestCounted) {
    const ParsedToneSequence s = parseToneSequenceText(pairs(20), clock8);
    EXPECT_EQ(s.pairCount, 20);
    EXPECT_EQ(s.entries[15].units, 5438); // 650 Hz
    EXPECT_EQ(s.entries[15].duration, 16);
    EXPECT_EQ(formatToneSequenceText(packToneSequence(s).data(), clock8), pairs(16));
}

TEST(ToneSequenceText, FormatEndsAtTheFirstZeroDuration) {
    for (int clockHz : {clock8, clock10}) {
        EXPECT_EQ(formatToneSequenceText(blockOf("800,10,1200,0,900,5", clockHz).data(), clockHz), "800,10");
        EXPECT_EQ(formatToneSequenceText(blockOf("50,1,3000,255,1000,128", clockHz).data(), clockHz),
                  "50,1,3000,255,1000,128");
    }
    const ToneSequenceBlock empty{};
    EXPECT_EQ(formatToneSequenceText(empty.data(), clock8), "");
    ToneSequenceBlock firstZero = blockOf("800,10,1200,10");
    firstZero[0] = 0;
    EXPECT_EQ(formatToneSequenceText(firstZero.data(), clock8), "");
}

std::array<std::uint8_t, 48> toneCells(EmulatedTimer& timer) {
    const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    std::array<std::uint8_t, 48> cells{};
    std::copy_n(memory.begin() + TimerMemoryMap::toneSequenceAddress, cells.size(), cells.begin());
    return cells;
}

TEST(EditToneSequence, RefusedTextsSendNothing) {
    EmulatedTimer timer;
    timer.settings.toneSequenceText = "600,5,700,5";
    const TimerSettings before = timer.settings;
    for (const char* text :
         {"800,10", "800,10,1200", "800,0,1200,10", "800,65536,1200,10", "", ",,,", "800"}) {
        SCOPED_TRACE(text);
        timer.panel.messages.clear();
        timer.panel.toneSequenceAnswer = text;
        editToneSequence(timer.operation);
        EXPECT_EQ(timer.panel.toneSequenceShown, "600,5,700,5");
        EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{ToneSequenceText::tooFewTones});
        EXPECT_EQ(timer.settings, before);
    }
    EXPECT_EQ(timer.panel.waitDepth, 0);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; }), 0);

    // The operator cancels: nothing at all happens.
    timer.panel.toneSequenceAnswer.reset();
    timer.panel.events.clear();
    editToneSequence(timer.operation);
    EXPECT_EQ(timer.panel.events, std::vector<std::string>{"edit"});
    EXPECT_EQ(timer.settings, before);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; }), 0);
}

TEST(EditToneSequence, WritesTheBlockThenTheConfiguration) {
    EmulatedTimer timer;
    timer.settings.cwText = "MOE";
    timer.panel.toneSequenceAnswer = ",,800,,10,,1200,10,,";
    editToneSequence(timer.operation);

    EXPECT_TRUE(timer.panel.messages.empty()) << timer.panel.messageTexts().front();
    EXPECT_EQ(toneCells(timer), blockOf("800,10,1200,10"));
    EXPECT_EQ(timer.settings.toneSequenceText, ",,800,,10,,1200,10,,");
    const EmulatorCounters counters = timer.with([](TimerEmulator& e) { return e.counters(); });
    EXPECT_EQ(counters.writeBlocks, 3); // tones, configuration, CW message
    EXPECT_EQ(counters.applyCount, 1);
    EXPECT_EQ(timer.panel.waitDepth, 0);
    // The form is shown with the new text before anything goes to the timer, and the
    // configuration write takes it back from there.
    const auto& ev = timer.panel.events;
    auto at = [&](const std::string& e) { return std::find(ev.begin(), ev.end(), e) - ev.begin(); };
    EXPECT_EQ(ev.front(), "edit");
    EXPECT_LT(at("wait+"), at("showForm"));
    EXPECT_LT(at("showForm"), at("readForm"));
    const std::vector<std::string> tail(ev.end() - 4, ev.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"sleep 3000", "info", "wait-", "wait-"}));
}

TEST(EditToneSequence, ZeroDurationLaterOnEndsTheSequenceOnReadBack) {
    EmulatedTimer timer;
    timer.panel.toneSequenceAnswer = "800,10,1200,0,900,5";
    editToneSequence(timer.operation);
    const auto cells = toneCells(timer);
    const ToneSequenceBlock expected = blockOf("800,10,1200,0,900,5");
    EXPECT_EQ(cells, expected);
    EXPECT_EQ(cells[6], 5);
    EXPECT_TRUE(std::all_of(cells.begin() + 9, cells.end(), [](auto b) { return b == 0; }));

    readConfiguration(timer.operation);
    EXPECT_EQ(timer.settings.toneSequenceText, "800,10");
}

TEST(EditToneSequence, LongAndOddTexts) {
    EmulatedTimer timer;
    timer.settings.cwText = "MOE";
    // A first duration of 256 would reach the timer as 0, an empty sequence: refused.
    timer.panel.toneSequenceAnswer = "800,256,1200,10";
    editToneSequence(timer.operation);
    EXPECT_EQ(timer.panel.messageTexts(),
              std::vector<std::string>{"Tone 1: the timer keeps a duration of 0 to 255, not 256"});
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().writeBlocks; }), 0);

    // Twenty pairs: the first sixteen reach the timer, the text keeps all of them.
    timer.panel.toneSequenceAnswer = pairs(20);
    editToneSequence(timer.operation);
    EXPECT_EQ(toneCells(timer), blockOf(pairs(16)));
    EXPECT_EQ(timer.settings.toneSequenceText, pairs(20));
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().applyCount; }), 1);
}

TEST(EditToneSequence, FailedDownloadKeepsTheTextAndSkipsTheConfiguration) {
    EmulatedTimer timer;
    timer.with([](TimerEmulator& e) {
        e.faults().hashFaultAfterByte = 0;
        return 0;
    });
    timer.panel.toneSequenceAnswer = "800,10,1200,10";
    editToneSequence(timer.operation);
    EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{ToneSequenceText::writeFailed});
    EXPECT_EQ(timer.settings.toneSequenceText, "800,10,1200,10");
    const auto& ev = timer.panel.events;
    EXPECT_EQ(std::count(ev.begin(), ev.end(), "readForm"), 0);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().applyCount; }), 0);
    EXPECT_EQ(timer.panel.waitDepth, 0);
}

} // namespace
