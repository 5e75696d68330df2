#include "core/operations/tone_sequence_edit.h"

#include <optional>
#include <string>

#include "core/formats/tone_sequence.h"
#include "core/link/timer_session.h"
#include "core/operations/configuration.h"
#include "core/operator_panel.h"
#include "core/settings_view.h"
#include "core/timer_settings.h"

Outcome editToneSequence(OperationContext& op) {
    const std::optional<std::string> typed = op.panel.editToneSequence(op.settings.toneSequenceText);
    if (!typed) return Outcome::cancelled;

    const ParsedToneSequence sequence = parseToneSequenceText(*typed, op.session.clockHz());
    if (!toneSequenceAccepted(sequence)) {
        op.panel.showMessage(ToneSequenceText::tooFewTones);
        return Outcome::failed;
    }
    // The block would hold the low bits of a number beyond its field: another tone than typed.
    if (const std::string problem = toneSequenceOutOfRange(*typed, op.session.clockHz()); !problem.empty()) {
        op.panel.showMessage(problem);
        return Outcome::failed;
    }

    WaitCursor wait(op.panel);
    const ToneSequenceBlock block = packToneSequence(sequence);
    // The text is kept as typed, pairs beyond the sixteenth included, even if the
    // download below fails.
    op.settings.toneSequenceText = *typed;
    op.view.showForm(op.settings);
    if (!writeToneSequenceBlock(op, block)) return Outcome::failed;
    return writeConfiguration(op) ? Outcome::done : Outcome::failed;
}

bool toneSequenceAccepted(const ParsedToneSequence& sequence) {
    // Checked on the 16-bit number: a first duration of 256 passes, though the timer
    // then receives 0 for it.
    return sequence.pairCount >= 2 && sequence.entries[0].duration != 0;
}

bool writeToneSequenceBlock(OperationContext& op, const ToneSequenceBlock& block) {
    if (op.session.writeBlock(TimerMemoryMap::toneSequenceAddress, TimerMemoryMap::toneSequenceLength, block))
        return true;
    reportBlockFailure(op, ToneSequenceText::writeFailed);
    return false;
}
