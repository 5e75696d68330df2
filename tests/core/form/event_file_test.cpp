#include <gtest/gtest.h>

#include "core/form/event_file.h"
#include "core/form/event_timeline.h"

namespace {

// The organizer's file: five foxes and a beacon.
const std::string springEvent = "# event: Spring ARDF 2027, 144.5 MHz\n" // 1
                                "transmitMode=cycled\n"                  // 2
                                "transmitterCount=5\n"                   // 3
                                "stepLength=60\n"                        // 4
                                "audioMode=cw-message\n"                 // 5
                                "autoId=0\n"                             // 6
                                "[fox MOE]\n"                            // 7
                                "cycleId=1\n"                            // 8
                                "cwText=MOE\n"                           // 9
                                "[fox MOI]\n"                            // 10
                                "cycleId=2\n"                            // 11
                                "cwText=MOI\n"                           // 12
                                "[fox MOS]\n"                            // 13
                                "cycleId=3\n"                            // 14
                                "cwText=MOS\n"                           // 15
                                "[fox MOH]\n"                            // 16
                                "cycleId=4\n"                            // 17
                                "cwText=moh\n"                           // 18
                                "[fox MO5]\n"                            // 19
                                "cycleId=5\n"                            // 20
                                "cwText=MO5\n"                           // 21
                                "# the finish\n"                         // 22
                                "[beacon MO]\n"                          // 23
                                "transmitMode=continuous\n"              // 24
                                "cwText=MO\n";                           // 25

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

TEST(EventFile, FoxesTakeTheEventsSettingsWithTheirOwnOverThemAndEachConflictNamesItsLine) {
    std::string error;
    const std::optional<EventSetup> event = parseEventText(springEvent, "", TimerSettings{}, error);
    ASSERT_TRUE(event) << error;
    ASSERT_EQ(event->foxes.size(), 6u);
    EXPECT_TRUE(event->warnings.empty());
    const EventFox& moh = event->foxes[3];
    EXPECT_EQ(moh.name, "MOH");
    EXPECT_EQ(moh.kind, FoxKind::fox);
    EXPECT_EQ(moh.setup.settings.cycleId, 4);
    EXPECT_EQ(moh.setup.settings.cwText, "MOH");
    EXPECT_EQ(moh.setup.settings.transmitMode, TransmitMode::cycled);
    EXPECT_EQ(moh.setup.settings.audioMode, AudioMode::cwMessage);
    EXPECT_FALSE(moh.setup.settings.autoId);
    const EventFox* beacon = event->fox("MO");
    ASSERT_NE(beacon, nullptr);
    EXPECT_EQ(beacon->kind, FoxKind::beacon);
    EXPECT_EQ(beacon->setup.settings.transmitMode, TransmitMode::continuous);
    EXPECT_EQ(beacon->setup.settings.cwText, "MO");
    EXPECT_EQ(beacon->setup.settings.stepLength, 60);

    // A setup without sections is one timer, as before.
    ASSERT_TRUE(parseEventText("cycleId=2\n", "", TimerSettings{}, error));
    EXPECT_EQ(foxSetupText("cycleId=2\n", "", error), "cycleId=2\n");

    const struct {
        std::string from, to, message;
    } refusals[] = {
        {"[fox MOS]", "[fox MOE]", "line 13: [fox MOE] given twice, first on line 7"},
        {"[beacon MO]", "[beacon MOE]", "line 23: [beacon MOE] given twice, first on line 7"},
        {"cycleId=4", "cycleId=2", "line 17: cycleId: MOH has cycle ID 2, as MOI has (line 11)"},
        {"cycleId=5", "cycleId=6",
         "line 20: cycleId: the cycle ID 6 of MO5 is not within 1 .. 5 (transmitterCount)"},
        {"cycleId=5", "cycleId=11", "line 20: cycleId: Please enter an integer between 1 and 10."},
        {"cwText=MOI\n", "cwText=MOI\ncwText=MO2\n", "line 13: cwText given twice, first on line 12"},
        {"[fox MOH]", "[foxes]", "line 16: expected [fox NAME] or [beacon NAME]: [foxes]"},
        {"[fox MOH]", "[fox MO H]", "line 16: a fox's name is one word of printable characters: [fox MO H]"},
        {"stepLength=60", "stepLength=0", "line 4: stepLength: Please enter an integer between 1 and 600."},
    };
    for (const auto& [from, to, message] : refusals) {
        std::string refused;
        EXPECT_FALSE(parseEventText(replaced(springEvent, from, to), "", TimerSettings{}, refused)) << to;
        EXPECT_EQ(refused, message);
    }

    // One fox less: a warning, not a refusal; the free slot shows in the cycle.
    const std::string fourFoxes = replaced(springEvent, "[fox MO5]\ncycleId=5\ncwText=MO5\n", "");
    const std::optional<EventSetup> four = parseEventText(fourFoxes, "", TimerSettings{}, error);
    ASSERT_TRUE(four) << error;
    EXPECT_EQ(four->warnings,
              std::vector<std::string>{"line 3: transmitterCount is 5, but 4 foxes are cycled"});
    EXPECT_EQ(formatTimelineText(eventTimeline(*four)), "one cycle 5:00 (5 x 60 s), one character 60 s\n"
                                                        "MOE  1  #....\n"
                                                        "MOI  2  .#...\n"
                                                        "MOS  3  ..#..\n"
                                                        "MOH  4  ...#.\n"
                                                        "MO   -  #####\n"
                                                        "4:00 - 5:00: no fox on the air\n");

    // What tavofoxctl write --fox reads: the event's lines with the fox's over them, each on
    // its own line number.
    EXPECT_EQ(foxSetupText(springEvent, "MOI", error),
              "# event: Spring ARDF 2027, 144.5 MHz\ntransmitMode=cycled\ntransmitterCount=5\nstepLength=60\n"
              "audioMode=cw-message\nautoId=0\n\n\n\n\ncycleId=2\ncwText=MOI\n" +
                  std::string(13, '\n'));
    // Saved from the window: the fox's own line changed, what it did not set added to its
    // section, every other line as it was.
    const std::optional<EventSections> sections = splitEventSections(springEvent, error);
    ASSERT_TRUE(sections);
    TimerSetup changed = event->foxes[1].setup;
    changed.settings.cwText = "MO2";
    changed.settings.stepLength = 90;
    EXPECT_EQ(
        savedFoxText(*sections, 1, formatSetupText(event->foxes[1].setup, ""), formatSetupText(changed, "")),
        replaced(springEvent, "cwText=MOI\n", "cwText=MO2\nstepLength=90\n"));

    EXPECT_FALSE(foxSetupText(springEvent, "", error));
    EXPECT_EQ(error, "this event holds the foxes MOE, MOI, MOS, MOH, MO5, MO: choose one with --fox");
    EXPECT_FALSE(foxSetupText(springEvent, "MOX", error));
    EXPECT_EQ(error, "no fox MOX in this event; it holds MOE, MOI, MOS, MOH, MO5, MO");
}

// A cycled, a continuous and a sequenced fox in one cycle of four steps of a minute: the
// sequence of 30 s single tone and 90 s off makes the slots half a minute long.
TEST(EventTimeline, SlotsOfCycledContinuousAndSequencedFoxes) {
    const std::string text =
        "transmitterCount=4\nstepLength=60\ntransmitMode=cycled\n"
        "[fox A]\ncycleId=1\n"
        "[fox B]\ncycleId=3\n"
        "[beacon FINISH]\ntransmitMode=continuous\n"
        "[fox S]\ntransmitMode=sequenced\ntransmitSequence=03110900000000000000000000000000\n"
        "[fox T]\ntransmitMode=sequenced\n";
    std::string error;
    const std::optional<EventSetup> event = parseEventText(text, "", TimerSettings{}, error);
    ASSERT_TRUE(event) << error;
    const Timeline timeline = eventTimeline(*event);
    EXPECT_EQ(timeline.slotSeconds, 30);
    EXPECT_EQ(timeline.slotCount(), 8);
    EXPECT_EQ(formatTimelineText(timeline), "one cycle 4:00 (4 x 60 s), one character 30 s\n"
                                            "A       1  ##......\n"
                                            "B       3  ....##..\n"
                                            "FINISH  -  ########\n"
                                            "S       -  S...S...\n"
                                            "T       -  ????????\n"
                                            "S Single Tone\n"
                                            "T is sequenced, but the file sets no step table\n"
                                            "0:00 - 0:30: A and S on the air together\n"
                                            "1:00 - 2:00: no fox on the air\n"
                                            "2:00 - 2:30: B and S on the air together\n"
                                            "3:00 - 4:00: no fox on the air\n");
    ASSERT_EQ(timeline.conflicts.size(), 5u);
    EXPECT_EQ(timeline.conflicts[2].firstSlot, 2);
    EXPECT_EQ(timeline.conflicts[2].endSlot, 4);
}

} // namespace
