// The setup file's reader: what it takes and, for what it refuses, the line it names.

#include <string>

#include <gtest/gtest.h>

#include "core/form/settings_text.h"

TEST(SetupText, TakesNamesAndNumbersAndRefusesNamingTheLine) {
    struct Case {
        const char* content;
        const char* error; // empty: taken
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF"
         "cycleId=3\ntransmitMode=cycled\naudioMode=cw-message\n",
         ""},
        {"transmitMode=1\naudioMode=1\ncycleId=3\n", ""},
        {"cycleId=3\n# fox 3\ncycleId=4\n", "line 3: cycleId given twice, first on line 1"},
        {"cycleId=3\r\nfoxColour=red\r\n", "line 2: unknown setting: \"foxColour\""},
        {"cycleId=3\n\xEF\xBB\xBF"
         "cwText=MOE\n",
         "line 2: unknown setting: \"\xEF\xBB\xBF"
         "cwText\""},
        {"cwText=MOE\ncycleId=11\n", "line 2: cycleId: Please enter an integer between 1 and 10."},
        {"ringtone=fox:d=4,o=6,b=63:8c8\n", "line 1: ringtone: not a melody the timer can play"},
        {"ringtoneBeatsPerMinute=20\n",
         "line 1: ringtoneBeatsPerMinute: Please enter an integer between 25 and 600."},
        {"toneSequenceText=800,10\n",
         "line 1: toneSequenceText: needs at least two tones, the first of some length"},
        {"cycleId=3\ntransmitMode=cylced\n",
         "line 2: transmitMode: takes continuous, cycled or sequenced, not \"cylced\""},
        {"cycleId=12345678901234567890\n", "line 1: cycleId: Please enter an integer between 1 and 10."},
        {"tableLength=abc\n", "line 1: tableLength: Please enter an integer."},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto setup = parseSetupText(c.content, "/events", TimerSettings{}, error);
        EXPECT_EQ(error, c.error) << c.content;
        if (*c.error != '\0') continue;
        ASSERT_TRUE(setup) << c.content;
        EXPECT_EQ(setup->settings.cycleId, 3);
        EXPECT_EQ(setup->settings.transmitMode, TransmitMode::cycled);
        EXPECT_EQ(setup->settings.audioMode, AudioMode::cwMessage);
    }
}

TEST(SetupText, EmptyBlocksAreNotSetAndTheSoundFileLivesBesideTheSetup) {
    std::string error;
    const std::string text =
        "transmitSequence=\ntoneSequenceText=\nringtone=fox:d=4,o=6,b=63:c,e,g\n"
        "ringtoneStaccato=0\nsoundFile=sounds/moe.wav\noscillatorTune=-2\ntableLength=9\n";
    const auto setup = parseSetupText(text, "/events", TimerSettings{}, error);
    ASSERT_TRUE(setup) << error;
    EXPECT_FALSE(setup->transmitSequenceSet);
    EXPECT_FALSE(setup->toneSequenceSet);
    EXPECT_TRUE(setupRingtoneMelody(*setup));
    EXPECT_EQ(setup->soundFile, "/events/sounds/moe.wav");
    // The timer's own settings are passed over, and a setup never writes them.
    EXPECT_EQ(setup->passedOver, (std::vector<std::string>{"oscillatorTune", "tableLength"}));
    EXPECT_EQ(setup->settings.oscillatorTune, 0);
    const std::string written = formatSetupText(*setup, "/events");
    EXPECT_NE(written.find("\ntransmitSequence=\ntoneSequenceText=\nringtone=fox:d=4,o=6,b=63:c,e,g\n"
                           "ringtoneBeatsPerMinute=\nringtoneStaccato=0\nsoundFile=sounds/moe.wav\n"),
              std::string::npos)
        << written;
    EXPECT_EQ(written.find("oscillatorTune"), std::string::npos);
    EXPECT_EQ(written.find("tableLength"), std::string::npos);
}
