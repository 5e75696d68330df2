#include "cli/event_commands.h"

#include <ostream>

#include "cli/commands.h"
#include "core/form/event_file.h"
#include "core/form/event_timeline.h"
#include "core/formats/utf8_path.h"

namespace {

// The event's checks, its warnings said on err.
EventSetup checkedEvent(const std::string& file, const std::string& content, std::ostream& err) {
    std::string error;
    std::optional<EventSetup> event =
        parseEventText(content, utf8Name(utf8Path(file).parent_path()), TimerSettings{}, error);
    if (!event) throw commandLineError(file + ": " + error);
    for (const std::string& warning : event->warnings)
        err << programPrefix << file << ": " << warning << '\n';
    return std::move(*event);
}

} // namespace

std::string foxOfEvent(const std::string& file, const std::string& content, const std::string& name,
                       std::ostream& err) {
    std::string error;
    const std::optional<EventSections> sections = splitEventSections(content, error);
    if (!sections) throw commandLineError(file + ": " + error);
    if (sections->hasFoxes()) checkedEvent(file, content, err);
    std::optional<std::string> text = foxSetupText(content, name, error);
    if (!text) throw commandLineError(file + ": " + error);
    return std::move(*text);
}

int printEvent(const std::string& file, const std::string& content, std::ostream& out, std::ostream& err) {
    const EventSetup event = checkedEvent(file, content, err);
    if (event.foxes.empty()) throw commandLineError(file + ": " + std::string(EventText::noFoxes));
    const Timeline timeline = eventTimeline(event);
    out << formatTimelineText(timeline);
    return timeline.conflicts.empty() ? ExitStatus::ok : ExitStatus::usage;
}
