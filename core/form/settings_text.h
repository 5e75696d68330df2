#pragma once
// A timer's settings as text: one key=value line for each setting the timer holds, keys
// named after the TimerSettings fields, modes by name, flags as 0 or 1, the CW text in UTF-8.
// Grown by the keys a whole timer needs beyond its image, the same text is a setup file
// (".tavofox") that the window and tavofoxctl both open and save.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/formats/ringtone.h"
#include "core/timer_settings.h"

struct SettingsAssignment {
    std::string key;
    std::string value;
};

// Every line that `read` prints, in order, each ending with a line break. A CW character the
// timer cannot key is printed as U+FFFD, which a write refuses. A step table or tone
// sequence the timer never had written (erased cells) is "not set": its key is printed
// empty, and a file gives nothing for it.
std::string formatSettingsText(const TimerSettings& settings);

// "key=value" with a known key; nothing (and a usage message in error) otherwise.
std::optional<SettingsAssignment> parseAssignment(std::string_view line, std::string& error);
// The lines of a settings file; blank lines and lines starting with '#' are passed over, and
// so is a byte order mark before the first line. A bad line, an unknown key and a key given
// twice are reported with their line numbers. An empty step table or tone sequence is not
// set and gives no assignment; the keys of a whole setup (ringtone, sound file) give none
// either: parseSetupExtras takes them.
std::optional<std::vector<SettingsAssignment>> parseSettingsFile(std::string_view content,
                                                                 std::string& error);

// Puts the assignments over settings with the form's checks; the CW text is taken from
// UTF-8 into the timer's one-byte characters. The settings the configuration write does
// not write (table length, transmit and tone sequence) are left alone. Nothing on success;
// otherwise "key: " and the message of the first failing check, with settings partly
// updated.
std::optional<std::string> applySettings(const std::vector<SettingsAssignment>& assignments,
                                         TimerSettings& settings);

inline constexpr std::string_view setupFileExtension = "tavofox";
// The comment that records the timer a setup came from.
inline constexpr std::string_view setupTimerComment = "# timer: ";

// Everything a timer is programmed with, as a setup file holds it.
struct TimerSetup {
    // The form's values, the step table and the tone sequence text.
    TimerSettings settings;
    // False when the file leaves the block "not set": nothing is written for it.
    bool transmitSequenceSet = false;
    bool toneSequenceSet = false;
    std::string ringtone;                      // the RTTTL line; empty: none
    std::optional<int> ringtoneBeatsPerMinute; // nothing: the line's own tempo
    bool ringtoneStaccato = true;
    std::string soundFile; // a full path; empty: none
    // The timer it was saved from ("684, 8 MHz, 64 KiB, firmware 2.1") and when; empty when
    // it was saved from the form alone. Comments: read back for the record only.
    std::string timer;
    std::string saved;
};

// The setup file's text: the settings text, then the ringtone and sound file keys. A sound
// file within directory (the setup file's folder) is written relative to it.
std::string formatSetupText(const TimerSetup& setup, std::string_view directory);
// Reads a setup file over the start values of base. Every value goes through the checks of
// the form; the first refusal is reported in error as "line N: ...". A relative sound file
// is taken from directory.
std::optional<TimerSetup> parseSetupText(std::string_view content, std::string_view directory,
                                         const TimerSettings& base, std::string& error);
// Only what a setup adds to the settings text (the ringtone, the sound file, the not-set
// blocks and the timer record), checked with the line named as parseSetupText does; the
// form's values are left to parseSettingsFile and applySettings.
std::optional<TimerSetup> parseSetupExtras(std::string_view content, std::string_view directory,
                                           std::string& error);
// The block the setup's ringtone encodes to; nothing without a ringtone or for one the
// timer cannot play.
std::optional<RingtoneMelody> setupRingtoneMelody(const TimerSetup& setup);
