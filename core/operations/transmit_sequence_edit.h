#pragma once
// The "Edit Sequence" button of the controller settings: the step table of sequenced
// transmission, edited and written to the timer.

#include "core/formats/transmit_sequence.h"
#include "core/operations/operation.h"

namespace TransmitSequenceText {
inline constexpr const char* tooFewSteps = "Less than two steps in sequence!!";
inline constexpr const char* writeFailed = "Error in downloading Transmit Sequence";
} // namespace TransmitSequenceText

// Runs the editor on transmitSequence and writes the new table. The table is kept in the
// settings after OK even when it is refused or its write fails.
Outcome editTransmitSequence(OperationContext& op);

// Writes the table at its address; false after the message when the timer did not take it.
bool writeTransmitSequenceBlock(OperationContext& op, const TransmitSequence& table);
