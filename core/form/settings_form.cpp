#include "core/form/settings_form.h"

#include <algorithm>
#include <climits>

#include "core/decimal.h"
#include "core/form/settings_table.h"

namespace {

// Every field but the CW text as the number its control shows: modes and the sound
// effect as indexes, check boxes as 0 or 1.
int fieldValue(FormField field, const TimerSettings& s) {
    switch (field) {
    case FormField::transmitterCount:
        return s.transmitterCount;
    case FormField::stepLength:
        return s.stepLength;
    case FormField::startupDelay:
        return s.startupDelay;
    case FormField::cycleId:
        return s.cycleId;
    case FormField::transmitMode:
        return static_cast<int>(s.transmitMode);
    case FormField::audioMode:
        return static_cast<int>(s.audioMode);
    case FormField::soundEffect:
        return s.soundEffect;
    case FormField::autoShutdown:
        return s.autoShutdown;
    case FormField::toneFrequency:
        return s.toneFrequency;
    case FormField::keyed:
        return s.keyed ? 1 : 0;
    case FormField::autoId:
        return s.autoId ? 1 : 0;
    case FormField::cwSpeed:
        return s.cwSpeed;
    case FormField::outputLevel:
        return static_cast<int>(s.outputLevel);
    case FormField::tableLength:
        return s.tableLength;
    case FormField::recoveryBeaconDelay:
        return s.recoveryBeaconDelay;
    case FormField::cwText:
        break;
    }
    return 0;
}

void setFieldValue(FormField field, TimerSettings& s, int value) {
    switch (field) {
    case FormField::transmitterCount:
        s.transmitterCount = value;
        return;
    case FormField::stepLength:
        s.stepLength = value;
        return;
    case FormField::startupDelay:
        s.startupDelay = value;
        return;
    case FormField::cycleId:
        s.cycleId = value;
        return;
    case FormField::transmitMode:
        s.transmitMode = static_cast<TransmitMode>(value);
        return;
    case FormField::audioMode:
        s.audioMode = static_cast<AudioMode>(value);
        return;
    case FormField::soundEffect:
        s.soundEffect = value;
        return;
    case FormField::autoShutdown:
        s.autoShutdown = value;
        return;
    case FormField::toneFrequency:
        s.toneFrequency = value;
        return;
    case FormField::keyed:
        s.keyed = value != 0;
        return;
    case FormField::autoId:
        s.autoId = value != 0;
        return;
    case FormField::cwSpeed:
        s.cwSpeed = value;
        return;
    case FormField::outputLevel:
        s.outputLevel = static_cast<OutputLevel>(value);
        return;
    case FormField::tableLength:
        s.tableLength = value;
        return;
    case FormField::recoveryBeaconDelay:
        s.recoveryBeaconDelay = value;
        return;
    case FormField::cwText:
        return;
    }
}

std::string replaceAll(std::string_view pattern, std::string_view marker, const std::string& value) {
    std::string text(pattern);
    for (std::size_t pos = text.find(marker); pos != std::string::npos;
         pos = text.find(marker, pos + value.size()))
        text.replace(pos, marker.size(), value);
    return text;
}

// A decimal integer too large for an int: an optional sign, then digits only, blanks around.
bool leadingDigits(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

FormCheck failure(FormField field, std::string message) {
    return FormCheck{false, field, std::move(message)};
}

} // namespace

std::string_view formFieldKey(FormField field) {
    return settingOf(field).key;
}

std::optional<FormField> formFieldFromKey(std::string_view key) {
    const SettingRow* row = findSetting(key);
    return row ? row->field : std::nullopt;
}

IntRange formFieldRange(FormField field) {
    return settingOf(field).range;
}

std::string formatRangeMessage(int min, int max) {
    return replaceAll(replaceAll(FormText::integerRange, "%1", std::to_string(min)), "%2",
                      std::to_string(max));
}

std::string formatLengthMessage(int max) {
    return replaceAll(FormText::tooManyCharacters, "%1", std::to_string(max));
}

std::optional<std::string> integerProblem(std::string_view text, IntRange range) {
    const std::optional<int> value = parseInteger(text);
    if (!value && !leadingDigits(text)) return std::string(FormText::notAnInteger);
    if (!value || *value < range.min || *value > range.max) return formatRangeMessage(range.min, range.max);
    return std::nullopt;
}

FormCheck takeFormField(FormField field, std::string_view text, TimerSettings& settings) {
    // The table length is the timer's own record of its sound sample, in a read-only field:
    // the form shows it and never takes it, so a value out of the form's range (a timer
    // with a damaged length) cannot stop every later reading of the form.
    if (field == FormField::tableLength) return {};
    if (field == FormField::cwText) {
        // The edit stops typing at 31 characters; only a read-back text can be longer,
        // and it stays so the operator can see and shorten it.
        settings.cwText = std::string(text);
        if (settings.cwText.size() > static_cast<std::size_t>(cwTextMaxLength))
            return failure(field, formatLengthMessage(cwTextMaxLength));
        return {};
    }
    const std::optional<int> value = parseInteger(text);
    const IntRange range = formFieldRange(field);
    // A number too long for any field is still a number: it gets the range, and the field
    // keeps its value as it does for what is no number at all.
    if (!value && leadingDigits(text)) return failure(field, formatRangeMessage(range.min, range.max));
    if (!value) return failure(field, std::string(FormText::notAnInteger));
    setFieldValue(field, settings, *value);
    if (*value < range.min || *value > range.max)
        return failure(field, formatRangeMessage(range.min, range.max));
    return {};
}

FormCheck takeForm(const std::function<std::string(FormField)>& textOf, TimerSettings& settings) {
    for (FormField field : formExchangeOrder) {
        FormCheck check = takeFormField(field, textOf(field), settings);
        if (!check.ok) return check;
    }
    return {};
}

std::string formFieldText(FormField field, const TimerSettings& settings) {
    if (field == FormField::cwText) return settings.cwText;
    return std::to_string(fieldValue(field, settings));
}

bool cwCharacterAllowed(char32_t c) {
    return (c >= U' ' && c <= U'~') || (c >= U'\u00A0' && c <= U'\u00FF');
}

char32_t cwCapital(char32_t c) {
    // Latin-1 has the capitals of its small letters 0x20 below them, except for the
    // division sign's place; ß and ÿ have no capital within it.
    if (c >= U'a' && c <= U'z') return c - 0x20;
    if (c >= U'\u00E0' && c <= U'\u00FE' && c != U'\u00F7') return c - 0x20;
    return c;
}

int roundStepLength(int stepLength) {
    const long long tens = (static_cast<long long>(stepLength) + 5) / 10;
    const long long rounded = std::clamp(tens * 10, 10LL, static_cast<long long>(INT_MAX / 10 * 10));
    return static_cast<int>(rounded);
}

TransmitModeEnables transmitModeEnables(const TimerSettings& settings) {
    return {settings.transmitMode == TransmitMode::cycled, settings.transmitMode == TransmitMode::sequenced};
}

AudioModeEnables audioModeEnables(const TimerSettings& settings) {
    const AudioMode mode = settings.audioMode;
    AudioModeEnables e{};
    e.toneFrequency = mode == AudioMode::singleTone || mode == AudioMode::cwMessage;
    e.cwText = mode == AudioMode::cwMessage && !settings.autoId;
    e.cwControls = mode == AudioMode::cwMessage;
    e.soundEffect = mode == AudioMode::soundEffect;
    e.loadSound = mode == AudioMode::waveFile;
    e.toneSequenceButton = mode == AudioMode::toneSequence;
    e.loadRingtone = mode == AudioMode::ringtone;
    e.outputLevel = mode != AudioMode::soundEffect && mode != AudioMode::waveFile;
    return e;
}

bool recoveryBeaconEnabled(const TimerSettings& settings) {
    return settings.autoShutdown != 0;
}
