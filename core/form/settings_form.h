#pragma once
// The settings form's rules, free of any toolkit: the exchange order, the checks and
// their messages, the step-length rounding and the enabling rules. The window and the
// command line both take the operator's values through these.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/formats/cw_message.h"
#include "core/timer_settings.h"

enum class FormField {
    transmitterCount,
    stepLength,
    startupDelay,
    cycleId,
    transmitMode,
    audioMode,
    soundEffect,
    cwText,
    autoShutdown,
    toneFrequency,
    keyed,
    autoId,
    cwSpeed,
    outputLevel,
    tableLength,
    recoveryBeaconDelay,
};

inline constexpr std::array<FormField, 16> formExchangeOrder{
    FormField::transmitterCount,
    FormField::stepLength,
    FormField::startupDelay,
    FormField::cycleId,
    FormField::transmitMode,
    FormField::audioMode,
    FormField::soundEffect,
    FormField::cwText,
    FormField::autoShutdown,
    FormField::toneFrequency,
    FormField::keyed,
    FormField::autoId,
    FormField::cwSpeed,
    FormField::outputLevel,
    FormField::tableLength,
    FormField::recoveryBeaconDelay,
};

namespace FormText {
inline constexpr std::string_view notAnInteger = "Please enter an integer.";
inline constexpr std::string_view integerRange = "Please enter an integer between %1 and %2.";
inline constexpr std::string_view tooManyCharacters = "Please enter no more than %1 characters.";
} // namespace FormText

struct IntRange {
    int min;
    int max;
};

// The TimerSettings member name of a field ("transmitterCount").
std::string_view formFieldKey(FormField field);
std::optional<FormField> formFieldFromKey(std::string_view key);
// Range checked when the form is read. Radio groups, the list and check boxes have the
// range of their indexes (a check box 0..1). Not used for cwText.
IntRange formFieldRange(FormField field);

// Nothing for a decimal integer within range; otherwise the form's message: the range for a
// number out of it (a number too long for an int too), "Please enter an integer." for text.
std::optional<std::string> integerProblem(std::string_view text, IntRange range);

// "%1"/"%2" replaced by the numbers.
std::string formatRangeMessage(int min, int max);
std::string formatLengthMessage(int max);

struct FormCheck {
    bool ok = true;
    FormField field = FormField::transmitterCount; // the failing field when !ok
    std::string message;                           // its message when !ok
};

// Takes one field, given as the text of its control (indexes and check boxes as
// decimal numbers), into settings with the form's checks. A non-integer leaves the field
// unchanged; an out-of-range integer or a too-long text is stored and reported. The table
// length is shown only: it is never taken and never fails.
FormCheck takeFormField(FormField field, std::string_view text, TimerSettings& settings);
// Takes every field in the exchange order, stopping at the first failure: the fields
// before it keep their new values, the ones after it their old ones.
FormCheck takeForm(const std::function<std::string(FormField)>& textOf, TimerSettings& settings);
// The text a control shows for a field (indexes and flags as decimal numbers).
std::string formFieldText(FormField field, const TimerSettings& settings);

// The CW text takes the characters the timer can key, one byte each: printable Latin-1,
// no control characters. Letters become capitals as they are typed.
bool cwCharacterAllowed(char32_t c);
char32_t cwCapital(char32_t c);

// The step length as rounded when its field is left: nearest ten, at least 10.
int roundStepLength(int stepLength);

// The enabling rules, from the field values (not the controls).
struct TransmitModeEnables {
    bool cycleControls;  // the three cycle edits and their labels
    bool sequenceButton; // "Edit Sequence" of Controller Settings
};
struct AudioModeEnables {
    bool toneFrequency;
    bool cwText;
    bool cwControls; // speed label/edit/WPM, "Keyed", "Auto-ID (MOx)"
    bool soundEffect;
    bool loadSound; // "Load Sound ", "Table length" label and field
    bool toneSequenceButton;
    bool loadRingtone;
    bool outputLevel; // label and both radio buttons
};
TransmitModeEnables transmitModeEnables(const TimerSettings& settings);
AudioModeEnables audioModeEnables(const TimerSettings& settings);
bool recoveryBeaconEnabled(const TimerSettings& settings);
