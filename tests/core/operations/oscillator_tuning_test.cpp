// Live tuning of the timer's oscillator: the bytes on the line, against the emulated timer.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/link/timer_session.h"
#include "core/operations/configuration.h"
#include "core/operations/oscillator_tuning.h"
#include "support/emulated_timer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// What the timer receives from here on.
class LineRecorder {
public:
    explicit LineRecorder(EmulatedTimer& timer) : timer_(timer), from_(received().size()) {}
    Bytes bytes() {
        const Bytes all = received();
        return {all.begin() + static_cast<std::ptrdiff_t>(from_), all.end()};
    }

private:
    Bytes received() {
        return timer_.with([](TimerEmulator& e) { return e.counters().received; });
    }
    EmulatedTimer& timer_;
    std::size_t from_;
};

class OscillatorTuning : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(timer.session.wakeTimer());
        timer.panel.events.clear();
    }
    EmulatedTimer timer;
};

TEST_F(OscillatorTuning, EachSelectionGoesOutAtOnceAndOkKeepsTheLast) {
    std::vector<std::pair<int, double>> counter;
    timer.with([&counter](TimerEmulator& e) {
        e.setTrimObserver([&counter](int trim, double hz) { counter.emplace_back(trim, hz); });
    });
    LineRecorder line(timer);
    timer.panel.tuneSelections = {1, -4, 4};
    EXPECT_EQ(tuneOscillator(timer.operation), Outcome::done);

    EXPECT_EQ(line.bytes(), (Bytes{'C', 0x00, 0x01, 0x1C, 0x04, 0x80}));
    EXPECT_EQ(timer.settings.oscillatorTune, 4);
    const std::vector<std::string> expected{"tune 0", "trim 1 1", "trim -4 1", "trim 4 1",
                                            "message Don't forget to write the configuration !!"};
    EXPECT_EQ(timer.panel.events, expected);
    EXPECT_FALSE(timer.with([](TimerEmulator& e) { return e.tuning(); }));

    // The emulator's own oscillator: 3 % fast, 0.75 % a trim step.
    ASSERT_EQ(counter.size(), 4u);
    EXPECT_EQ(counter[0].first, 0);
    EXPECT_DOUBLE_EQ(counter[0].second, 257500.0);
    EXPECT_EQ(counter[2].first, -4);
    EXPECT_DOUBLE_EQ(counter[2].second, 249775.0);
    timer.with([](TimerEmulator& e) { e.setTrimObserver(nullptr); });
}

TEST_F(OscillatorTuning, CancelEndsTuningAndChangesNothing) {
    timer.settings.oscillatorTune = -1;
    LineRecorder line(timer);
    timer.panel.tuneSelections = {2, 3};
    timer.panel.tuneAccepted = false;
    EXPECT_EQ(tuneOscillator(timer.operation), Outcome::cancelled);
    EXPECT_EQ(line.bytes(), (Bytes{'C', 0x1F, 0x02, 0x03, 0x80}));
    EXPECT_EQ(timer.settings.oscillatorTune, -1);
    EXPECT_TRUE(timer.panel.messages.empty());
}

TEST_F(OscillatorTuning, TrimOutsideTheListStartsAsStoredAndOkKeepsIt) {
    timer.settings.oscillatorTune = 10;
    LineRecorder line(timer);
    EXPECT_EQ(tuneOscillator(timer.operation), Outcome::done);
    EXPECT_EQ(line.bytes(), (Bytes{'C', 0x0A, 0x80}));
    EXPECT_EQ(timer.panel.events.front(), "tune 10");
    EXPECT_EQ(timer.settings.oscillatorTune, 10);
    EXPECT_EQ(timer.panel.messageTexts(),
              std::vector<std::string>{"Don't forget to write the configuration !!"});
}

TEST_F(OscillatorTuning, ChosenTrimReachesByte9WithTheNextConfigurationWrite) {
    timer.settings.cwText = "MOE";
    timer.panel.tuneSelections = {-2};
    EXPECT_EQ(tuneOscillator(timer.operation), Outcome::done);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.parameterMemory()[9]; }), 0xFF); // not yet
    ASSERT_TRUE(writeConfiguration(timer.operation));
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.parameterMemory()[9]; }), 0x1E);

    // Written at once instead of the reminder.
    timer.panel.messages.clear();
    timer.panel.tuneSelections = {3};
    LineRecorder line(timer);
    EXPECT_EQ(tuneOscillator(timer.operation, AfterTuning::writeConfiguration), Outcome::done);
    EXPECT_TRUE(timer.panel.messages.empty());
    const Bytes sent = line.bytes();
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 4), (Bytes{'C', 0x1E, 0x03, 0x80}));
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.parameterMemory()[9]; }), 0x03);
}

// Costs one read time-out.
TEST_F(OscillatorTuning, TimerThatDoesNotStartTuningGetsNothingMore) {
    timer.with([](TimerEmulator& e) { e.faults().silent = true; });
    LineRecorder line(timer);
    EXPECT_EQ(tuneOscillator(timer.operation), Outcome::failed);
    EXPECT_EQ(line.bytes(), Bytes{'C'});
    EXPECT_TRUE(timer.panel.events.empty()); // no dialog, no message
}

} // namespace
