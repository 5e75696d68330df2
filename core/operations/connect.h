#pragma once
// The "Connect" button: the timer woken, identified and its configuration read into the form.

#include "core/operations/operation.h"

// How far a connect came; each failed step has told the operator already, but for an
// identify reply that never came, which the window passes over in silence.
enum class Connection { connected, notAwake, notIdentified, notRead };

struct ConfigImage;

// Wakes and identifies the timer, then reads its configuration when readSettings is set
// (commands that only need the timer's identity stop before the read), kept in read when
// given: what the timer holds, apart from the form a timer never written leaves alone.
Connection connectTimer(OperationContext& op, bool readSettings = true, ConfigImage* read = nullptr);
