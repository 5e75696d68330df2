#pragma once
// The one table of the settings a timer holds and a setup can carry: each setting's key (the
// TimerSettings field, the settings text's and the setup file's key), the form's label, its
// check, where the timer keeps it and whose it is. The form exchange, the settings text,
// setup files, the setup write and its verify messages all read it; nothing else lists keys.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/form/settings_form.h"

// Whose value a setting is, which decides what a setup carries.
enum class SettingKind {
    event,    // the same for every timer of an event: modes, step length, tone, levels ...
    fox,      // different for each fox: its cycle ID and CW text
    timerOwn, // the unit's own: its oscillator trim (its calibration), the sample it holds
};

// Where the timer keeps a setting, each written by its own operation.
enum class SettingPlace {
    configBlock,      // the configuration block at 0
    cwBlock,          // the CW message at 32
    soundLength,      // the sample length at 13, written by the sound upload
    transmitSequence, // the step table at 16
    toneSequence,     // the tone table at 64
    ringtone,         // the melody at 128, beyond what the timer sends back
    soundMemory,      // the sample in the external memory
    formOnly,         // the sound effect choice: a form field the timer does not keep
};

// How a value is written in text.
enum class SettingValue {
    number, // a decimal integer within range
    names,  // one of names (or its number, as older files wrote it)
    flag,   // 0 or 1
    text,   // the CW text
    table,  // a block with an editor of its own; an empty value leaves it not set
    melody, // the RTTTL line of a ringtone file
    path,   // a file, relative to the setup's folder
};

struct SettingRow {
    std::string_view key;
    std::string_view label; // the form's words
    SettingPlace place;
    std::uint8_t address; // the first cell in the parameter memory (0 where it has none)
    SettingValue value;
    IntRange range;                          // numbers; for a text its longest length
    std::span<const std::string_view> names; // the value names of a mode, in number order
    SettingKind kind;
    std::optional<FormField> field; // the form field that shows it
};

// Every setting, in the settings text's order: the form's fields in the exchange order, then
// the timer's trim, the two tables and a setup's ringtone and sound.
std::span<const SettingRow> settingsTable();
const SettingRow* findSetting(std::string_view key);
const SettingRow& settingOf(FormField field);

// Printed by `read` and taken by `write`: every setting the timer keeps (not a form-only
// one, not a setup's own keys).
bool inSettingsText(const SettingRow& row);
// A setup file's own keys beyond the settings text: the ringtone and the sound, which the
// timer does not send back.
bool inSetupOnly(const SettingRow& row);
// A mode's value names: a name as its number in text, a number with a name as the name.
// Anything else stays as it is, for the form's check to refuse.
std::string modeNumberText(const SettingRow& row, std::string_view value);
std::string modeNameText(const SettingRow& row, std::string_view number);
// "takes continuous, cycled or sequenced": what a mode accepts, for a refused name.
std::string acceptedNames(const SettingRow& row);
