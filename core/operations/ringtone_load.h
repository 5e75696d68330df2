#pragma once
// The "Load Ringtone" button: the ringtone dialog, the melody written to the timer, then
// the whole configuration.

#include "core/operations/operation.h"

namespace RingtoneLoadText {
inline constexpr const char* noValidRingtone = "No valid ringtone available";
inline constexpr const char* writeFailed = "Error in downloading Ringtone Sequence";
} // namespace RingtoneLoadText

Outcome loadRingtone(OperationContext& op);
