#include "core/operations/transmit_sequence_edit.h"

#include <optional>

#include "core/formats/transmit_sequence.h"
#include "core/link/timer_session.h"
#include "core/operations/configuration.h"
#include "core/operator_panel.h"
#include "core/timer_settings.h"

Outcome editTransmitSequence(OperationContext& op) {
    const std::optional<TransmitSequence> edited =
        op.panel.editTransmitSequence(op.settings.transmitSequence);
    if (!edited) return Outcome::cancelled;
    op.settings.transmitSequence = *edited;

    // The timer stops at the first step of zero length; a sequence needs two to switch.
    if (leadingStepCount(*edited) < 2) {
        op.panel.showMessage(TransmitSequenceText::tooFewSteps);
        return Outcome::failed;
    }
    WaitCursor wait(op.panel);
    if (!writeTransmitSequenceBlock(op, *edited)) return Outcome::failed;
    // No apply command: the mode byte that selects the sequence goes with the next
    // configuration write, and the timer reads the table from its memory itself.
    op.panel.sleepMs(applyWaitMs);
    op.panel.playInformationSound();
    return Outcome::done;
}

bool writeTransmitSequenceBlock(OperationContext& op, const TransmitSequence& table) {
    if (op.session.writeBlock(TimerMemoryMap::transmitSequenceAddress, TimerMemoryMap::transmitSequenceLength,
                              table))
        return true;
    reportBlockFailure(op, TransmitSequenceText::writeFailed);
    return false;
}
