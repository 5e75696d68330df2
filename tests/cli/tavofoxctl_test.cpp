#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "core/operations/write_log.h"
#include "ctl_run.h"
#include "support/emulated_timer.h"
#include "support/golden.h"

namespace {

// A timer that has been programmed once with the program's start values.
void programDefaults(TimerEmulator& timer) {
    loadGoldenImage(timer, "programmed_without_sound.hex");
}

std::string valueOf(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return "<missing>";
}

class TavofoxctlTest : public ::testing::Test {
protected:
    void SetUp() override { timer.runner->withEmulator(programDefaults); }
    std::string port() const { return std::to_string(timer.runner->port()); }
    EmulatedTimer timer;
};

TEST_F(TavofoxctlTest, ReadPrintsEveryStoredSettingAsKeyValueLines) {
    const CtlResult run = tavofoxctl({"--port", port(), "read"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "# timer: 684, 8 MHz, 64 KiB, firmware "
              "2.1\ntransmitterCount=5\nstepLength=60\nstartupDelay=0\ncycleId=1\ntransmitMode=continuous\n"
              "audioMode=single-tone\ncwText=\nautoShutdown=0\ntoneFrequency=800\nkeyed=0\nautoId=1\n"
              "cwSpeed=12\noutputLevel=1\ntableLength=0\nrecoveryBeaconDelay=0\noscillatorTune=0\n"
              "transmitSequence=00000000000000000000000000000000\ntoneSequenceText=\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(TavofoxctlTest, WriteChangesOnlyTheNamedSettingsAndAppliesThem) {
    const CtlResult write = tavofoxctl({"--port", port(), "write", "cycleId=3", "transmitMode=1",
                                        "cwText=moe", "toneFrequency=1000", "keyed=1", "oscillatorTune=-4"});
    ASSERT_EQ(write.status, 0) << write.err;
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().applyCount; }), 1);
    const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    EXPECT_EQ(memory[4], 2);    // cycle ID 3 is stored as 2
    EXPECT_EQ(memory[9], 0x1C); // trim -4 as five bits
    EXPECT_EQ(memory[32], 'M'); // letters go to the timer as capitals
    EXPECT_EQ(memory[35], 0);

    const CtlResult read = tavofoxctl({"--port", port(), "read"});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(valueOf(read.out, "cycleId"), "3");
    EXPECT_EQ(valueOf(read.out, "transmitMode"), "cycled");
    EXPECT_EQ(valueOf(read.out, "cwText"), "MOE");
    EXPECT_EQ(valueOf(read.out, "toneFrequency"), "1000");
    EXPECT_EQ(valueOf(read.out, "keyed"), "1");
    EXPECT_EQ(valueOf(read.out, "oscillatorTune"), "-4");
    EXPECT_EQ(valueOf(read.out, "transmitterCount"), "5");
}

TEST_F(TavofoxctlTest, SetupFileWritesItsRingtoneWithItsOwnTempoAndStaccato) {
    const std::string file = timer.home.path() + "/fox2.tavofox";
    std::ofstream(file) << "cycleId=2\nringtone=Example:d=4,o=5,b=120:8a,4a,8c.6,p\n"
                           "ringtoneBeatsPerMinute=60\nringtoneStaccato=0\n";
    const CtlResult run = tavofoxctl({"--port", port(), "write", "--from", file});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    // The worked example at 60 beats a minute without staccato.
    const std::vector<std::uint8_t> melody{0x80, 0x9A, 0xBE, 0xE0, 0x80, 0x4C,
                                           0xA1, 0x20, 0x01, 0xF4, 0x21, 0x00};
    EXPECT_EQ(std::vector<std::uint8_t>(memory.begin() + 128, memory.begin() + 140), melody);
    EXPECT_EQ(memory[4], 1); // cycle ID 2
}

TEST_F(TavofoxctlTest, SecondTimerIsProgrammedFromTheFirstOnesFile) {
    ASSERT_EQ(tavofoxctl({"--port", port(), "write", "transmitMode=1", "transmitterCount=4", "stepLength=90",
                          "cwText=MO5", "audioMode=1", "autoId=0"})
                  .status,
              0);
    TimerEmulator secondTimer;
    PtyRunner second(secondTimer, timer.runner->port() + 1);
    second.withEmulator(programDefaults);
    second.start();

    const CtlResult first = tavofoxctl({"--port", port(), "read"});
    ASSERT_EQ(first.status, 0);
    const std::string file = timer.home.path() + "/fox.txt";
    std::ofstream(file) << "# copied from the first fox\n\n" << first.out;
    const CtlResult copy =
        tavofoxctl({"--port", std::to_string(second.port()), "write", "--from", file, "cycleId=2"});
    ASSERT_EQ(copy.status, 0) << copy.err;

    const CtlResult again = tavofoxctl({"--port", std::to_string(second.port()), "read"});
    std::string expected = first.out;
    expected.replace(expected.find("cycleId=1"), 9, "cycleId=2");
    // The step length is held in tens of seconds.
    EXPECT_EQ(again.out, expected);
    EXPECT_EQ(valueOf(again.out, "stepLength"), "90");
    second.stop();
}

TEST_F(TavofoxctlTest, FoxOfAnEventIsWrittenWithTheEventsSettingsUnderItsOwn) {
    const std::string file = timer.home.path() + "/spring.tavofox";
    std::ofstream(file) << "transmitMode=cycled\ntransmitterCount=2\nstepLength=90\naudioMode=cw-message\n"
                           "[fox MOE]\ncycleId=1\ncwText=MOE\n[fox MOI]\ncycleId=2\ncwText=MOI\n"
                           "[beacon MO]\ntransmitMode=continuous\ncwText=MO\n";
    const CtlResult event = tavofoxctl({"event", file});
    EXPECT_EQ(event.status, 0) << event.err;
    EXPECT_EQ(event.out,
              "one cycle 3:00 (2 x 90 s), one character 90 s\nMOE  1  #.\nMOI  2  .#\nMO   -  ##\n");
    const CtlResult refused = tavofoxctl({"--port", port(), "write", "--from", file});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err,
              "tavofoxctl: " + file + ": this event holds the foxes MOE, MOI, MO: choose one with --fox\n");

    const struct {
        std::string fox;
        std::vector<std::uint8_t> config; // mode, options, delay, step, cycle ID, count
        std::string cw;
    } foxes[] = {{"MOI", {0x41, 0x05, 0, 9, 1, 2}, "MOI"}, {"MO", {0x40, 0x05, 0, 9, 1, 2}, "MO"}};
    for (const auto& [fox, config, cw] : foxes) {
        const CtlResult write = tavofoxctl({"--port", port(), "write", "--from", file, "--fox", fox});
        ASSERT_EQ(write.status, 0) << write.err;
        const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
        EXPECT_EQ(std::vector<std::uint8_t>(memory.begin(), memory.begin() + 6), config) << fox;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(memory.data()) + 32), cw);
        // The write log names the fox.
        const auto log = readWriteLog();
        ASSERT_TRUE(log && !log->empty());
        EXPECT_EQ(log->back().fox, fox);
    }
}

TEST_F(TavofoxctlTest, RefusedValueNamesItsKeyAndWritesNothing) {
    const int blocksBefore = timer.with([](TimerEmulator& e) { return e.counters().writeBlocks; });
    const std::pair<std::string, std::string> cases[] = {
        {"cycleId=11", "cycleId: Please enter an integer between 1 and 10.\n"},
        {"transmitterCount=255", "transmitterCount: Please enter an integer between 1 and 10.\n"},
        {"stepLength=6O", "stepLength: Please enter an integer.\n"},
        {"cwText=ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", "cwText: Please enter no more than 31 characters.\n"},
        {"cwText=\u00c4\u03a9", "cwText: the timer keys printable Latin-1 characters only, not U+03A9\n"},
        {"cwText=CQ\tDE", "cwText: the timer keys printable Latin-1 characters only, not U+0009\n"},
        {"cwText=\xC4", "cwText: not UTF-8 text\n"},
        {"oscillatorTune=16", "oscillatorTune: Please enter an integer between -16 and 15.\n"},
    };
    for (const auto& [assignment, message] : cases) {
        const CtlResult run = tavofoxctl({"--port", port(), "write", assignment});
        EXPECT_EQ(run.status, 2) << assignment;
        EXPECT_EQ(run.err, message) << assignment;
    }
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().writeBlocks; }), blocksBefore);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().applyCount; }), 0);
}

TEST_F(TavofoxctlTest, CwTextIsUtf8OnTheConsoleAndLatin1InTheTimer) {
    timer.with([](TimerEmulator& e) {
        const std::uint8_t umlauts[] = {0xC4, 0xD6, 0xDC, 0};
        std::copy(std::begin(umlauts), std::end(umlauts), e.parameterMemory().begin() + 32);
    });
    const CtlResult read = tavofoxctl({"--port", port(), "read"});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(valueOf(read.out, "cwText"), "\u00c4\u00d6\u00dc");
    const std::string file = timer.home.path() + "/fox.txt";
    std::ofstream(file) << read.out;

    timer.with([](TimerEmulator& e) { e.parameterMemory()[32] = 'X'; });
    CtlResult write = tavofoxctl({"--port", port(), "write", "--from", file});
    ASSERT_EQ(write.status, 0) << write.err;
    auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    EXPECT_EQ(std::vector<std::uint8_t>(memory.begin() + 32, memory.begin() + 36),
              (std::vector<std::uint8_t>{0xC4, 0xD6, 0xDC, 0}));

    // Small letters become capitals, as in the window; ß and ÿ have none in one byte.
    write = tavofoxctl({"--port", port(), "write", "cwText=gr\u00fc\u00dfe \u00ff"});
    ASSERT_EQ(write.status, 0) << write.err;
    memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    EXPECT_EQ(std::vector<std::uint8_t>(memory.begin() + 32, memory.begin() + 40),
              (std::vector<std::uint8_t>{'G', 'R', 0xDC, 0xDF, 'E', ' ', 0xFF, 0}));
}

TEST_F(TavofoxctlTest, ControlCharactersInTheCwBlockStayOnTheirLineAndAreRefusedByWrite) {
    // A garbled block whose line break would otherwise print a cycleId line of its own.
    timer.with([](TimerEmulator& e) {
        const std::string garbled = "AB\ncycleId=7\r";
        std::copy(garbled.begin(), garbled.end(), e.parameterMemory().begin() + 32);
        e.parameterMemory()[32 + garbled.size()] = 0;
    });
    const CtlResult read = tavofoxctl({"--port", port(), "read"});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(valueOf(read.out, "cwText"), "AB\uFFFDcycleId=7\uFFFD");
    EXPECT_EQ(valueOf(read.out, "cycleId"), "1");
    const std::string file = timer.home.path() + "/fox.txt";
    std::ofstream(file) << read.out;

    const int blocksBefore = timer.with([](TimerEmulator& e) { return e.counters().writeBlocks; });
    const CtlResult write = tavofoxctl({"--port", port(), "write", "--from", file});
    EXPECT_EQ(write.status, 2);
    EXPECT_EQ(write.err,
              file + ": line 8: cwText: the timer keys printable Latin-1 characters only, not U+FFFD\n");
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().writeBlocks; }), blocksBefore);
}

TEST_F(TavofoxctlTest, TimerNeverWrittenReadsAsTheStartValuesAndTakesOneKey) {
    timer.with([](TimerEmulator& e) { e.parameterMemory().fill(0xFF); });
    CtlResult run = tavofoxctl({"--port", port(), "read"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "No settings stored in the timer yet\n");
    EXPECT_EQ(run.out,
              "# timer: 684, 8 MHz, 64 KiB, firmware "
              "2.1\ntransmitterCount=5\nstepLength=60\nstartupDelay=0\ncycleId=1\ntransmitMode=continuous\n"
              "audioMode=single-tone\ncwText=\nautoShutdown=0\ntoneFrequency=800\nkeyed=0\nautoId=1\n"
              "cwSpeed=12\noutputLevel=1\ntableLength=0\nrecoveryBeaconDelay=0\noscillatorTune=0\n"
              "transmitSequence=\ntoneSequenceText=\n");

    run = tavofoxctl({"--port", port(), "write", "cycleId=2"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    const std::vector<std::uint8_t> block(memory.begin(), memory.begin() + 13);
    EXPECT_EQ(block, (std::vector<std::uint8_t>{0x10, 0x05, 0, 6, 1, 5, 0x24, 0x1A, 0, 0, 100, 0, 0}));
    run = tavofoxctl({"--port", port(), "read"});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(valueOf(run.out, "cycleId"), "2");
}

TEST_F(TavofoxctlTest, UsageErrorsNeverReachTheTimer) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"identify"},
                                                 {"--port", "x", "read"},
                                                 {"--port", port(), "fly"},
                                                 {"--port", port(), "write", "colour=red"},
                                                 {"--port", port(), "write", "soundEffect=1"},
                                                 {"--port", port(), "write", "cycleId"},
                                                 {"--port", port(), "write", "--from"},
                                                 {"--port", port(), "tone-sequence"},
                                                 {"--port", port(), "read", "extra"},
                                                 {"ports", "extra"}}) {
        const CtlResult run = tavofoxctl(args);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(run.err.find("tavofoxctl: "), std::string::npos);
    }
    // The window's sound effect choice is a setting the timer does not keep.
    EXPECT_EQ(tavofoxctl({"--port", port(), "write", "soundEffect=1"})
                  .err.rfind("tavofoxctl: the timer does not store \"soundEffect\"\n", 0),
              0U);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().wakeCount; }), 0);
}

TEST_F(TavofoxctlTest, SettingsFileThatCannotBeReadWholeIsAUsageError) {
    const std::string folder = timer.home.path();
    const std::string huge = folder + "/huge.txt";
    std::ofstream(huge) << std::string((1 << 20) + 1, '#');
    for (const std::string& from : {folder, std::string("/dev/zero"), huge, folder + "/missing.txt"}) {
        const CtlResult run = tavofoxctl({"--port", port(), "write", "--from", from});
        EXPECT_EQ(run.status, 2) << from;
        EXPECT_EQ(run.err.rfind("tavofoxctl: ", 0), 0u) << run.err;
    }

    // A bad line is named by its number and shown cut short, on one line.
    const std::string bad = folder + "/bad.txt";
    std::ofstream(bad) << "cycleId=2\n" << std::string(5000, 'x') << "\tend\n";
    const CtlResult run = tavofoxctl({"--port", port(), "write", "--from", bad});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
              "tavofoxctl: " + bad + ": line 2: expected key=value: \"" + std::string(80, 'x') + "\"...");
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().wakeCount; }), 0);
}

TEST_F(TavofoxctlTest, ToneSequenceIsDownloadedAndReadBackAsText) {
    CtlResult run = tavofoxctl({"--port", port(), "tone-sequence", "800,10,1200,10"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(valueOf(tavofoxctl({"--port", port(), "read"}).out, "toneSequenceText"), "800,10,1200,10");

    run = tavofoxctl({"--port", port(), "tone-sequence", "800,10"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "Less than two tones in sequence!!\n");
}

TEST_F(TavofoxctlTest, IdentifyTestModeAndReset) {
    CtlResult run = tavofoxctl({"--port", port(), "identify"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "TAVO Timer P:684 M:512K  v2.1\n");

    run = tavofoxctl({"--port", port(), "test-mode"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "     ***** Test Mode Enabled *****\nYou need to RESET the Timer to end this\n");
    EXPECT_TRUE(timer.with([](TimerEmulator& e) { return e.testMode(); }));

    EXPECT_EQ(tavofoxctl({"--port", port(), "reset"}).status, 0);

    run = tavofoxctl({"--port", "99", "identify"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "The serial port cannot be opened: " + CSerialException(ENOENT).message() + "\n");
}

// The trace holds the wake and the identify exchange byte by byte; --verify reads back what
// was written and names the first cell the timer stored otherwise.
TEST_F(TavofoxctlTest, TraceRecordsTheLineAndVerifyFindsACellStoredWrong) {
    const std::string trace = timer.home.path() + "/trace.txt";
    ASSERT_EQ(tavofoxctl({"--trace", trace, "--port", port(), "identify"}).status, 0);
    std::ifstream file(trace);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line.size() > 9 ? line.substr(9) : line);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "out 21 !"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "in  21 !"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "in  56 V"), lines.end());

    CtlResult run = tavofoxctl({"--port", port(), "write", "--verify", "cycleId=3", "cwText=MOE"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("verified: configuration block at 0, CW block at 32\n"), std::string::npos);

    // Cell 4 of the configuration block keeps each byte with its lowest bit turned.
    timer.with([](TimerEmulator& e) { e.faults().flipStoredAddress = 4; });
    run = tavofoxctl({"--port", port(), "write", "--verify", "cycleId=2"});
    EXPECT_EQ(run.status, 1);
    // Cycle ID 2 is stored as 1, kept as 0: named in the window's words, with the cell.
    EXPECT_NE(run.err.find("verify failed: Cycle ID of transmitter: written 2, the timer holds 1 (cell 4)\n"),
              std::string::npos)
        << run.err;

    // The ringtone block lies beyond what the timer sends back: a cell stored wrong there
    // passes unseen, as the help says.
    timer.with([](TimerEmulator& e) { e.faults().flipStoredAddress = 130; });
    run = tavofoxctl({"--port", port(), "ringtone", "send",
                      std::string(TAVOFOX_TEST_DATA) + "/ringtone/worked_example_crlf.rtt", "--verify"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("not verified: the ringtone block at 128 is not sent back by the timer\n"),
              std::string::npos);

    EXPECT_EQ(tavofoxctl({"--port", port(), "identify", "--verify"}).status, 2);
    EXPECT_EQ(tavofoxctl({"--port", port(), "tune", "--verify"}).status, 2);
}

// The programs as a user runs them: the emulator process offers a port, tavofoxctl
// lists it and identifies the timer behind it with real pauses.
TEST(TavofoxctlProgram, ListsAndIdentifiesTheEmulatorProcess) {
    TempConfigHome home;
    const std::string bin = std::getenv("TAVOFOX_BIN_DIR") ? std::getenv("TAVOFOX_BIN_DIR") : "build/bin";
    const std::string pidFile = home.path() + "/emulator.pid";
    ASSERT_EQ(
        std::system(
            (bin + "/tavofox-emulator --port 42 --model 628A --memory 128 > /dev/null & echo $! > " + pidFile)
                .c_str()),
        0);
    const auto link = std::filesystem::path(home.path()) / "VOSK/ports/com42";
    for (int i = 0; i < 100 && !std::filesystem::is_symlink(link); ++i)
        std::system("sleep 0.05");
    ASSERT_TRUE(std::filesystem::is_symlink(link));

    auto capture = [](const std::string& command) {
        std::string text;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[256];
            while (fgets(buffer, sizeof buffer, pipe))
                text += buffer;
            pclose(pipe);
        }
        return text;
    };
    EXPECT_NE(capture(bin + "/tavofoxctl ports").find("COM42\t/dev/pts/"), std::string::npos);
    EXPECT_EQ(capture(bin + "/tavofoxctl --port 42 identify"), "TAVO Timer P:628A M:1024K  v2.1\n");

    std::system(("kill $(cat " + pidFile + ")").c_str());
    for (int i = 0; i < 100 && std::filesystem::is_symlink(link); ++i)
        std::system("sleep 0.05");
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the emulator removes its port when it ends";
}

} // namespace

namespace {

// Every documented spelling of a command does what the first does, byte for byte on the line.
TEST_F(TavofoxctlTest, SpellingsOfOneCommandLineRunAlike) {
    const std::string p = port(), trace = timer.home.path() + "/trace.txt";
    const std::string device = timer.runner->devicePath();
    const std::vector<std::vector<std::vector<std::string>>> groups{
        {{"--port", p, "--trace", trace, "identify"},
         {"--trace", trace, "--port", p, "identify"},
         {"identify", "--port", p, "--trace", trace},
         {"--port=" + p, "identify"},
         {"--port", "COM" + p, "identify"},
         {"--port", device, "identify"}},
        {{"--port", p, "--trace", trace, "write", "--verify", "cycleId=5"},
         {"write", "cycleId=5", "--verify", "--trace", trace, "--port", p},
         {"--trace", trace, "write", "--verify", "--port", p, "cycleId=5"}},
        {{"--port", p, "tune", "--write", "--verify"}, {"tune", "--verify", "--port", p, "--write"}},
        {{"--port", p, "ringtone", "send",
          std::string(TAVOFOX_TEST_DATA) + "/ringtone/worked_example_crlf.rtt", "--bpm", "60",
          "--no-staccato"},
         {"ringtone", "send", "--no-staccato", "--bpm=60",
          std::string(TAVOFOX_TEST_DATA) + "/ringtone/worked_example_crlf.rtt", "--port", p}},
    };
    for (const auto& group : groups) {
        std::vector<std::uint8_t> firstBytes;
        CtlResult first{};
        for (const auto& args : group) {
            const std::size_t before =
                timer.with([](TimerEmulator& e) { return e.counters().received.size(); });
            const CtlResult run = tavofoxctl(args, "0\nok\n");
            const auto all = timer.with([](TimerEmulator& e) { return e.counters().received; });
            const std::vector<std::uint8_t> bytes(all.begin() + static_cast<std::ptrdiff_t>(before),
                                                  all.end());
            if (&args == &group.front()) {
                ASSERT_EQ(run.status, 0) << run.err;
                first = run;
                firstBytes = bytes;
                continue;
            }
            const std::string spelling = ::testing::PrintToString(args);
            EXPECT_EQ(run.status, first.status) << spelling;
            EXPECT_EQ(run.out, first.out) << spelling;
            EXPECT_EQ(run.err, first.err) << spelling;
            EXPECT_EQ(bytes, firstBytes) << spelling;
        }
    }
}

// A refused value is refused before the port is opened: on a port without a device it is
// still the refusal, not the port's failure, and the timer sees nothing.
TEST_F(TavofoxctlTest, RefusalsNameWhatTheyRefuseAndSendNothing) {
    const std::string empty = timer.home.path() + "/empty.rtt";
    std::ofstream{empty};
    const std::string tooFast = timer.home.path() + "/fast.rtt";
    std::ofstream(tooFast) << "fast:d=4,o=5,b=700:8a,4a\n";
    const std::string example = std::string(TAVOFOX_TEST_DATA) + "/ringtone/worked_example_crlf.rtt";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        // Values the timer would play wrong: a whole note of 4 x 60000 / 29 = 8275 ms keeps
        // 83 ms in its 13 bits; 30 Beats/Min (8000 ms) is the slowest a quarter allows.
        {{"ringtone", "send", example, "--bpm", "29"},
         "With Duration 4 the slowest tempo the timer plays is 30 Beats/Min: it keeps a whole note of at "
         "most "
         "8191 ms.\n"},
        {{"ringtone", "encode", tooFast}, "Please enter an integer between 25 and 600.\n"},
        {{"tone-sequence", "800,256,1200,10"}, "Tone 1: the timer keeps a duration of 0 to 255, not 256\n"},
        {{"tone-sequence", "800,10,99999,10"}, "Tone 2: the timer plays 0 to 7833 Hz, not 99999\n"},
        {{"tone-sequence", "-800,10,1200,10"}, "Tone 1: the timer plays 0 to 7833 Hz, not -800\n"},
        {{"write", "cycleId=11"}, "cycleId: Please enter an integer between 1 and 10.\n"},
        {{"tone-sequence", "800,10"}, "Less than two tones in sequence!!\n"},
        {{"transmit-sequence", "2000:cw-message", "60:single-tone"},
         "step 1 \"2000:cw-message\": Please enter an integer between 0 and 1000.\n"},
        {{"ringtone", "send", empty, "--bpm", "0"}, "--bpm: Please enter an integer between 25 and 600.\n"},
        {{"ringtone", "send", empty}, "Data can not be read from ringtone\nNo valid ringtone available\n"},
        {{"sound", empty},
         "ERROR: Input file is not of 11.025kHz 8-bit Mono .WAV type, or no file detected.\n\n"},
    };
    for (const std::string& where : {port(), std::string("99")}) {
        for (const auto& [command, message] : cases) {
            std::vector<std::string> args{"--port", where};
            args.insert(args.end(), command.begin(), command.end());
            const CtlResult run = tavofoxctl(args);
            EXPECT_EQ(run.status, 2) << command[0];
            EXPECT_EQ(run.err, message) << command[0];
        }
    }
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; }), 0);
}

// CLI11 checks the options; its refusals come in the program's words, before the port.
TEST_F(TavofoxctlTest, CommandLineRefusalsAreInTheProgramsWords) {
    const std::string folder = timer.home.path();
    const std::string file = folder + "/fox.txt";
    std::ofstream(file) << "cycleId=2\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--port", port(), "write", "--from", file, "--from", file}, "tavofoxctl: --from: given twice\n"},
        {{"--port", port(), "write", "cycleId=2", "cycleId=3"}, "tavofoxctl: cycleId: given twice\n"},
        {{"sound", "check", file, "--memory", "48"},
         "tavofoxctl: --memory: takes 0, 32, 64 or 128, not 48\n"},
        {{"ringtone", "wav", file, file + ".wav", "--rate", "8000"},
         "tavofoxctl: --rate: takes 16000 to 192000, not 8000\n"},
        {{"--port", folder, "identify"},
         "tavofoxctl: --port: " + folder + " is a folder, not a serial device\n"},
        {{"--port", file, "identify"},
         "tavofoxctl: --port: " + file + " is a regular file, not a serial device\n"},
        {{"--port", port(), "write", "--from", "/dev/zero"},
         "tavofoxctl: --from: /dev/zero is a device or pipe, not a file\n"},
        {{"--port", port(), "tune", "--verify"},
         "tavofoxctl: --verify needs --write. Run tavofoxctl tune --help\n"},
    };
    for (const auto& [args, message] : cases) {
        const CtlResult run = tavofoxctl(args);
        EXPECT_EQ(run.status, 2) << message;
        EXPECT_EQ(run.err, message);
    }
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; }), 0);
}

// A timer that fails within the CW block: the last line says whether the configuration
// before it was applied, which only an echoed apply tells. A wrong acknowledgement still
// finishes the block, so the apply is taken as a command, not stored as text.
TEST_F(TavofoxctlTest, ConfigurationBeforeAFailedCwBlockIsAppliedOnlyWhenTheTimerSaysSo) {
    // Wake, identify and read take 3 bytes, the configuration block 16; the wrong "#" comes
    // from byte 20 of every block on, which only the CW block reaches.
    const std::vector<std::pair<void (*)(TimerEmulator&), std::string>> cases{
        {[](TimerEmulator& e) { e.faults().silentAfterBytes = 25; },
         "configuration written, not applied; CW message not written\n"},
        {[](TimerEmulator& e) { e.faults().hashFaultAfterByte = 20; },
         "configuration applied; CW message not written\n"},
    };
    for (const auto& [injected, lastLine] : cases) {
        timer.with([fault = injected](TimerEmulator& e) {
            e.reset();
            e.faults() = EmulatorFaults{};
            fault(e);
        });
        const CtlResult run = tavofoxctl({"--port", port(), "write", "cycleId=3", "cwText=DE PA3XYZ FOX"});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.ends_with("Error in downloading CW Message\n" + lastLine)) << run.err;
        const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
        EXPECT_EQ(memory[4], 2); // cycle ID 3
        EXPECT_EQ(std::count(memory.begin() + 32, memory.begin() + 64, '@'), 0);
    }
}

} // namespace
