#include "core/operations/sequence_tables.h"

#include <string_view>

#include "core/form/settings_table.h"
#include "core/formats/tone_sequence.h"
#include "core/link/timer_session.h"
#include "core/operations/tone_sequence_edit.h"
#include "core/operations/transmit_sequence_edit.h"
#include "core/operator_panel.h"
#include "core/timer_settings.h"

namespace {

ToneSequenceBlock toneBlock(const std::string& text, int clockHz) {
    return packToneSequence(parseToneSequenceText(text, clockHz));
}

} // namespace

std::optional<std::string> takeSequenceTables(const std::vector<SettingsAssignment>& assignments,
                                              SequenceTables& tables) {
    for (const SettingsAssignment& assignment : assignments) {
        const SettingRow* row = findSetting(assignment.key);
        if (!row || row->value != SettingValue::table) continue;
        // Checked as a setup file's line is: the same rule and message for both.
        TimerSetup checked;
        if (auto failure = applySetupLines({assignment}, {}, checked)) return failure;
        if (row->place == SettingPlace::transmitSequence)
            tables.transmitSequence =
                checked.transmitSequenceSet ? std::optional(checked.settings.transmitSequence) : std::nullopt;
        else
            // An empty text is a timer without a tone sequence, and is copied as such.
            tables.toneSequenceText = checked.settings.toneSequenceText;
    }
    return std::nullopt;
}

bool writeSequenceTables(OperationContext& op, const SequenceTables& tables) {
    const int clockHz = op.session.clockHz();
    const bool newTable = tables.transmitSequence && *tables.transmitSequence != op.settings.transmitSequence;
    const bool newTones = tables.toneSequenceText && toneBlock(*tables.toneSequenceText, clockHz) !=
                                                         toneBlock(op.settings.toneSequenceText, clockHz);
    WaitCursor wait(op.panel);
    if (newTable) {
        if (!writeTransmitSequenceBlock(op, *tables.transmitSequence)) return false;
        op.settings.transmitSequence = *tables.transmitSequence;
    }
    if (newTones) {
        if (!writeToneSequenceBlock(op, toneBlock(*tables.toneSequenceText, clockHz))) return false;
        op.settings.toneSequenceText = *tables.toneSequenceText;
    }
    return true;
}
