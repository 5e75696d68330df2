#include "core/form/settings_form.h"

#include <algorithm>
#include <climits>

#include "core/decimal.h"

namespace {

struct FieldInfo {
    FormField field;
    std::string_view key;
    IntRange range;
};

// The ranges of radio groups, the list and the check boxes are those of their indexes.
constexpr std::array<FieldInfo, 16> fieldInfo{{
    {FormField::transmitterCount, "transmitterCount", {1, 10}},
    {FormField::stepLength, "stepLength", {1, 600}},
    {FormField::startupDelay, "startupDelay", {0, 255}},
    {FormField::cycleId, "cycleId", {1, 10}},
    {FormField::transmitMode, "transmitMode", {0, 2}},
    {FormField::audioMode, "audioMode", {0, 5}},
    {FormField::soundEffect, "soundEffect", {0, 1}},
    {FormField::cwText, "cwText", {0, cwTextMaxLength}},
    {FormField::autoShutdown, "autoShutdown", {0, 255}},
    {FormField::toneFrequency, "toneFrequency", {50, 3000}},
    {FormField::keyed, "keyed", {0, 1}},
    {FormField::autoId, "autoId", {0, 1}},
    {FormField::cwSpeed, "cwSpeed", {5, 30}},
    {FormField::outputLevel, "outputLevel", {0, 1}},
    {FormField::tableLength, "tableLength", {0, 131071}},
    {FormField::recoveryBeaconDelay, "recoveryBeaconDelay", {0, 255}},
}};

const FieldInfo& infoOf(FormField field) {
    return fieldInfo[static_cast<std::size_t>(field)];
}

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

FormCheck failure(FormField field, std::string message) {
    return FormCheck{false, field, std::move(message)};
}

} // namespace

std::string_view formFieldKey(FormField field) {
    return infoOf(field).key;
}

std::optional<FormField> formFieldFromKey(std::string_view key) {
    for (const FieldInfo& info : fieldInfo)
        if (info.key == key) return info.field;
    return std::nullopt;
}

IntRange formFieldRange(FormField field) {
    return infoOf(field).range;
}

std::string formatRangeMessage(int min, int max) {
    return replaceAll(replaceAll(FormText::integerRange, "%1", std::to_string(min)), "%2",
                      std::to_string(max));
}

std::string formatLengthMessage(int max) {
    return replaceAll(FormText::tooManyCharacters, "%1", std::to_string(max));
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
    if (!value) return failure(field, std::string(FormText::notAnInteger));
    setFieldValue(field, settings, *value);
    const IntRange range = formFieldRange(field);
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
