#include "core/form/event_timeline.h"

#include <algorithm>
#include <numeric>

namespace {

// The timer keeps the step length in whole tens of seconds; under ten it would keep none,
// which is drawn as the shortest step it can run.
int storedStepSeconds(const TimerSettings& settings) {
    return std::max(1, settings.stepLength / secondsPerLengthUnit) * secondsPerLengthUnit;
}

struct SequenceStep {
    int seconds;
    SlotUse use;
};

// The steps the timer runs: from step 0 up to the first of no length.
std::vector<SequenceStep> runSteps(const TimerSettings& settings) {
    std::vector<SequenceStep> steps;
    for (int k = 0; k < leadingStepCount(settings.transmitSequence); ++k) {
        const StepKind kind = flagsToStepKind(settings.transmitSequence[2 * k + 1]);
        steps.push_back({settings.transmitSequence[2 * k] * secondsPerLengthUnit,
                         kind == StepKind::noTransmit
                             ? SlotUse::off
                             : static_cast<SlotUse>(static_cast<std::size_t>(kind) + 1)});
    }
    return steps;
}

// What the fox does at second t of the event, as the timer runs its mode.
SlotUse useAt(const EventFox& fox, const std::vector<SequenceStep>& steps, int t) {
    const TimerSettings& settings = fox.setup.settings;
    switch (settings.transmitMode) {
    case TransmitMode::cycled: {
        const int step = storedStepSeconds(settings);
        const int period = step * std::max(1, settings.transmitterCount);
        return t % period / step == settings.cycleId - 1 ? SlotUse::onAir : SlotUse::off;
    }
    case TransmitMode::sequenced: {
        if (!fox.setup.transmitSequenceSet || steps.empty()) return SlotUse::unknown;
        int rest = t % std::accumulate(steps.begin(), steps.end(), 0,
                                       [](int sum, const SequenceStep& s) { return sum + s.seconds; });
        for (const SequenceStep& s : steps) {
            if (rest < s.seconds) return s.use;
            rest -= s.seconds;
        }
        return SlotUse::off;
    }
    default:
        return SlotUse::onAir;
    }
}

std::string namesText(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}

} // namespace

char slotCharacter(SlotUse use) {
    static constexpr std::string_view characters = ".#QSWCER?";
    return characters[static_cast<std::size_t>(use)];
}

std::size_t stepKindOf(SlotUse use) {
    return static_cast<std::size_t>(use) - 1;
}

bool slotOnAir(SlotUse use) {
    return use != SlotUse::off && use != SlotUse::unknown;
}

std::string minutesText(int seconds) {
    const std::string rest = std::to_string(seconds % 60);
    return std::to_string(seconds / 60) + ":" + (rest.size() < 2 ? "0" : "") + rest;
}

Timeline eventTimeline(const EventSetup& event) {
    Timeline timeline;
    const TimerSettings& settings = event.event.settings;
    const int step = storedStepSeconds(settings);
    timeline.transmitterCount = std::max(1, settings.transmitterCount);
    timeline.stepSeconds = step;
    timeline.cycleSeconds = step * timeline.transmitterCount;
    timeline.slotSeconds = step;
    std::vector<std::vector<SequenceStep>> sequences;
    for (const EventFox& fox : event.foxes) {
        sequences.push_back(runSteps(fox.setup.settings));
        if (fox.setup.settings.transmitMode == TransmitMode::cycled)
            timeline.slotSeconds = std::gcd(timeline.slotSeconds, storedStepSeconds(fox.setup.settings));
        if (fox.setup.settings.transmitMode == TransmitMode::sequenced)
            for (const SequenceStep& s : sequences.back())
                timeline.slotSeconds = std::gcd(timeline.slotSeconds, s.seconds);
    }
    const int slots = timeline.slotCount();
    bool anyFox = false;
    for (std::size_t f = 0; f < event.foxes.size(); ++f) {
        const EventFox& fox = event.foxes[f];
        TimelineRow& row = timeline.rows.emplace_back();
        row.name = fox.name;
        row.kind = fox.kind;
        row.transmitMode = fox.setup.settings.transmitMode;
        row.cycleId = fox.setup.settings.cycleId;
        for (int s = 0; s < slots; ++s)
            row.uses.push_back(useAt(fox, sequences[f], s * timeline.slotSeconds));
        if (std::find(row.uses.begin(), row.uses.end(), SlotUse::unknown) != row.uses.end())
            timeline.conflicts.push_back({0, 0, fillIn(TimelineText::noTable, {fox.name})});
        anyFox = anyFox || fox.kind == FoxKind::fox;
    }
    if (!anyFox) return timeline;
    // Runs of slots with the same foxes on the air, where that is not exactly one.
    std::vector<std::string> previous;
    for (int s = 0; s <= slots; ++s) {
        std::vector<std::string> onAir;
        for (const TimelineRow& row : timeline.rows)
            if (s < slots && row.kind == FoxKind::fox && slotOnAir(row.uses[s])) onAir.push_back(row.name);
        const bool conflict = s < slots && onAir.size() != 1;
        TimelineConflict* last = timeline.conflicts.empty() ? nullptr : &timeline.conflicts.back();
        if (conflict && last && last->endSlot == s && s > 0 && onAir == previous) {
            ++last->endSlot;
        } else if (conflict) {
            timeline.conflicts.push_back({s, s + 1, {}});
        }
        previous = onAir;
    }
    for (TimelineConflict& conflict : timeline.conflicts) {
        if (conflict.endSlot == conflict.firstSlot) continue;
        std::vector<std::string> names;
        for (const TimelineRow& row : timeline.rows)
            if (row.kind == FoxKind::fox && slotOnAir(row.uses[conflict.firstSlot]))
                names.push_back(row.name);
        const std::string when = minutesText(conflict.firstSlot * timeline.slotSeconds) + " - " +
                                 minutesText(conflict.endSlot * timeline.slotSeconds);
        conflict.text = names.empty() ? fillIn(TimelineText::nobody, {when})
                                      : fillIn(TimelineText::together, {when, namesText(names)});
    }
    return timeline;
}

std::string timelineHeader(const Timeline& timeline) {
    return fillIn(TimelineText::cycle,
                  {minutesText(timeline.cycleSeconds), std::to_string(timeline.transmitterCount),
                   std::to_string(timeline.stepSeconds)});
}

std::string formatTimelineText(const Timeline& timeline) {
    const auto idText = [](const TimelineRow& row) {
        return row.transmitMode == TransmitMode::cycled ? std::to_string(row.cycleId) : std::string("-");
    };
    std::size_t width = 0;
    std::size_t idWidth = 0;
    for (const TimelineRow& row : timeline.rows) {
        width = std::max(width, row.name.size());
        idWidth = std::max(idWidth, idText(row).size());
    }
    std::string text = timelineHeader(timeline) +
                       fillIn(TimelineText::character, {std::to_string(timeline.slotSeconds)}) + "\n";
    std::vector<SlotUse> kinds;
    for (const TimelineRow& row : timeline.rows) {
        const std::string id = idText(row);
        text += row.name + std::string(width - row.name.size() + 2 + idWidth - id.size(), ' ') + id + "  ";
        for (SlotUse use : row.uses) {
            text += slotCharacter(use);
            if (use >= SlotUse::toneSequence && use <= SlotUse::ringtoneMelody &&
                std::find(kinds.begin(), kinds.end(), use) == kinds.end())
                kinds.push_back(use);
        }
        text += '\n';
    }
    std::sort(kinds.begin(), kinds.end());
    for (std::size_t i = 0; i < kinds.size(); ++i)
        text += std::string(1, slotCharacter(kinds[i])) + " " +
                std::string(stepKindTexts[stepKindOf(kinds[i])]) + (i + 1 < kinds.size() ? ", " : "\n");
    for (const TimelineConflict& conflict : timeline.conflicts)
        text += conflict.text + '\n';
    return text;
}
