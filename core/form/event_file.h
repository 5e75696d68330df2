#pragma once
// An event: all foxes of an event in one setup file. The lines before the first section are
// the event's settings; each section "[fox NAME]" or "[beacon NAME]" holds what differs for
// that fox, usually its cycle ID and CW text. A setup without sections is one timer, as
// before. The sections are a layer over the setup reader: a fox is read as the setup text
// of the event's lines with the fox's lines over them, every line at its own number.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/form/settings_text.h"

// A beacon transmits for the whole event (usually continuously at the finish): it takes no
// part in the cycle's slots.
enum class FoxKind { fox, beacon };

namespace EventText {
inline constexpr std::string_view foxSection = "fox";
inline constexpr std::string_view beaconSection = "beacon";
inline constexpr std::string_view badSection = "expected [fox NAME] or [beacon NAME]: ";
inline constexpr std::string_view badName = "a fox's name is one word of printable characters: ";
inline constexpr std::string_view givenTwice = " given twice, first on line ";
inline constexpr std::string_view sameCycleId = "cycleId: %1 has cycle ID %2, as %3 has (line %4)";
inline constexpr std::string_view cycleIdOutside =
    "cycleId: the cycle ID %1 of %2 is not within 1 .. %3 (transmitterCount)";
inline constexpr std::string_view cycledCount = "transmitterCount is %1, but %2 foxes are cycled";
inline constexpr std::string_view noSuchFox = "no fox %1 in this event; it holds %2";
inline constexpr std::string_view chooseFox = "this event holds the foxes %1: choose one with --fox";
inline constexpr std::string_view noFoxes = "holds no foxes: no [fox NAME] or [beacon NAME] section";
} // namespace EventText

// One section of an event file, as the file holds it.
struct EventSection {
    FoxKind kind = FoxKind::fox;
    std::string name;
    int line = 0; // of its "[fox NAME]" line
    // The first and the one past the last line of its body, as indexes of the file's lines.
    std::size_t begin = 0;
    std::size_t end = 0;
};

// A file cut into its lines and sections. Lines keep their text without the line break;
// line n of the file is lines[n - 1].
struct EventSections {
    std::vector<std::string_view> lines;
    std::size_t eventEnd = 0; // the event's own lines are lines[0 .. eventEnd)
    std::vector<EventSection> sections;

    bool hasFoxes() const { return !sections.empty(); }
    // The section's setup text: the event's lines, blank where the fox sets the same key, the
    // fox's lines, and every other line blank, so that a message of the setup reader names
    // the file's own line.
    std::string foxText(std::size_t index) const;
    // The event's lines alone, every other line blank.
    std::string eventText() const;
    // "MOE, MOI, MO".
    std::string names() const;
};

// The sections of content; a header that is no "[fox NAME]" or "[beacon NAME]", or a name
// given twice, is refused as "line N: ...". content must outlive the result.
std::optional<EventSections> splitEventSections(std::string_view content, std::string& error);

// One fox, read through the setup reader.
struct EventFox {
    FoxKind kind = FoxKind::fox;
    std::string name;
    int line = 0;
    TimerSetup setup;
    int cycleIdLine = 0; // where its cycle ID is set: its section, the event's lines or its header
};

struct EventSetup {
    TimerSetup event; // the event's lines alone
    std::vector<EventFox> foxes;
    // Not refusals: "line N: ..." of what an organizer most likely did not mean.
    std::vector<std::string> warnings;

    const EventFox* fox(std::string_view name) const;
};

// The file with fox index changed from the setup text before to the setup text after (both
// as formatSetupText gives them): a value that differs is changed on the fox's own line or
// added at the end of its settings; every other line, the event's and the comments, stays.
std::string savedFoxText(const EventSections& sections, std::size_t index, std::string_view before,
                         std::string_view after);

// Reads an event file over base: the event's lines, then each fox's through the setup reader
// with its checks, then the event's own: cycled foxes have distinct cycle IDs within 1 ..
// transmitterCount. The first refusal is reported in error as "line N: ...". A file without
// sections gives no foxes.
std::optional<EventSetup> parseEventText(std::string_view content, std::string_view directory,
                                         const TimerSettings& base, std::string& error);

// The text the setup reader takes for --fox name: the fox's setup text for a file with
// sections, content itself for one without and no name. A name missing from the file,
// a file with foxes and no name, and a name for a file without foxes are refused.
std::optional<std::string> foxSetupText(std::string_view content, const std::string& name,
                                        std::string& error);

// "%1".."%4" of a message replaced in order.
std::string fillIn(std::string_view text, const std::vector<std::string>& values);
