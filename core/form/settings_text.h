#pragma once
// A timer's settings as text: one key=value line for each setting the timer holds, keys
// named after the TimerSettings fields, flags as 0 or 1, the CW text in UTF-8.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/timer_settings.h"

struct SettingsAssignment {
    std::string key;
    std::string value;
};

// Every line that `read` prints, in order, each ending with a line break. A CW character the
// timer cannot key is printed as U+FFFD, which a write refuses.
std::string formatSettingsText(const TimerSettings& settings);

// "key=value" with a known key; nothing (and a usage message in error) otherwise.
std::optional<SettingsAssignment> parseAssignment(std::string_view line, std::string& error);
// The lines of a settings file; blank lines and lines starting with '#' are passed over. A
// bad line is reported with its number and its start.
std::optional<std::vector<SettingsAssignment>> parseSettingsFile(std::string_view content,
                                                                 std::string& error);

// Puts the assignments over settings with the form's checks; the CW text is taken from
// UTF-8 into the timer's one-byte characters. The settings the configuration write does
// not write (table length, transmit and tone sequence) are left alone. Nothing on success;
// otherwise "key: " and the message of the first failing check, with settings partly
// updated.
std::optional<std::string> applySettings(const std::vector<SettingsAssignment>& assignments,
                                         TimerSettings& settings);
