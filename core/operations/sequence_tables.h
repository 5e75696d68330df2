#pragma once
// The step table and the tone sequence of a settings text, copied to a timer along with its
// configuration, so that one timer's `read` programs another completely.

#include <optional>
#include <string>
#include <vector>

#include "core/form/settings_text.h"
#include "core/formats/transmit_sequence.h"
#include "core/operations/operation.h"

struct SequenceTables {
    std::optional<TransmitSequence> transmitSequence;
    // An empty text is a timer without a tone sequence, and is copied as such.
    std::optional<std::string> toneSequenceText;
};

// The last transmitSequence and toneSequenceText of the assignments, checked as the editors
// check them; nothing, or "key: " and the refusal. Needs no timer.
std::optional<std::string> takeSequenceTables(const std::vector<SettingsAssignment>& assignments,
                                              SequenceTables& tables);

// Writes each table that differs from what the timer holds (the settings as read), before
// the configuration block is written; false, after the editor's message, when a write fails.
bool writeSequenceTables(OperationContext& op, const SequenceTables& tables);
