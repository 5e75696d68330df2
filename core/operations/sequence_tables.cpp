#include "core/operations/sequence_tables.h"

#include <string_view>

#include "core/decimal.h"
#include "core/formats/tone_sequence.h"
#include "core/link/timer_session.h"
#include "core/operations/tone_sequence_edit.h"
#include "core/operations/transmit_sequence_edit.h"
#include "core/operator_panel.h"
#include "core/timer_settings.h"

namespace {

constexpr std::string_view transmitSequenceKey = "transmitSequence";
constexpr std::string_view toneSequenceTextKey = "toneSequenceText";

bool blank(std::string_view text) {
    for (char c : text)
        if (!isBlank(c)) return false;
    return true;
}

ToneSequenceBlock toneBlock(const std::string& text, int clockHz) {
    return packToneSequence(parseToneSequenceText(text, clockHz));
}

} // namespace

std::optional<std::string> takeSequenceTables(const std::vector<SettingsAssignment>& assignments,
                                              SequenceTables& tables) {
    for (const auto& [key, value] : assignments) {
        if (key == transmitSequenceKey) {
            tables.transmitSequence = parseTransmitSequenceHex(value);
            if (!tables.transmitSequence) return std::string(SequenceTablesText::badTransmitSequence);
        }
        if (key == toneSequenceTextKey) {
            // Durations do not depend on the clock: any clock checks the text.
            if (!blank(value) && !toneSequenceAccepted(parseToneSequenceText(value, TimerClock::model684Hz)))
                return std::string(toneSequenceTextKey) + ": " + ToneSequenceText::tooFewTones;
            tables.toneSequenceText = value;
        }
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
