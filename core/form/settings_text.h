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
    int line = 0; // its line in a file; 0 for one given on the command line
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
// UTF-8 into the timer's one-byte characters, a mode by its name. The settings the
// configuration write does not write (table length, transmit and tone sequence) are checked
// and left alone; the trim is taken. Nothing on success; otherwise "key: " and the message of
// the first failing check, with settings partly updated.
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
    // The timer's own settings the text gave (a file from `read` holds them), passed over:
    // a setup never carries them.
    std::vector<std::string> passedOver;
};

// The setup file's text: the settings text without the timer's own settings, then the
// ringtone and sound file keys. A sound file within directory (the setup file's folder) is
// written relative to it.
std::string formatSetupText(const TimerSetup& setup, std::string_view directory);
// The numbered lines of a setup or settings file, each key known and given once; a bad line
// is refused as "line N: ...".
std::optional<std::vector<SettingsAssignment>> parseSetupLines(std::string_view content, std::string& error);
// Lays lines over setup, in order, so that a later line (a fox's over its event's, the
// command line's over a file's) overrides an earlier one. Every value goes through the
// checks of the form; a relative sound file is taken from directory; the timer's own
// settings are checked and passed over. Nothing on success; otherwise the first refusal as
// "line N: key: ..." ("key: ..." for a line from the command line).
std::optional<std::string> applySetupLines(const std::vector<SettingsAssignment>& lines,
                                           std::string_view directory, TimerSetup& setup);
// Reads a setup file over the start values of base: parseSetupLines, then applySetupLines.
std::optional<TimerSetup> parseSetupText(std::string_view content, std::string_view directory,
                                         const TimerSettings& base, std::string& error);

// Save Setup's rule: the form's values, each table only where draft has it set (the operator
// edited it, the opened setup held it, or the timer read holds it), and draft's ringtone and
// sound. Nothing that only a remembered value of an earlier run holds.
TimerSetup setupToSave(const TimerSetup& draft, const TimerSettings& form);
// The tables of a timer just read count as set in draft where the timer holds them.
void takeTimerTables(TimerSetup& draft, const TimerSettings& read);
// True when the form shows every value of setup (the tables it sets included).
bool formHoldsSetup(const TimerSettings& form, const TimerSetup& setup);
// A setting's value as the settings text writes it.
struct SettingRow;
std::string settingValueText(const SettingRow& row, const TimerSettings& settings);
// The block the setup's ringtone encodes to; nothing without a ringtone or for one the
// timer cannot play.
std::optional<RingtoneMelody> setupRingtoneMelody(const TimerSetup& setup);
