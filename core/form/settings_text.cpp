#include "core/form/settings_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>

#include "core/decimal.h"
#include "core/form/settings_form.h"
#include "core/form/settings_table.h"
#include "core/formats/tone_sequence.h"
#include "core/formats/transmit_sequence.h"
#include "core/formats/utf8.h"
#include "core/formats/utf8_path.h"

namespace {

constexpr std::string_view timerComment = setupTimerComment;
constexpr std::string_view savedComment = "# saved: ";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

namespace SettingsTextError {
constexpr std::string_view notAnAssignment = "expected key=value: ";
constexpr std::string_view unknownKey = "unknown setting: ";
constexpr std::string_view notStored = "the timer does not store ";
constexpr std::string_view line = "line ";
constexpr std::string_view notUtf8 = "not UTF-8 text";
constexpr std::string_view notKeyable = "the timer keys printable Latin-1 characters only, not ";
constexpr std::string_view givenTwice = " given twice, first on line ";
constexpr std::string_view badTable = "takes 32 hexadecimal digits";
constexpr std::string_view tooFewTones = "needs at least two tones, the first of some length";
constexpr std::string_view notPlayable = "not a melody the timer can play";
constexpr std::string_view notAFlag = "takes 0 or 1";
constexpr std::string_view notAName = ", not ";
} // namespace SettingsTextError

// A line of a file can be anything, a whole binary file even: it is shown cut short, on one
// line of its own.
constexpr std::size_t quotedCharacters = 80;
// U+FFFD in UTF-8.
constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

const SettingRow* row(std::string_view key) {
    return findSetting(key);
}

bool isTable(std::string_view key) {
    const SettingRow* r = row(key);
    return r && r->value == SettingValue::table;
}

bool isSetupKey(std::string_view key) {
    const SettingRow* r = row(key);
    return r && inSetupOnly(*r);
}

// The tone sequence text of a tone table whose cells were never written, at either clock.
bool erasedToneSequence(const std::string& text) {
    std::array<std::uint8_t, TimerMemoryMap::toneSequenceLength> erased{};
    erased.fill(TimerMemoryMap::erasedByte);
    return !text.empty() && (text == formatToneSequenceText(erased.data(), TimerClock::model684Hz) ||
                             text == formatToneSequenceText(erased.data(), TimerClock::model628AHz));
}

// A line from the command line (number 0) is named by its key alone.
std::string lineError(int number, std::string_view message) {
    if (number == 0) return std::string(message);
    return std::string(SettingsTextError::line) + std::to_string(number) + ": " + std::string(message);
}

// The lines of a file with their numbers: comments, blank lines and a byte order mark passed
// over, each key at most once.
std::optional<std::vector<SettingsAssignment>> parseLines(std::string_view content, std::string& error) {
    if (content.substr(0, byteOrderMark.size()) == byteOrderMark) content.remove_prefix(byteOrderMark.size());
    std::vector<SettingsAssignment> assignments;
    std::map<std::string, int, std::less<>> seen;
    for (int number = 1; !content.empty(); ++number) {
        const auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (std::all_of(line.begin(), line.end(), isBlank) || line.front() == '#') continue;
        std::optional<SettingsAssignment> assignment;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto equals = line.find('=');
        if (equals != std::string_view::npos && isSetupKey(line.substr(0, equals)))
            assignment =
                SettingsAssignment{std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))};
        else
            assignment = parseAssignment(line, error);
        if (!assignment) {
            error = lineError(number, error);
            return std::nullopt;
        }
        if (const auto first = seen.find(assignment->key); first != seen.end()) {
            error = lineError(number, assignment->key + std::string(SettingsTextError::givenTwice) +
                                          std::to_string(first->second));
            return std::nullopt;
        }
        seen.emplace(assignment->key, number);
        assignment->line = number;
        assignments.push_back(std::move(*assignment));
    }
    return assignments;
}

// "name:defaults:notes" as the timer's block, the tempo and staccato given apart.
std::optional<RingtoneMelody> encodeRingtoneLine(std::string_view line, std::optional<int> beatsPerMinute,
                                                 bool staccato) {
    const auto first = line.find(':');
    const auto second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    RingtoneDefaults defaults = parseRingtoneDefaults(line.substr(first + 1, second - first - 1), {});
    if (beatsPerMinute) defaults.beatsPerMinute = *beatsPerMinute;
    const RingtoneEncoding encoding = encodeRingtone(line.substr(second + 1), defaults, staccato);
    if (!encoding.encoded()) return std::nullopt;
    return encoding.melody;
}

std::string hexBytes(const std::array<std::uint8_t, 16>& bytes) {
    std::string text;
    char pair[3];
    for (auto b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
    }
    return text;
}

// In quotes, at most 80 characters of UTF-8 text, control characters shown as '?'.
std::string quotedText(std::string_view text) {
    std::string shown = "\"";
    std::size_t characters = 0;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool continuation = (byte & 0xC0) == 0x80;
        if (!continuation && ++characters > quotedCharacters) break;
        shown += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
    shown += '"';
    if (characters > quotedCharacters) shown += "...";
    return shown;
}

// The CW text as read prints it: a character the timer cannot key (a control character,
// which only a foreign or garbled memory holds) is printed as U+FFFD, so that a line break
// in the block can neither end the line nor start a setting of its own, and a write from
// the file refuses the text instead of taking another one.
std::string printedCwText(std::string_view latin1) {
    std::string text;
    for (char c : latin1) {
        if (cwCharacterAllowed(static_cast<unsigned char>(c)))
            text += latin1ToUtf8(std::string_view(&c, 1));
        else
            text += replacementCharacter;
    }
    return text;
}

std::string keyed(std::string_view key, std::string_view message) {
    return std::string(key) + ": " + std::string(message);
}

std::string codePoint(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// The console's CW text: UTF-8 in, the timer's one-byte characters out, letters as capitals
// as the window's CW edit makes them. Nothing, and the reason in problem, for a character
// the window would not take.
std::optional<std::string> cwTextFromUtf8(std::string_view value, std::string& problem) {
    const std::optional<std::u32string> characters = decodeUtf8(value);
    if (!characters) {
        problem = SettingsTextError::notUtf8;
        return std::nullopt;
    }
    std::string text;
    for (char32_t c : *characters) {
        if (!cwCharacterAllowed(c)) {
            problem = std::string(SettingsTextError::notKeyable) + codePoint(c);
            return std::nullopt;
        }
        text += static_cast<char>(cwCapital(c));
    }
    return text;
}

// The setting's value as text: a number, a mode's name, the printable CW text, a table.
std::string valueText(const SettingRow& r, const TimerSettings& settings) {
    if (r.field) {
        std::string value = formFieldText(*r.field, settings);
        if (r.value == SettingValue::text) return printedCwText(value);
        if (r.value == SettingValue::names) return modeNameText(r, value);
        return value;
    }
    if (r.place == SettingPlace::configBlock) return std::to_string(settings.oscillatorTune);
    if (r.place == SettingPlace::transmitSequence) {
        const bool erased = std::all_of(settings.transmitSequence.begin(), settings.transmitSequence.end(),
                                        [](std::uint8_t b) { return b == TimerMemoryMap::erasedByte; });
        return erased ? std::string() : hexBytes(settings.transmitSequence);
    }
    if (r.place == SettingPlace::toneSequence)
        return erasedToneSequence(settings.toneSequenceText) ? std::string() : settings.toneSequenceText;
    return {};
}

std::string settingsLines(const TimerSettings& settings, bool withTimerOwn) {
    std::string text;
    for (const SettingRow& r : settingsTable()) {
        if (!inSettingsText(r) || (!withTimerOwn && r.kind == SettingKind::timerOwn)) continue;
        text.append(r.key).append("=").append(valueText(r, settings)).append("\n");
    }
    return text;
}

} // namespace

std::string settingValueText(const SettingRow& r, const TimerSettings& settings) {
    return valueText(r, settings);
}

std::string formatSettingsText(const TimerSettings& settings) {
    return settingsLines(settings, true);
}

std::optional<SettingsAssignment> parseAssignment(std::string_view line, std::string& error) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        error = std::string(SettingsTextError::notAnAssignment) + quotedText(line);
        return std::nullopt;
    }
    SettingsAssignment assignment{std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))};
    const SettingRow* r = row(assignment.key);
    if (!r || !inSettingsText(*r)) {
        error = std::string(r && r->field ? SettingsTextError::notStored : SettingsTextError::unknownKey) +
                quotedText(assignment.key);
        return std::nullopt;
    }
    return assignment;
}

std::optional<std::vector<SettingsAssignment>> parseSettingsFile(std::string_view content,
                                                                 std::string& error) {
    auto lines = parseLines(content, error);
    if (!lines) return std::nullopt;
    std::vector<SettingsAssignment> assignments;
    for (auto& assignment : *lines) {
        // The ringtone and the sound are a setup's, read by applySetupLines.
        if (isSetupKey(assignment.key) || (isTable(assignment.key) && assignment.value.empty())) continue;
        assignments.push_back(std::move(assignment));
    }
    return assignments;
}

std::optional<std::string> applySettings(const std::vector<SettingsAssignment>& assignments,
                                         TimerSettings& settings) {
    std::map<FormField, std::string> texts;
    for (FormField field : formExchangeOrder)
        texts[field] = formFieldText(field, settings);
    std::optional<std::string> tune;
    for (const auto& assignment : assignments) {
        const auto& [key, value, line] = assignment;
        const SettingRow* r = row(key);
        if (!r || r->value == SettingValue::table || inSetupOnly(*r)) continue;
        if (!r->field) {
            tune = value; // the trim, the one setting beyond the form
        } else if (r->kind == SettingKind::timerOwn) {
            // The table length: written by a sound upload only, but no value is taken blind.
            if (auto problem = integerProblem(value, r->range)) return keyed(key, *problem);
        } else if (r->value == SettingValue::names) {
            texts[*r->field] = modeNumberText(*r, value);
            if (!parseInteger(texts[*r->field]))
                return keyed(key, acceptedNames(*r) + std::string(SettingsTextError::notAName) +
                                      quotedText(value));
        } else if (r->value == SettingValue::text) {
            std::string problem;
            std::optional<std::string> cwText = cwTextFromUtf8(value, problem);
            if (!cwText) return keyed(key, problem);
            texts[*r->field] = std::move(*cwText);
        } else {
            texts[*r->field] = value;
        }
    }
    const FormCheck check = takeForm([&texts](FormField field) { return texts[field]; }, settings);
    if (!check.ok) return keyed(formFieldKey(check.field), check.message);
    if (tune) {
        const SettingRow& trim = *row("oscillatorTune");
        if (auto problem = integerProblem(*tune, trim.range)) return keyed(trim.key, *problem);
        settings.oscillatorTune = static_cast<std::int8_t>(*parseInteger(*tune));
    }
    return std::nullopt;
}

std::string formatSetupText(const TimerSetup& setup, std::string_view directory) {
    std::string text;
    if (!setup.timer.empty()) text.append(timerComment).append(setup.timer).append("\n");
    if (!setup.saved.empty()) text.append(savedComment).append(setup.saved).append("\n");
    TimerSettings settings = setup.settings;
    // Not set: printed empty, whatever the settings hold.
    if (!setup.transmitSequenceSet) settings.transmitSequence.fill(TimerMemoryMap::erasedByte);
    if (!setup.toneSequenceSet) settings.toneSequenceText.clear();
    text += settingsLines(settings, false);
    std::string soundFile = setup.soundFile;
    if (!soundFile.empty() && !directory.empty()) {
        const std::filesystem::path relative = utf8Path(soundFile).lexically_relative(utf8Path(directory));
        if (!relative.empty() && *relative.begin() != "..") soundFile = utf8Name(relative);
    }
    for (const SettingRow& r : settingsTable()) {
        if (!inSetupOnly(r)) continue;
        std::string value;
        if (r.value == SettingValue::path)
            value = soundFile;
        else if (r.value == SettingValue::melody)
            value = setup.ringtone;
        else if (r.value == SettingValue::flag)
            value = setup.ringtoneStaccato ? "1" : "0";
        else if (setup.ringtoneBeatsPerMinute)
            value = std::to_string(*setup.ringtoneBeatsPerMinute);
        text.append(r.key).append("=").append(value).append("\n");
    }
    return text;
}

std::optional<std::vector<SettingsAssignment>> parseSetupLines(std::string_view content, std::string& error) {
    return parseLines(content, error);
}

std::optional<std::string> applySetupLines(const std::vector<SettingsAssignment>& lines,
                                           std::string_view directory, TimerSetup& setup) {
    std::vector<SettingsAssignment> form;
    const auto refuse = [](int number, std::string_view key, std::string_view message) {
        return std::optional<std::string>(lineError(number, keyed(key, message)));
    };
    const SettingsAssignment* ringtoneLine = nullptr;
    for (const SettingsAssignment& assignment : lines) {
        const auto& [key, value, number] = assignment;
        const SettingRow* r = row(key);
        if (!r) return refuse(number, key, SettingsTextError::unknownKey);
        if (r->kind == SettingKind::timerOwn) {
            if (auto problem = integerProblem(value, r->range)) return refuse(number, key, *problem);
            if (std::find(setup.passedOver.begin(), setup.passedOver.end(), key) == setup.passedOver.end())
                setup.passedOver.push_back(key);
        } else if (r->place == SettingPlace::transmitSequence) {
            setup.transmitSequenceSet = !value.empty();
            if (value.empty()) continue;
            const std::optional<TransmitSequence> table = parseTransmitSequenceHex(value);
            if (!table) return refuse(number, key, SettingsTextError::badTable);
            setup.settings.transmitSequence = *table;
        } else if (r->place == SettingPlace::toneSequence) {
            setup.toneSequenceSet = !std::all_of(value.begin(), value.end(), isBlank);
            if (!setup.toneSequenceSet) continue;
            // The clock changes the units, not the count of tones.
            const ParsedToneSequence tones = parseToneSequenceText(value, TimerClock::model684Hz);
            if (tones.pairCount < 2 || tones.entries[0].duration == 0)
                return refuse(number, key, SettingsTextError::tooFewTones);
            setup.settings.toneSequenceText = value;
        } else if (r->value == SettingValue::path) {
            const std::filesystem::path path = utf8Path(value);
            setup.soundFile = value.empty() || path.is_absolute()
                                  ? value
                                  : utf8Name((utf8Path(directory) / path).lexically_normal());
        } else if (r->value == SettingValue::melody) {
            setup.ringtone = value;
            ringtoneLine = &assignment;
        } else if (r->place == SettingPlace::ringtone && r->value == SettingValue::flag) {
            if (value != "0" && value != "1") return refuse(number, key, SettingsTextError::notAFlag);
            setup.ringtoneStaccato = value == "1";
        } else if (r->place == SettingPlace::ringtone) {
            setup.ringtoneBeatsPerMinute.reset();
            if (value.empty()) continue;
            if (auto problem = integerProblem(value, r->range)) return refuse(number, key, *problem);
            setup.ringtoneBeatsPerMinute = parseInteger(value);
        } else {
            form.push_back(assignment);
        }
    }
    if (!setup.ringtone.empty() && !setupRingtoneMelody(setup))
        return refuse(ringtoneLine ? ringtoneLine->line : 0, "ringtone", SettingsTextError::notPlayable);
    if (const std::optional<std::string> failure = applySettings(form, setup.settings)) {
        // "key: message", named by the line that last gave its key.
        const std::string key = failure->substr(0, failure->find(':'));
        const auto at = std::find_if(form.rbegin(), form.rend(),
                                     [&key](const SettingsAssignment& a) { return a.key == key; });
        return at == form.rend() ? *failure : lineError(at->line, *failure);
    }
    return std::nullopt;
}

std::optional<TimerSetup> parseSetupText(std::string_view content, std::string_view directory,
                                         const TimerSettings& base, std::string& error) {
    const auto lines = parseLines(content, error);
    if (!lines) return std::nullopt;
    TimerSetup setup;
    setup.settings = base;
    // The record of where the setup came from, kept for the next save.
    for (std::string_view rest = content; !rest.empty();) {
        const std::string_view line = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(std::min(rest.size(), line.size() + 1));
        if (line.substr(0, timerComment.size()) == timerComment)
            setup.timer = line.substr(timerComment.size());
        if (line.substr(0, savedComment.size()) == savedComment)
            setup.saved = line.substr(savedComment.size());
    }
    if (auto failure = applySetupLines(*lines, directory, setup)) {
        error = *failure;
        return std::nullopt;
    }
    return setup;
}

std::optional<RingtoneMelody> setupRingtoneMelody(const TimerSetup& setup) {
    if (setup.ringtone.empty()) return std::nullopt;
    return encodeRingtoneLine(setup.ringtone, setup.ringtoneBeatsPerMinute, setup.ringtoneStaccato);
}

TimerSetup setupToSave(const TimerSetup& draft, const TimerSettings& form) {
    TimerSetup setup = draft;
    // The form holds the tables as last edited, opened or read; the draft says which are set.
    setup.settings = form;
    setup.passedOver.clear();
    return setup;
}

void takeTimerTables(TimerSetup& draft, const TimerSettings& read) {
    draft.transmitSequenceSet =
        draft.transmitSequenceSet || !valueText(*row("transmitSequence"), read).empty();
    draft.toneSequenceSet = draft.toneSequenceSet || !valueText(*row("toneSequenceText"), read).empty();
}

bool formHoldsSetup(const TimerSettings& form, const TimerSetup& setup) {
    return std::all_of(settingsTable().begin(), settingsTable().end(), [&](const SettingRow& r) {
        if (!inSettingsText(r) || r.kind == SettingKind::timerOwn) return true;
        if (r.place == SettingPlace::transmitSequence && !setup.transmitSequenceSet) return true;
        if (r.place == SettingPlace::toneSequence && !setup.toneSequenceSet) return true;
        return valueText(r, form) == valueText(r, setup.settings);
    });
}
