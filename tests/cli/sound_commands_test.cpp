// tavofoxctl's sound commands: the check without a timer, and the upload to the software timer.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/commands.h"
#include "ctl_run.h"
#include "support/emulated_timer.h"
#include "support/golden.h"
#include "support/sound_files.h"

namespace {} // namespace

TEST(SoundCommands, CheckPrintsTheFiguresOfTheUploadOrTheRefusal) {
    TempConfigHome home;
    const std::string fiveSeconds = home.path() + "/five.wav";
    writeBytes(fiveSeconds, canonicalWav(55125));

    const CtlResult check =
        tavofoxctl({"sound", "check", fiveSeconds, "--clock", "10000000", "--memory", "64"});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.out, "inputSamples=55125\noutputSamples=48824\nblocks=1526\nlineSeconds=40.22\n");
    EXPECT_EQ(check.err, "");

    // The defaults, 8 MHz and 64 KiB: the input limit, then the cut to the memory.
    const CtlResult limited = tavofoxctl({"sound", "check", fiveSeconds, "--memory", "32"});
    EXPECT_EQ(limited.status, 0);
    EXPECT_EQ(limited.out, "inputSamples=49152\noutputSamples=32768\nblocks=1024\nlineSeconds=26.99\n");
    EXPECT_EQ(limited.err, "Warning: Sound Sample too large, truncated\n");

    const CtlResult stereo = tavofoxctl({"sound", "check", soundDataPath("stereo8.wav")});
    EXPECT_EQ(stereo.status, 1);
    EXPECT_EQ(stereo.out, "");
    EXPECT_EQ(stereo.err,
              "ERROR: Input file is not of 11.025kHz 8-bit Mono .WAV type, or no file detected.\n\n");
    EXPECT_EQ(tavofoxctl({"sound", "check", home.path() + "/absent.wav"}).status, 1);

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"sound", "check", fiveSeconds, "--clock", "4000000"},
          std::vector<std::string>{"sound", "check", fiveSeconds, "--memory"},
          std::vector<std::string>{"sound", "verify", fiveSeconds}})
        EXPECT_EQ(tavofoxctl(wrong).status, 2) << wrong[1];
}

TEST(SoundCommands, UploadGoesToTheTimersMemory) {
    EmulatedTimer timer(TimerEmulator::Model::Pic684, 64, 2, 1, 11);
    const CtlResult upload = tavofoxctl({"--port", "11", "sound", soundDataPath("square.wav")});
    EXPECT_EQ(upload.status, 0) << upload.err;
    EXPECT_EQ(upload.err, "Sound Sample succesful downloaded to timer\n");
    const std::vector<std::uint8_t> golden = goldenBytes("sound/square_8000000.hex");
    const auto memory = timer.with([](TimerEmulator& e) { return e.externalMemory(); });
    EXPECT_TRUE(std::equal(golden.begin(), golden.end(), memory.begin()));
    EXPECT_EQ(timer.with([](TimerEmulator& e) { return e.parameterMemory()[13]; }), 180);

    const CtlResult refused = tavofoxctl({"--port", "11", "sound", soundDataPath("pcm16.wav")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err,
              "ERROR: Input file is not of 11.025kHz 8-bit Mono .WAV type, or no file detected.\n\n");
}

// The upload writes the sample length at 13; --verify reads it back.
TEST(SoundCommands, VerifyComparesTheLengthField) {
    EmulatedTimer timer(TimerEmulator::Model::Pic684, 64, 2, 1, 12);
    CtlResult run = tavofoxctl({"--port", "12", "sound", soundDataPath("square.wav"), "--verify"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("\nverified: sound length at 13\n"), std::string::npos) << run.err;

    timer.with([](TimerEmulator& e) { e.faults().flipStoredAddress = 13; });
    run = tavofoxctl({"--port", "12", "sound", soundDataPath("square.wav"), "--verify"});
    EXPECT_EQ(run.status, 1);
    // 180 samples: B4 written, B5 kept, named as the form names the length.
    EXPECT_NE(run.err.find("verify failed: Table length: written 180, the timer holds 181 (cell 13)\n"),
              std::string::npos)
        << run.err;
}
