// The form's checks, messages, exchange order, step-length rounding and enabling rules,
// as the window and the command line both apply them.

#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "core/form/settings_form.h"

namespace {

TEST(FormMessages, CarryTheBounds) {
    EXPECT_EQ(formatRangeMessage(1, 10), "Please enter an integer between 1 and 10.");
    EXPECT_EQ(formatRangeMessage(-16, 131071), "Please enter an integer between -16 and 131071.");
    EXPECT_EQ(formatLengthMessage(31), "Please enter no more than 31 characters.");
}

TEST(FormField, KeysAreTheRecordsNames) {
    EXPECT_EQ(formFieldKey(FormField::recoveryBeaconDelay), "recoveryBeaconDelay");
    for (FormField field : formExchangeOrder)
        EXPECT_EQ(formFieldFromKey(formFieldKey(field)), field);
    EXPECT_FALSE(formFieldFromKey("comPort").has_value());
    EXPECT_FALSE(formFieldFromKey("").has_value());
}

TEST(FormField, RangesAreCheckedWithTheirMessage) {
    const std::map<FormField, IntRange> ranges{
        {FormField::transmitterCount, {1, 10}},
        {FormField::stepLength, {1, 600}},
        {FormField::startupDelay, {0, 255}},
        {FormField::cycleId, {1, 10}},
        {FormField::transmitMode, {0, 2}},
        {FormField::audioMode, {0, 5}},
        {FormField::soundEffect, {0, 1}},
        {FormField::autoShutdown, {0, 255}},
        {FormField::toneFrequency, {50, 3000}},
        {FormField::keyed, {0, 1}},
        {FormField::autoId, {0, 1}},
        {FormField::cwSpeed, {5, 30}},
        {FormField::outputLevel, {0, 1}},
        {FormField::recoveryBeaconDelay, {0, 255}},
    };
    for (auto [field, range] : ranges) {
        SCOPED_TRACE(std::string(formFieldKey(field)));
        for (int inside : {range.min, range.max}) {
            TimerSettings s;
            EXPECT_TRUE(takeFormField(field, std::to_string(inside), s).ok);
            EXPECT_EQ(formFieldText(field, s), std::to_string(inside));
        }
        for (int outside : {range.min - 1, range.max + 1}) {
            TimerSettings s;
            const FormCheck check = takeFormField(field, std::to_string(outside), s);
            EXPECT_FALSE(check.ok);
            EXPECT_EQ(check.field, field);
            EXPECT_EQ(check.message, "Please enter an integer between " + std::to_string(range.min) +
                                         " and " + std::to_string(range.max) + ".");
        }
    }
    // The table length is shown only: no number fails, none is taken.
    for (const char* shown : {"-1", "131072", "16777215", "x"}) {
        TimerSettings s;
        s.tableLength = 10000;
        EXPECT_TRUE(takeFormField(FormField::tableLength, shown, s).ok) << shown;
        EXPECT_EQ(s.tableLength, 10000);
    }
    // An out-of-range number stays in the field.
    TimerSettings s;
    EXPECT_FALSE(takeFormField(FormField::stepLength, "700", s).ok);
    EXPECT_EQ(s.stepLength, 700);
    EXPECT_FALSE(takeFormField(FormField::transmitterCount, "0", s).ok);
    EXPECT_EQ(s.transmitterCount, 0);
}

TEST(FormField, NonIntegerLeavesTheFieldAlone) {
    TimerSettings s;
    s.cwSpeed = 22;
    const FormCheck check = takeFormField(FormField::cwSpeed, "fast", s);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.field, FormField::cwSpeed);
    EXPECT_EQ(check.message, "Please enter an integer.");
    EXPECT_EQ(s.cwSpeed, 22);
    s.keyed = true;
    EXPECT_FALSE(takeFormField(FormField::keyed, "", s).ok);
    EXPECT_TRUE(s.keyed);
}

TEST(FormField, CwTextLongerThanTheEditIsKeptAndReported) {
    TimerSettings s;
    EXPECT_TRUE(takeFormField(FormField::cwText, std::string(31, 'A'), s).ok);
    EXPECT_TRUE(takeFormField(FormField::cwText, "", s).ok);
    EXPECT_EQ(s.cwText, "");
    const FormCheck check = takeFormField(FormField::cwText, std::string(32, 'B'), s);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.message, "Please enter no more than 31 characters.");
    EXPECT_EQ(s.cwText, std::string(32, 'B'));
}

TEST(Form, ExchangeStopsAtTheFirstFailure) {
    TimerSettings typed;
    typed.transmitterCount = 7;
    typed.stepLength = 120;
    typed.startupDelay = 3;
    typed.cycleId = 99; // fails here
    typed.transmitMode = TransmitMode::sequenced;
    typed.cwText = "CQ";
    typed.recoveryBeaconDelay = 4;
    std::vector<FormField> asked;
    auto textOf = [&](FormField field) {
        asked.push_back(field);
        return formFieldText(field, typed);
    };

    TimerSettings s;
    const FormCheck check = takeForm(textOf, s);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.field, FormField::cycleId);
    EXPECT_EQ(check.message, "Please enter an integer between 1 and 10.");
    EXPECT_EQ(asked, (std::vector<FormField>(formExchangeOrder.begin(), formExchangeOrder.begin() + 4)));
    EXPECT_EQ(s.transmitterCount, 7);
    EXPECT_EQ(s.stepLength, 120);
    EXPECT_EQ(s.startupDelay, 3);
    EXPECT_EQ(s.cycleId, 99);
    TimerSettings later = s;
    later.transmitterCount = 5;
    later.stepLength = 60;
    later.startupDelay = 0;
    later.cycleId = 1;
    EXPECT_EQ(later, TimerSettings{}); // everything after the failure is as it was

    typed.cycleId = 10;
    asked.clear();
    EXPECT_TRUE(takeForm(textOf, s).ok);
    EXPECT_EQ(asked, (std::vector<FormField>(formExchangeOrder.begin(), formExchangeOrder.end())));
    for (FormField field : formExchangeOrder)
        EXPECT_EQ(formFieldText(field, s), formFieldText(field, typed));
}

TEST(StepLength, RoundsToTensOnLeavingTheField) {
    const std::pair<int, int> cases[] = {{64, 60}, {65, 70}, {4, 10},  {0, 10},   {600, 600},
                                         {5, 10},  {14, 10}, {15, 20}, {-20, 10}, {700, 700}};
    for (auto [typed, shown] : cases)
        EXPECT_EQ(roundStepLength(typed), shown) << typed;
    EXPECT_EQ(roundStepLength(INT_MAX), 2147483640);

    // Typed as 0: the range is reported, then the field shows 10.
    TimerSettings s;
    EXPECT_FALSE(takeFormField(FormField::stepLength, "0", s).ok);
    s.stepLength = roundStepLength(s.stepLength);
    EXPECT_EQ(formFieldText(FormField::stepLength, s), "10");
}

TEST(EnablingRules, TransmitMode) {
    TimerSettings s;
    auto enables = [&](TransmitMode mode) {
        s.transmitMode = mode;
        const TransmitModeEnables e = transmitModeEnables(s);
        return std::pair{e.cycleControls, e.sequenceButton};
    };
    EXPECT_EQ(enables(TransmitMode::continuous), std::pair(false, false));
    EXPECT_EQ(enables(TransmitMode::cycled), std::pair(true, false));
    EXPECT_EQ(enables(TransmitMode::sequenced), std::pair(false, true));
}

TEST(EnablingRules, AudioMode) {
    // Columns: tone frequency, CW text, CW controls, sound effect, load sound, tone sequence,
    // load ringtone, output level.
    struct Row {
        AudioMode mode;
        bool autoId;
        std::array<bool, 8> enabled;
    };
    const Row table[] = {
        {AudioMode::singleTone, false, {1, 0, 0, 0, 0, 0, 0, 1}},
        {AudioMode::cwMessage, false, {1, 1, 1, 0, 0, 0, 0, 1}},
        {AudioMode::cwMessage, true, {1, 0, 1, 0, 0, 0, 0, 1}},
        {AudioMode::soundEffect, false, {0, 0, 0, 1, 0, 0, 0, 0}},
        {AudioMode::waveFile, false, {0, 0, 0, 0, 1, 0, 0, 0}},
        {AudioMode::toneSequence, false, {0, 0, 0, 0, 0, 1, 0, 1}},
        {AudioMode::ringtone, true, {0, 0, 0, 0, 0, 0, 1, 1}},
    };
    for (const Row& row : table) {
        TimerSettings s;
        s.audioMode = row.mode;
        s.autoId = row.autoId;
        const AudioModeEnables e = audioModeEnables(s);
        const std::array<bool, 8> enabled{e.toneFrequency, e.cwText,     e.cwControls,
                                          e.soundEffect,   e.loadSound,  e.toneSequenceButton,
                                          e.loadRingtone,  e.outputLevel};
        EXPECT_EQ(enabled, row.enabled) << static_cast<int>(row.mode) << (row.autoId ? " auto-id" : "");
    }
}

TEST(EnablingRules, RecoveryBeaconFollowsAutoShutdown) {
    TimerSettings s;
    EXPECT_FALSE(recoveryBeaconEnabled(s));
    ASSERT_TRUE(takeFormField(FormField::autoShutdown, "5", s).ok);
    EXPECT_TRUE(recoveryBeaconEnabled(s));
}

} // namespace
