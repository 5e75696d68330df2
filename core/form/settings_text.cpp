#include "core/form/settings_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

#include "core/decimal.h"
#include "core/form/settings_form.h"
#include "core/formats/utf8.h"

namespace {

constexpr std::string_view oscillatorTuneKey = "oscillatorTune";
constexpr std::string_view transmitSequenceKey = "transmitSequence";
constexpr std::string_view toneSequenceTextKey = "toneSequenceText";
constexpr IntRange oscillatorTuneRange{-16, 15};

namespace SettingsTextError {
constexpr std::string_view notAnAssignment = "expected key=value: ";
constexpr std::string_view unknownKey = "unknown setting: ";
constexpr std::string_view notStored = "the timer does not store ";
constexpr std::string_view line = "line ";
constexpr std::string_view notUtf8 = "not UTF-8 text";
constexpr std::string_view notKeyable = "the timer keys printable Latin-1 characters only, not ";
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

// The keys read prints. The sound effect choice is a form field that the timer does not
// keep: taking it would report a write that never happens.
bool knownKey(std::string_view key) {
    const std::optional<FormField> field = formFieldFromKey(key);
    return (field && imageBacked(*field)) || key == oscillatorTuneKey || leftAlone(key);
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
std::string quoted(std::string_view text) {
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
        const std::string value = formFieldText(field, settings);
        line(formFieldKey(field), field == FormField::cwText ? printedCwText(value) : value);
    }
    line(oscillatorTuneKey, std::to_string(settings.oscillatorTune));
    line(transmitSequenceKey, hexBytes(settings.transmitSequence));
    line(toneSequenceTextKey, settings.toneSequenceText);
    return text;
}

std::optional<SettingsAssignment> parseAssignment(std::string_view line, std::string& error) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        error = std::string(SettingsTextError::notAnAssignment) + quoted(line);
        return std::nullopt;
    }
    SettingsAssignment assignment{std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))};
    if (!knownKey(assignment.key)) {
        error = std::string(formFieldFromKey(assignment.key) ? SettingsTextError::notStored
                                                             : SettingsTextError::unknownKey) +
                quoted(assignment.key);
        return std::nullopt;
    }
    return assignment;
}

std::optional<std::vector<SettingsAssignment>> parseSettingsFile(std::string_view content,
                                                                 std::string& error) {
    std::vector<SettingsAssignment> assignments;
    for (int number = 1; !content.empty(); ++number) {
        const auto end = content.find('\n');
        const std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (std::all_of(line.begin(), line.end(), isBlank) || line.front() == '#') continue;
        auto assignment = parseAssignment(line, error);
        if (!assignment) {
            error = std::string(SettingsTextError::line) + std::to_string(number) + ": " + error;
            return std::nullopt;
        }
        assignments.push_back(std::move(*assignment));
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
