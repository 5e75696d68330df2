#pragma once
// The cycle an event's settings make: one full cycle (transmitterCount x stepLength of the
// event) cut into slots, what each fox does in each slot, and the slots in which two foxes
// or none are on the air. The timers are taken as started together, as SYNC starts them.

#include <string>
#include <vector>

#include "core/form/event_file.h"
#include "core/formats/transmit_sequence.h"

// What a fox does in a slot: off, on the air in its own audio mode (cycled or continuous),
// a step of its sequence by kind, or not known (sequenced, but the file sets no step table).
enum class SlotUse {
    off,
    onAir,
    toneSequence,
    singleTone,
    waveFile,
    cwMessage,
    soundEffect,
    ringtoneMelody,
    unknown
};

// '.', '#', the step kinds' letters, '?'.
char slotCharacter(SlotUse use);
bool slotOnAir(SlotUse use);
// The step kind of a slot that is one: its index in stepKindTexts.
std::size_t stepKindOf(SlotUse use);

struct TimelineRow {
    std::string name;
    FoxKind kind = FoxKind::fox;
    TransmitMode transmitMode = TransmitMode::continuous;
    int cycleId = 0;
    std::vector<SlotUse> uses; // one a slot
};

// Slots [firstSlot, endSlot) in which the foxes named are on the air together, or none is;
// a row's own problem has no slots.
struct TimelineConflict {
    int firstSlot = 0;
    int endSlot = 0;
    std::string text;
};

struct Timeline {
    int transmitterCount = 0;
    int stepSeconds = 0; // as the timer keeps it
    int slotSeconds = 0;
    int cycleSeconds = 0;
    std::vector<TimelineRow> rows;
    std::vector<TimelineConflict> conflicts;

    int slotCount() const { return slotSeconds > 0 ? cycleSeconds / slotSeconds : 0; }
};

namespace TimelineText {
inline constexpr std::string_view together = "%1: %2 on the air together";
inline constexpr std::string_view nobody = "%1: no fox on the air";
inline constexpr std::string_view noTable = "%1 is sequenced, but the file sets no step table";
inline constexpr std::string_view cycle = "one cycle %1 (%2 x %3 s)";
inline constexpr std::string_view character = ", one character %1 s";
} // namespace TimelineText

// The timeline of an event's foxes; a slot is the longest time that divides the step length
// and every step of a sequence, so each fox does one thing in each slot. Beacons are drawn
// but take no part in the slots' conflicts.
Timeline eventTimeline(const EventSetup& event);

// "m:ss".
std::string minutesText(int seconds);

// "one cycle 5:00 (5 x 60 s)".
std::string timelineHeader(const Timeline& timeline);

// The timeline as tavofoxctl event prints it: a header ("one cycle 5:00 (5 x 60 s), one
// character 60 s"), one row per fox ("MOE  1  #...."),
// the step kinds' letters used, then the conflicts, one a line.
std::string formatTimelineText(const Timeline& timeline);
