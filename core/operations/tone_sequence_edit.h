#pragma once
// The "Edit Sequence" button of the audio settings: the tone sequence typed by the
// operator, written to the timer, then the whole configuration.

#include "core/formats/tone_sequence.h"
#include "core/operations/operation.h"

namespace ToneSequenceText {
inline constexpr const char* tooFewTones = "Less than two tones in sequence!!";
inline constexpr const char* writeFailed = "Error in downloading Tone Sequence";
} // namespace ToneSequenceText

Outcome editToneSequence(OperationContext& op);

// Two tones at least, the first of them with a length.
bool toneSequenceAccepted(const ParsedToneSequence& sequence);
// Writes the block at its address; false after the message when the timer did not take it.
bool writeToneSequenceBlock(OperationContext& op, const ToneSequenceBlock& block);
