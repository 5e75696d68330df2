#include "core/form/event_file.h"

#include <algorithm>
#include <map>

#include "core/decimal.h"
#include "core/form/settings_form.h"

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

std::string lineError(int number, std::string_view message) {
    return "line " + std::to_string(number) + ": " + std::string(message);
}

// The key a settings line sets; empty for a blank line, a comment or a section.
std::string_view keyOf(std::string_view line) {
    if (std::all_of(line.begin(), line.end(), isBlank) || line.front() == '#' || line.front() == '[')
        return {};
    const auto equals = line.find('=');
    return equals == std::string_view::npos ? std::string_view() : line.substr(0, equals);
}

// The number of the line in [begin, end) that sets key; 0 when none does.
int keyLine(const EventSections& sections, std::size_t begin, std::size_t end, std::string_view key) {
    for (std::size_t i = begin; i < end; ++i)
        if (keyOf(sections.lines[i]) == key) return static_cast<int>(i) + 1;
    return 0;
}

bool nameCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte != 0x7F && c != '[' && c != ']';
}

// "[fox NAME]" or "[beacon NAME]" as its kind and name; nothing and the reason otherwise.
std::optional<EventSection> parseSectionLine(std::string_view line, std::string& error) {
    while (!line.empty() && isBlank(line.back()))
        line.remove_suffix(1);
    const auto blank = line.find(' ');
    if (line.back() != ']' || blank == std::string_view::npos) {
        error = std::string(EventText::badSection) + std::string(line.substr(0, 80));
        return std::nullopt;
    }
    const std::string_view word = line.substr(1, blank - 1);
    std::string_view name = line.substr(blank + 1, line.size() - blank - 2);
    while (!name.empty() && isBlank(name.front()))
        name.remove_prefix(1);
    while (!name.empty() && isBlank(name.back()))
        name.remove_suffix(1);
    if (word != EventText::foxSection && word != EventText::beaconSection) {
        error = std::string(EventText::badSection) + std::string(line.substr(0, 80));
        return std::nullopt;
    }
    if (name.empty() || !std::all_of(name.begin(), name.end(), nameCharacter)) {
        error = std::string(EventText::badName) + std::string(line.substr(0, 80));
        return std::nullopt;
    }
    EventSection section;
    section.kind = word == EventText::foxSection ? FoxKind::fox : FoxKind::beacon;
    section.name = name;
    return section;
}

std::string joinLines(const EventSections& sections, const auto& keep) {
    std::string text;
    for (std::size_t i = 0; i < sections.lines.size(); ++i) {
        if (keep(i)) text += sections.lines[i];
        text += '\n';
    }
    return text;
}

} // namespace

std::string fillIn(std::string_view text, const std::vector<std::string>& values) {
    std::string filled(text);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string mark = "%" + std::to_string(i + 1);
        if (const auto at = filled.find(mark); at != std::string::npos)
            filled.replace(at, mark.size(), values[i]);
    }
    return filled;
}

std::optional<EventSections> splitEventSections(std::string_view content, std::string& error) {
    if (content.substr(0, byteOrderMark.size()) == byteOrderMark) content.remove_prefix(byteOrderMark.size());
    EventSections result;
    while (!content.empty()) {
        const auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        result.lines.push_back(line);
    }
    result.eventEnd = result.lines.size();
    std::map<std::string, int, std::less<>> seen;
    for (std::size_t i = 0; i < result.lines.size(); ++i) {
        const std::string_view line = result.lines[i];
        if (line.empty() || line.front() != '[') continue;
        const int number = static_cast<int>(i) + 1;
        std::optional<EventSection> section = parseSectionLine(line, error);
        if (!section) {
            error = lineError(number, error);
            return std::nullopt;
        }
        if (const auto first = seen.find(section->name); first != seen.end()) {
            const std::string_view word =
                section->kind == FoxKind::fox ? EventText::foxSection : EventText::beaconSection;
            error = lineError(number, "[" + std::string(word) + " " + section->name + "]" +
                                          std::string(EventText::givenTwice) + std::to_string(first->second));
            return std::nullopt;
        }
        seen.emplace(section->name, number);
        section->line = number;
        section->begin = i + 1;
        if (result.sections.empty())
            result.eventEnd = i;
        else
            result.sections.back().end = i;
        result.sections.push_back(std::move(*section));
    }
    if (!result.sections.empty()) result.sections.back().end = result.lines.size();
    return result;
}

std::string EventSections::foxText(std::size_t index) const {
    const EventSection& section = sections.at(index);
    return joinLines(*this, [&](std::size_t i) {
        if (i >= section.begin && i < section.end) return true;
        if (i >= eventEnd) return false;
        const std::string_view key = keyOf(lines[i]);
        return key.empty() || keyLine(*this, section.begin, section.end, key) == 0;
    });
}

std::string savedFoxText(const EventSections& sections, std::size_t index, std::string_view before,
                         std::string_view after) {
    const EventSection& section = sections.sections.at(index);
    const auto values = [](std::string_view text) {
        std::vector<std::pair<std::string, std::string>> lines;
        while (!text.empty()) {
            const std::string_view line = text.substr(0, text.find('\n'));
            text.remove_prefix(std::min(text.size(), line.size() + 1));
            if (const std::string_view key = keyOf(line); !key.empty())
                lines.emplace_back(key, line.substr(key.size() + 1));
        }
        return lines;
    };
    const auto old = values(before);
    std::vector<std::string> lines(sections.lines.begin(), sections.lines.end());
    std::vector<std::string> added;
    for (const auto& assignment : values(after)) {
        const auto& [key, value] = assignment;
        const auto was = std::find_if(old.begin(), old.end(),
                                      [&assignment](const auto& kv) { return kv.first == assignment.first; });
        if (was != old.end() && was->second == value) continue;
        if (const int line = keyLine(sections, section.begin, section.end, key))
            lines[static_cast<std::size_t>(line - 1)] = key + "=" + value;
        else
            added.push_back(key + "=" + value);
    }
    // After the section's last setting, before the comments that lead to the next section.
    std::size_t at = section.begin;
    for (std::size_t i = section.begin; i < section.end; ++i)
        if (!keyOf(sections.lines[i]).empty()) at = i + 1;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

std::string EventSections::eventText() const {
    return joinLines(*this, [&](std::size_t i) { return i < eventEnd; });
}

std::string EventSections::names() const {
    std::string text;
    for (const EventSection& section : sections)
        text += (text.empty() ? "" : ", ") + section.name;
    return text;
}

const EventFox* EventSetup::fox(std::string_view name) const {
    const auto found =
        std::find_if(foxes.begin(), foxes.end(), [name](const EventFox& f) { return f.name == name; });
    return found == foxes.end() ? nullptr : &*found;
}

std::optional<EventSetup> parseEventText(std::string_view content, std::string_view directory,
                                         const TimerSettings& base, std::string& error) {
    const std::optional<EventSections> sections = splitEventSections(content, error);
    if (!sections) return std::nullopt;
    EventSetup result;
    std::optional<TimerSetup> event = parseSetupText(sections->eventText(), directory, base, error);
    if (!event) return std::nullopt;
    result.event = std::move(*event);

    const std::string_view cycleIdKey = formFieldKey(FormField::cycleId);
    const int eventCycleIdLine = keyLine(*sections, 0, sections->eventEnd, cycleIdKey);
    // The first cycled fox of each cycle ID.
    std::map<int, const EventFox*> cycleIds;
    int cycled = 0;
    for (std::size_t i = 0; i < sections->sections.size(); ++i) {
        const EventSection& section = sections->sections[i];
        std::optional<TimerSetup> setup = parseSetupText(sections->foxText(i), directory, base, error);
        if (!setup) return std::nullopt;
        EventFox& fox = result.foxes.emplace_back();
        fox.kind = section.kind;
        fox.name = section.name;
        fox.line = section.line;
        fox.setup = std::move(*setup);
        fox.cycleIdLine = keyLine(*sections, section.begin, section.end, cycleIdKey);
        if (fox.cycleIdLine == 0) fox.cycleIdLine = eventCycleIdLine ? eventCycleIdLine : section.line;
    }
    for (const EventFox& fox : result.foxes) {
        const TimerSettings& settings = fox.setup.settings;
        if (fox.kind != FoxKind::fox || settings.transmitMode != TransmitMode::cycled) continue;
        ++cycled;
        if (settings.cycleId > settings.transmitterCount) {
            error = lineError(fox.cycleIdLine,
                              fillIn(EventText::cycleIdOutside, {std::to_string(settings.cycleId), fox.name,
                                                                 std::to_string(settings.transmitterCount)}));
            return std::nullopt;
        }
        const auto [first, added] = cycleIds.emplace(settings.cycleId, &fox);
        if (!added) {
            error = lineError(fox.cycleIdLine,
                              fillIn(EventText::sameCycleId,
                                     {fox.name, std::to_string(settings.cycleId), first->second->name,
                                      std::to_string(first->second->cycleIdLine)}));
            return std::nullopt;
        }
    }
    const int transmitterCount = result.event.settings.transmitterCount;
    if (cycled > 0 && cycled != transmitterCount) {
        const int line = keyLine(*sections, 0, sections->eventEnd, formFieldKey(FormField::transmitterCount));
        result.warnings.push_back(lineError(
            line ? line : sections->sections.front().line,
            fillIn(EventText::cycledCount, {std::to_string(transmitterCount), std::to_string(cycled)})));
    }
    return result;
}

std::optional<std::string> foxSetupText(std::string_view content, const std::string& name,
                                        std::string& error) {
    const std::optional<EventSections> sections = splitEventSections(content, error);
    if (!sections) return std::nullopt;
    if (!sections->hasFoxes()) {
        if (name.empty()) return std::string(content);
        error = EventText::noFoxes;
        return std::nullopt;
    }
    if (name.empty()) {
        error = fillIn(EventText::chooseFox, {sections->names()});
        return std::nullopt;
    }
    for (std::size_t i = 0; i < sections->sections.size(); ++i)
        if (sections->sections[i].name == name) return sections->foxText(i);
    error = fillIn(EventText::noSuchFox, {name, sections->names()});
    return std::nullopt;
}
