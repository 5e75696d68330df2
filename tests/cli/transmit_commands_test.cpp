// tavofoxctl transmit-sequence, tune, and write copying the tables, against the emulated timer.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/commands.h"
#include "core/formats/tone_sequence.h"
#include "ctl_run.h"
#include "support/emulated_timer.h"
#include "support/golden.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void programDefaults(TimerEmulator& timer) {
    loadGoldenImage(timer, "programmed_without_sound.hex");
}

Bytes cells(TimerEmulator& timer, int address, int length) {
    const auto& memory = timer.parameterMemory();
    return {memory.begin() + address, memory.begin() + address + length};
}

Bytes tableOf(std::initializer_list<std::uint8_t> head) {
    Bytes table(16, 0);
    std::copy(head.begin(), head.end(), table.begin());
    return table;
}

class TransmitCommands : public ::testing::Test {
protected:
    void SetUp() override { timer.runner->withEmulator(programDefaults); }
    std::string port() const { return std::to_string(timer.runner->port()); }
    EmulatorCounters counters() {
        return timer.with([](TimerEmulator& e) { return e.counters(); });
    }
    // The bytes the timer received since the last wake.
    Bytes sinceWake() {
        const Bytes all = counters().received;
        const auto wake = std::find(all.rbegin(), all.rend(), '!');
        return {wake.base(), all.end()};
    }
    EmulatedTimer timer;
};

TEST_F(TransmitCommands, TransmitSequenceStepsAreRoundedCheckedAndWritten) {
    CtlResult run = tavofoxctl({"--port", port(), "transmit-sequence", "30:single-tone", "995:cw-message",
                                "4:ringtone", "60:tone-sequence"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return cells(e, 16, 16); }),
              tableOf({3, 0x11, 100, 0x41, 0, 0x05, 6, 0x09}));
    EXPECT_EQ(counters().applyCount, 0);

    const int wakes = counters().wakeCount;
    for (const std::vector<std::string>& steps :
         {std::vector<std::string>{"60:single-tone", "0:single-tone", "120:single-tone"},
          {"0:no-transmit", "60:wave-file", "60:wave-file"},
          {"4:sound-effect", "60:sound-effect"}}) {
        std::vector<std::string> args{"--port", port(), "transmit-sequence"};
        args.insert(args.end(), steps.begin(), steps.end());
        run = tavofoxctl(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "Less than two steps in sequence!!\n");
    }
    run = tavofoxctl({"--port", port(), "transmit-sequence", "60:no-transmit", "1001:no-transmit"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "step 2 \"1001:no-transmit\": Please enter an integer between 0 and 1000.\n");
    for (const std::vector<std::string>& steps : {std::vector<std::string>{},
                                                  {"60"},
                                                  {"60:ringtone-melody", "60:cw-message"},
                                                  {"60:CW-message"},
                                                  std::vector<std::string>(7, "60:cw-message")}) {
        std::vector<std::string> args{"--port", port(), "transmit-sequence"};
        args.insert(args.end(), steps.begin(), steps.end());
        EXPECT_EQ(tavofoxctl(args).status, 2);
    }
    // Refused steps never wake the timer.
    EXPECT_EQ(counters().wakeCount, wakes);
}

TEST_F(TransmitCommands, TuneSendsEachLineAndEndsTuning) {
    CtlResult run = tavofoxctl({"--port", port(), "tune"}, "-4\n+9\nfast\n\n 2 \nok\n-1\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "-4 echoed\n+2 echoed\n");
    EXPECT_NE(run.err.find("Don't forget to write the configuration !!\n"), std::string::npos);
    EXPECT_EQ(sinceWake(), (Bytes{'V', 'R', 'C', 0x00, 0x1C, 0x02, 0x80}));
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.parameterMemory()[9]; }), 0x00);

    // cancel: nothing changes, tuning still ends.
    run = tavofoxctl({"--port", port(), "tune", "--write"}, "3\ncancel\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(sinceWake(), (Bytes{'V', 'R', 'C', 0x00, 0x03, 0x80}));
    EXPECT_EQ(run.err.find("Don't forget"), std::string::npos);

    // The end of the input keeps the last trim; --write writes it at once.
    run = tavofoxctl({"--port", port(), "tune", "--write"}, "-2\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("Don't forget"), std::string::npos);
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.parameterMemory()[9]; }), 0x1E);
    EXPECT_EQ(counters().applyCount, 1);
    EXPECT_FALSE(timer.with([](TimerEmulator& e) { return e.tuning(); }));

    EXPECT_EQ(tavofoxctl({"--port", port(), "tune", "--now"}).status, 2);
}

TEST_F(TransmitCommands, WriteCopiesTheTablesOfAFileBeforeTheConfiguration) {
    ASSERT_EQ(tavofoxctl({"--port", port(), "transmit-sequence", "30:single-tone", "60:cw-message"}).status,
              0);
    ASSERT_EQ(tavofoxctl({"--port", port(), "tone-sequence", "800,10,1200,10"}).status, 0);
    const CtlResult first = tavofoxctl({"--port", port(), "read"});
    ASSERT_EQ(first.status, 0);
    const std::string file = timer.home.path() + "/fox.txt";
    std::ofstream(file) << first.out;

    TimerEmulator secondTimer;
    programDefaults(secondTimer);
    PtyRunner second(secondTimer, timer.runner->port() + 1);
    second.start();
    const std::string secondPort = std::to_string(second.port());
    CtlResult copy = tavofoxctl({"--port", secondPort, "write", "--from", file, "cycleId=3"});
    ASSERT_EQ(copy.status, 0) << copy.err;
    std::string expected = first.out;
    expected.replace(expected.find("cycleId=1"), 9, "cycleId=3");
    EXPECT_EQ(tavofoxctl({"--port", secondPort, "read"}).out, expected);

    // Table, tones, then the configuration.
    Bytes received;
    second.withEmulator([&received](TimerEmulator& e) { received = e.counters().received; });
    std::vector<int> addresses;
    for (std::size_t i = 0; i + 1 < received.size(); ++i)
        if (received[i] == 'W') addresses.push_back(received[i + 1]);
    // The CW block goes with the configuration block, the empty text as zeros.
    EXPECT_EQ(addresses, (std::vector<int>{16, 64, 0, 32}));

    // Tables the timer holds already are not written again, only the changed cycle ID with its
    // CW block; a refused value writes nothing.
    copy = tavofoxctl({"--port", secondPort, "write", "--from", file});
    ASSERT_EQ(copy.status, 0) << copy.err;
    int blocks = 0;
    second.withEmulator([&blocks](TimerEmulator& e) { blocks = e.counters().writeBlocks; });
    EXPECT_EQ(blocks, 6);
    for (const char* refused : {"transmitSequence=0611", "toneSequenceText=800,10"}) {
        copy = tavofoxctl({"--port", secondPort, "write", refused});
        EXPECT_EQ(copy.status, 2);
        EXPECT_NE(copy.err, "");
    }
    second.withEmulator([&blocks](TimerEmulator& e) { blocks = e.counters().writeBlocks; });
    EXPECT_EQ(blocks, 6);
    second.stop();
}

// The program as a user runs it, stopped with Ctrl-C while it waits for the next trim.
TEST_F(TransmitCommands, CtrlCWhileTuningStillEndsTuning) {
    const char* binDir = std::getenv("TAVOFOX_BIN_DIR");
    const std::string program = std::string(binDir ? binDir : "build/bin") + "/tavofoxctl";
    int input[2], output[2];
    ASSERT_EQ(pipe(input), 0);
    ASSERT_EQ(pipe(output), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        for (int fd : {input[0], input[1], output[0], output[1], null})
            close(fd);
        const std::string portText = port();
        execl(program.c_str(), "tavofoxctl", "--port", portText.c_str(), "tune", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    ASSERT_EQ(write(input[1], "-3\n", 3), 3);

    std::string out;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (out.find('\n') == std::string::npos && std::chrono::steady_clock::now() < giveUp) {
        pollfd ready{output[0], POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) continue;
        char buffer[64];
        const ssize_t got = read(output[0], buffer, sizeof buffer);
        if (got <= 0) break;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_EQ(out, "-3 echoed\n");
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    close(input[1]);
    close(output[0]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(sinceWake(), (Bytes{'V', 'R', 'C', 0x00, 0x1D, 0x80}));
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.parameterMemory()[9]; }), 0x00);
}

} // namespace
