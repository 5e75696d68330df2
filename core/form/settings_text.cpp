#include "core/form/settings_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>

#include "core/decimal.h"
#include "core/form/settings_form.h"
#include "core/formats/tone_sequence.h"
#include "core/formats/transmit_sequence.h"
#include "core/formats/utf8.h"
#include "core/formats/utf8_path.h"

namespace {

constexpr std::string_view oscillatorTuneKey = "oscillatorTune";
constexpr std::string_view transmitSequenceKey = "transmitSequence";
constexpr std::string_view toneSequenceTextKey = "toneSequenceText";
constexpr IntRange oscillatorTuneRange{-16, 15};
// The keys of a setup file beyond the settings text.
constexpr std::string_view ringtoneKey = "ringtone";
constexpr std::string_view ringtoneTempoKey = "ringtoneBeatsPerMinute";
constexpr std::string_view ringtoneStaccatoKey = "ringtoneStaccato";
constexpr std::string_view soundFileKey = "soundFile";
constexpr std::array<std::string_view, 4> setupOnlyKeys{ringtoneKey, ringtoneTempoKey, ringtoneStaccatoKey,
                                                        soundFileKey};
// The ringtone editor's tempo range.
constexpr IntRange ringtoneTempoRange{25, 600};
constexpr std::string_view timerComment = setupTimerComment;
constexpr std::string_view savedComment = "# saved: ";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::array<std::string_view, 3> transmitModeNames{"continuous", "cycled", "sequenced"};
// The audio modes in form order, named as the step kinds of the same sound.
constexpr std::array<std::string_view, 6> audioModeNames{stepKindNames[2], stepKindNames[4],
                                                         stepKindNames[5], stepKindNames[3],
                                                         stepKindNames[1], stepKindNames[6]};

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
} // namespace SettingsTextError

// A line of a file can be anything, a whole binary file even: it is shown cut short, on one
// line of its own.
constexpr std::size_t quotedCharacters = 80;
// U+FFFD in UTF-8.
constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// Form fields the timer keeps in its configuration image (the sound effect choice is not).
bool imageBacked(FormField field) {
    return field != FormField::soundEffect;
}

// Written by operations of their own, never by the configuration write.
bool leftAlone(std::string_view key) {
    return key == transmitSequenceKey || key == toneSequenceTextKey ||
           key == formFieldKey(FormField::tableLength);
}

bool setupOnly(std::string_view key) {
    return std::find(setupOnlyKeys.begin(), setupOnlyKeys.end(), key) != setupOnlyKeys.end();
}

// The keys read prints. The sound effect choice is a form field that the timer does not
// keep: taking it would report a write that never happens.
bool knownKey(std::string_view key) {
    const std::optional<FormField> field = formFieldFromKey(key);
    return (field && imageBacked(*field)) || key == oscillatorTuneKey || leftAlone(key);
}

// A mode's name as its number in the form; anything else as it stands, for the form's check.
template <std::size_t N>
std::string modeNumber(const std::array<std::string_view, N>& names, const std::string& value) {
    const auto named = std::find(names.begin(), names.end(), value);
    return named == names.end() ? value : std::to_string(named - names.begin());
}

// The form's number of a mode as its name; a number with no name (a form with no button
// checked) as the number.
template <std::size_t N>
std::string modeName(const std::array<std::string_view, N>& names, const std::string& number) {
    const std::optional<int> index = parseInteger(number);
    return index && *index >= 0 && *index < static_cast<int>(N) ? std::string(names[*index]) : number;
}

// The tone sequence text of a tone table whose cells were never written, at either clock.
bool erasedToneSequence(const std::string& text) {
    std::array<std::uint8_t, TimerMemoryMap::toneSequenceLength> erased{};
    erased.fill(TimerMemoryMap::erasedByte);
    return !text.empty() && (text == formatToneSequenceText(erased.data(), TimerClock::model684Hz) ||
                             text == formatToneSequenceText(erased.data(), TimerClock::model628AHz));
}

bool notSetKey(std::string_view key) {
    return key == transmitSequenceKey || key == toneSequenceTextKey;
}

struct NumberedAssignment {
    SettingsAssignment assignment;
    int line = 0;
};

std::string lineError(int number, std::string_view message) {
    return std::string(SettingsTextError::line) + std::to_string(number) + ": " + std::string(message);
}

// The lines of a file with their numbers: comments, blank lines and a byte order mark passed
// over, each key at most once.
std::optional<std::vector<NumberedAssignment>> parseLines(std::string_view content, std::string& error) {
    if (content.substr(0, byteOrderMark.size()) == byteOrderMark) content.remove_prefix(byteOrderMark.size());
    std::vector<NumberedAssignment> assignments;
    std::map<std::string, int, std::less<>> seen;
    for (int number = 1; !content.empty(); ++number) {
        const auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (std::all_of(line.begin(), line.end(), isBlank) || line.front() == '#') continue;
        std::optional<SettingsAssignment> assignment;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto equals = line.find('=');
        if (equals != std::string_view::npos && setupOnly(line.substr(0, equals)))
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
        assignments.push_back({std::move(*assignment), number});
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

} // namespace

std::string formatSettingsText(const TimerSettings& settings) {
    std::string text;
    auto line = [&text](std::string_view key, const std::string& value) {
        text.append(key).append("=").append(value).append("\n");
    };
    for (FormField field : formExchangeOrder) {
        if (!imageBacked(field)) continue;
        std::string value = formFieldText(field, settings);
        if (field == FormField::cwText) value = printedCwText(value);
        if (field == FormField::transmitMode) value = modeName(transmitModeNames, value);
        if (field == FormField::audioMode) value = modeName(audioModeNames, value);
        line(formFieldKey(field), value);
    }
    line(oscillatorTuneKey, std::to_string(settings.oscillatorTune));
    const bool tableErased = std::all_of(settings.transmitSequence.begin(), settings.transmitSequence.end(),
                                         [](std::uint8_t b) { return b == TimerMemoryMap::erasedByte; });
    line(transmitSequenceKey, tableErased ? std::string() : hexBytes(settings.transmitSequence));
    line(toneSequenceTextKey,
         erasedToneSequence(settings.toneSequenceText) ? std::string() : settings.toneSequenceText);
    return text;
}

std::optional<SettingsAssignment> parseAssignment(std::string_view line, std::string& error) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        error = std::string(SettingsTextError::notAnAssignment) + quotedText(line);
        return std::nullopt;
    }
    SettingsAssignment assignment{std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))};
    if (!knownKey(assignment.key)) {
        error = std::string(formFieldFromKey(assignment.key) ? SettingsTextError::notStored
                                                             : SettingsTextError::unknownKey) +
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
    for (auto& [assignment, number] : *lines) {
        // The ringtone and the sound are taken by parseSetupExtras.
        if (setupOnly(assignment.key) || (notSetKey(assignment.key) && assignment.value.empty())) continue;
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
    for (const auto& [key, value] : assignments) {
        if (leftAlone(key)) continue;
        if (key == oscillatorTuneKey) {
            tune = value;
        } else if (auto field = formFieldFromKey(key)) {
            if (*field == FormField::transmitMode) {
                texts[*field] = modeNumber(transmitModeNames, value);
                continue;
            }
            if (*field == FormField::audioMode) {
                texts[*field] = modeNumber(audioModeNames, value);
                continue;
            }
            if (*field != FormField::cwText) {
                texts[*field] = value;
                continue;
            }
            std::string problem;
            std::optional<std::string> cwText = cwTextFromUtf8(value, problem);
            if (!cwText) return keyed(key, problem);
            texts[*field] = std::move(*cwText);
        }
    }
    const FormCheck check = takeForm([&texts](FormField field) { return texts[field]; }, settings);
    if (!check.ok) return keyed(formFieldKey(check.field), check.message);
    if (tune) {
        const auto value = parseInteger(*tune);
        if (!value) return keyed(oscillatorTuneKey, FormText::notAnInteger);
        if (*value < oscillatorTuneRange.min || *value > oscillatorTuneRange.max)
            return keyed(oscillatorTuneKey,
                         formatRangeMessage(oscillatorTuneRange.min, oscillatorTuneRange.max));
        settings.oscillatorTune = static_cast<std::int8_t>(*value);
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
    text += formatSettingsText(settings);
    std::string soundFile = setup.soundFile;
    if (!soundFile.empty() && !directory.empty()) {
        const std::filesystem::path relative = utf8Path(soundFile).lexically_relative(utf8Path(directory));
        if (!relative.empty() && *relative.begin() != "..") soundFile = utf8Name(relative);
    }
    const auto line = [&text](std::string_view key, const std::string& value) {
        text.append(key).append("=").append(value).append("\n");
    };
    line(ringtoneKey, setup.ringtone);
    line(ringtoneTempoKey, setup.ringtoneBeatsPerMinute ? std::to_string(*setup.ringtoneBeatsPerMinute) : "");
    line(ringtoneStaccatoKey, setup.ringtoneStaccato ? "1" : "0");
    line(soundFileKey, soundFile);
    return text;
}

namespace {

// A setup over base; with withForm false the form's values are passed over.
std::optional<TimerSetup> parseSetup(std::string_view content, std::string_view directory,
                                     const TimerSettings& base, bool withForm, std::string& error) {
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

    std::vector<SettingsAssignment> form;
    const auto refuse = [&error](int number, std::string_view key, std::string_view message) {
        error = lineError(number, keyed(key, message));
        return std::nullopt;
    };
    for (const auto& [assignment, number] : *lines) {
        const auto& [key, value] = assignment;
        if (key == transmitSequenceKey && !value.empty()) {
            const std::optional<TransmitSequence> table = parseTransmitSequenceHex(value);
            if (!table) return refuse(number, key, SettingsTextError::badTable);
            setup.settings.transmitSequence = *table;
            setup.transmitSequenceSet = true;
        } else if (key == toneSequenceTextKey && !value.empty()) {
            // The clock changes the units, not the count of tones.
            const ParsedToneSequence tones = parseToneSequenceText(value, TimerClock::model684Hz);
            if (tones.pairCount < 2 || tones.entries[0].duration == 0)
                return refuse(number, key, SettingsTextError::tooFewTones);
            setup.settings.toneSequenceText = value;
            setup.toneSequenceSet = true;
        } else if (key == ringtoneKey) {
            setup.ringtone = value;
        } else if (key == ringtoneTempoKey && !value.empty()) {
            const std::optional<int> tempo = parseInteger(value);
            if (!tempo) return refuse(number, key, FormText::notAnInteger);
            if (*tempo < ringtoneTempoRange.min || *tempo > ringtoneTempoRange.max)
                return refuse(number, key,
                              formatRangeMessage(ringtoneTempoRange.min, ringtoneTempoRange.max));
            setup.ringtoneBeatsPerMinute = tempo;
        } else if (key == ringtoneStaccatoKey) {
            if (value != "0" && value != "1") return refuse(number, key, SettingsTextError::notAFlag);
            setup.ringtoneStaccato = value == "1";
        } else if (key == soundFileKey && !value.empty()) {
            const std::filesystem::path path = utf8Path(value);
            setup.soundFile =
                path.is_absolute() ? value : utf8Name((utf8Path(directory) / path).lexically_normal());
        } else if (!setupOnly(key) && !notSetKey(key)) {
            form.push_back(assignment);
        }
    }
    if (!setup.ringtone.empty() && !setupRingtoneMelody(setup)) {
        const auto at = std::find_if(lines->begin(), lines->end(), [](const NumberedAssignment& a) {
            return a.assignment.key == ringtoneKey;
        });
        return refuse(at->line, ringtoneKey, SettingsTextError::notPlayable);
    }
    if (!withForm) return setup;
    if (const std::optional<std::string> failure = applySettings(form, setup.settings)) {
        // "key: message", named by the line of its key.
        const std::string key = failure->substr(0, failure->find(':'));
        const auto at = std::find_if(lines->begin(), lines->end(),
                                     [&key](const NumberedAssignment& a) { return a.assignment.key == key; });
        error = at == lines->end() ? *failure : lineError(at->line, *failure);
        return std::nullopt;
    }
    return setup;
}

} // namespace

std::optional<TimerSetup> parseSetupText(std::string_view content, std::string_view directory,
                                         const TimerSettings& base, std::string& error) {
    return parseSetup(content, directory, base, true, error);
}

std::optional<TimerSetup> parseSetupExtras(std::string_view content, std::string_view directory,
                                           std::string& error) {
    return parseSetup(content, directory, TimerSettings{}, false, error);
}

std::optional<RingtoneMelody> setupRingtoneMelody(const TimerSetup& setup) {
    if (setup.ringtone.empty()) return std::nullopt;
    return encodeRingtoneLine(setup.ringtone, setup.ringtoneBeatsPerMinute, setup.ringtoneStaccato);
}
