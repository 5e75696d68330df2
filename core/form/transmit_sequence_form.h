#pragma once
// The transmit-sequence editor's form rules, free of any toolkit: the six step lengths
// taken from their fields with the form's checks, and rounded to whole tens of seconds.
// The window's editor and the command line both take lengths through these.

#include <functional>
#include <optional>
#include <string>

#include "core/form/settings_form.h"
#include "core/formats/transmit_sequence.h"

// Seconds a step may last; the table holds at most 100 tens.
inline constexpr IntRange stepSecondsRange{0, 1000};

struct StepLengthCheck {
    bool ok = true;
    int step = 0;        // the failing step (0..5) when !ok
    std::string message; // its message when !ok
};

// A step as the command line gives it, SECONDS:KIND: the seconds as typed, to be taken
// with the editor's checks, and the kind named by stepKindNames. Nothing without a colon
// or for an unknown kind.
struct StepText {
    std::string seconds;
    StepKind kind = StepKind::noTransmit;
};
std::optional<StepText> parseStepText(std::string_view text);

// One length as its field holds it, with the form's messages. A non-integer leaves seconds
// unchanged; an out-of-range integer is stored and reported.
StepLengthCheck takeStepSeconds(std::string_view text, int& seconds);
// Takes the six lengths in step order, stopping at the first failure: the steps before it
// keep their new lengths, the ones after it their old ones.
StepLengthCheck takeStepLengths(const std::function<std::string(int step)>& textOf, TransmitSteps& steps);
// Every length to its nearest multiple of ten seconds.
void roundStepLengths(TransmitSteps& steps);
