// tavofoxctl ringtone: the block printed, the preview rendered to a WAV file, and the
// melody sent to the emulated timer.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/commands.h"
#include "core/formats/config_image.h"
#include "ctl_run.h"
#include "support/emulated_timer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string data(const std::string& name) {
    return std::string(TAVOFOX_TEST_DATA) + "/ringtone/" + name;
}

Bytes readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::uint32_t little(const Bytes& b, std::size_t at, int bytes) {
    std::uint32_t value = 0;
    for (int k = bytes - 1; k >= 0; --k)
        value = value << 8 | b[at + static_cast<std::size_t>(k)];
    return value;
}

TEST(RingtoneCommands, EncodePrintsTheBlockAndItsSizes) {
    CtlResult run = tavofoxctl({"ringtone", "encode", data("worked_example_crlf.rtt")});
    EXPECT_EQ(run.status, 0) << run.err;
    std::string expected = "80 9A 9F D0 C0 4C A1 20 01 F4 21 00 00 00 00 00\n";
    for (int line = 1; line < 8; ++line)
        expected += "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n";
    EXPECT_EQ(run.out, expected + "notesDefined=4\neeDataSize=12\n");
    EXPECT_EQ(run.err, "");

    run = tavofoxctl({"ringtone", "encode", data("octave8.rtt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Octave 8 (notes > 3000 Hz)\nis not supported\n");
    EXPECT_EQ(tavofoxctl({"ringtone", "encode"}).status, 2);
}

TEST(RingtoneCommands, WavHoldsThePreviewAtItsLengthAndPitch) {
    TempConfigHome home;
    const std::string wav = home.path() + "/example.wav";
    const CtlResult run =
        tavofoxctl({"ringtone", "wav", data("worked_example_crlf.rtt"), wav, "--rate", "22050"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Bytes file = readFile(wav);
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(little(file, 22, 2), 1u);     // mono
    EXPECT_EQ(little(file, 24, 4), 22050u); // rate
    EXPECT_EQ(little(file, 34, 2), 16u);    // bits
    // 8a, 4a, 8c.6 and p at 120 beats of a quarter: 250 + 500 + 375 + 500 ms.
    const std::uint32_t samples = 1625 * 22050 / 1000;
    EXPECT_EQ(little(file, 40, 4), samples * 2);
    ASSERT_EQ(file.size(), 44 + samples * 2);

    const auto sample = [&file](std::size_t n) {
        return static_cast<std::int16_t>(little(file, 44 + 2 * n, 2));
    };
    // The quarter note A from 250 to 750 ms: 440 Hz, two sign changes a period.
    int crossings = 0;
    for (std::size_t n = 300 * 22050 / 1000; n < 700 * 22050 / 1000; ++n)
        crossings += (sample(n) < 0) != (sample(n + 1) < 0);
    EXPECT_NEAR(crossings, 2 * 440 * 0.4, 2);
    // The pause is silence, and the first note starts from silence.
    for (std::size_t n = 1250 * 22050 / 1000; n < samples; ++n)
        ASSERT_EQ(sample(n), 0) << n;
    EXPECT_EQ(sample(0), 0);

    EXPECT_EQ(tavofoxctl({"ringtone", "wav", data("worked_example_crlf.rtt"), wav, "--rate", "8000"}).status,
              2);
    EXPECT_EQ(tavofoxctl({"ringtone", "wav", data("no_tempo.rtt"), wav}).status, 1);
}

TEST(RingtoneCommands, SendWritesTheMelodyThenTheConfiguration) {
    EmulatedTimer timer;
    timer.with([](TimerEmulator& e) {
        const ConfigBlock block = encodeConfigBlock(TimerSettings{}, 8000000);
        std::copy(block.begin(), block.end(), e.parameterMemory().begin());
        std::fill(e.parameterMemory().begin() + 13, e.parameterMemory().begin() + 128, 0);
    });
    const std::string port = std::to_string(timer.runner->port());

    // A tempo out of range is refused before the timer is reached.
    CtlResult run =
        tavofoxctl({"--port", port, "ringtone", "send", data("worked_example_crlf.rtt"), "--bpm", "0"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "--bpm: Please enter an integer between 25 and 600.\n");
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; }), 0);

    run = tavofoxctl({"--port", port, "ringtone", "send", data("worked_example_crlf.rtt"), "--bpm", "60",
                      "--no-staccato"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    // W = 4 x 60000 / 60 = 4000; no staccato bit.
    const Bytes melody{0x80, 0x9A, 0xBE, 0xE0, 0x80, 0x4C, 0xA1, 0x20, 0x01, 0xF4, 0x21, 0x00};
    EXPECT_EQ(Bytes(memory.begin() + 128, memory.begin() + 140), melody);
    EXPECT_EQ(memory[0], 0x04); // Continuous, Ringtone

    const Bytes received = timer.with([](TimerEmulator& e) { return e.counters().received; });
    const Bytes melodyHead{'W', 128, 128, 0x80, 0x9A};
    const Bytes configHead{'W', 0, 13};
    const auto melodyAt = std::search(received.begin(), received.end(), melodyHead.begin(), melodyHead.end());
    const auto configAt = std::search(received.begin(), received.end(), configHead.begin(), configHead.end());
    ASSERT_NE(melodyAt, received.end());
    EXPECT_GT(configAt - melodyAt, 130);
    EXPECT_EQ(received.back(), '@');
}

} // namespace
