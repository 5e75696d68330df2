#include "core/form/settings_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <map>

#include "core/decimal.h"
#include "core/form/settings_form.h"

namespace {

constexpr std::string_view oscillatorTuneKey = "oscillatorTune";
constexpr std::string_view transmitSequenceKey = "transmitSequence";
constexpr std::string_view toneSequenceTextKey = "toneSequenceText";
constexpr IntRange oscillatorTuneRange{-16, 15};

// Form fields the timer keeps in its configuration image (the sound effect choice is not).
bool imageBacked(FormField field) {
    return field != FormField::soundEffect;
}

// Written by operations of their own, never by the configuration write.
bool leftAlone(std::string_view key) {
    return key == transmitSequenceKey || key == toneSequenceTextKey ||
           key == formFieldKey(FormField::tableLength);
}

bool knownKey(std::string_view key) {
    return formFieldFromKey(key).has_value() || key == oscillatorTuneKey || leftAlone(key);
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

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

} // namespace

std::string formatSettingsText(const TimerSettings& settings) {
    std::string text;
    auto line = [&text](std::string_view key, const std::string& value) {
        text.append(key).append("=").append(value).append("\n");
    };
    for (FormField field : formExchangeOrder)
        if (imageBacked(field)) line(formFieldKey(field), formFieldText(field, settings));
    line(oscillatorTuneKey, std::to_string(settings.oscillatorTune));
    line(transmitSequenceKey, hexBytes(settings.transmitSequence));
    line(toneSequenceTextKey, settings.toneSequenceText);
    return text;
}

std::optional<SettingsAssignment> parseAssignment(std::string_view line, std::string& error) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        error = "expected key=value: " + std::string(line);
        return std::nullopt;
    }
    SettingsAssignment assignment{std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))};
    if (!knownKey(assignment.key)) {
        error = "unknown setting: " + assignment.key;
        return std::nullopt;
    }
    return assignment;
}

std::optional<std::vector<SettingsAssignment>> parseSettingsFile(std::string_view content,
                                                                 std::string& error) {
    std::vector<SettingsAssignment> assignments;
    while (!content.empty()) {
        const auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (line.find_first_not_of(" \t\r") == std::string_view::npos || line.front() == '#') continue;
        auto assignment = parseAssignment(line, error);
        if (!assignment) return std::nullopt;
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
            // The form's CW edit turns typed letters into capitals; so does the console.
            texts[*field] = *field == FormField::cwText ? upperCase(value) : value;
        }
    }
    const FormCheck check = takeForm([&texts](FormField field) { return texts[field]; }, settings);
    if (!check.ok) return check.message;
    if (tune) {
        const auto value = parseInteger(*tune);
        if (!value) return std::string(FormText::notAnInteger);
        if (*value < oscillatorTuneRange.min || *value > oscillatorTuneRange.max)
            return formatRangeMessage(oscillatorTuneRange.min, oscillatorTuneRange.max);
        settings.oscillatorTune = static_cast<std::int8_t>(*value);
    }
    return std::nullopt;
}
