// "Load Sound " against the software timer on a pseudo-terminal, with a scripted operator.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/link/serial_port.h"
#include "core/operations/sound_upload.h"
#include "support/emulated_timer.h"
#include "support/golden.h"
#include "support/sound_files.h"

namespace {

constexpr std::uint8_t erased = 0xFF;
// What one block puts on the line towards the timer: U, count, three address bytes, the
// data and G.
constexpr int bytesPerBlock = 38;

std::vector<std::string> eventsFrom(const TestPanel& panel, const std::string& first) {
    const auto start = std::find(panel.events.begin(), panel.events.end(), first);
    return {start, panel.events.end()};
}

class SoundUploadTest : public ::testing::Test {
protected:
    explicit SoundUploadTest(int memoryKiB = 64) : timer(TimerEmulator::Model::Pic684, memoryKiB) {}

    void SetUp() override {
        ASSERT_TRUE(timer.session.wakeTimer());
        ASSERT_TRUE(timer.session.identifyTimer());
        timer.settings.tableLength = 7;
        timer.panel.events.clear();
    }

    std::array<std::uint8_t, 3> lengthField() {
        return timer.with([](TimerEmulator& e) {
            const auto& memory = e.parameterMemory();
            return std::array<std::uint8_t, 3>{memory[13], memory[14], memory[15]};
        });
    }
    int received() {
        return timer.with([](TimerEmulator& e) { return e.counters().bytesReceived; });
    }
    EmulatorCounters counters() {
        return timer.with([](TimerEmulator& e) { return e.counters(); });
    }

    EmulatedTimer timer;
};

class SmallMemoryTest : public SoundUploadTest {
protected:
    SmallMemoryTest() : SoundUploadTest(32) {}
};

TEST_F(SoundUploadTest, UploadWritesTheConvertedSampleItsLengthAndApplies) {
    timer.settings.audioFilePath = "/earlier/fox.wav";
    timer.panel.fileAnswer = soundDataPath("square.wav");
    ASSERT_EQ(loadSoundSample(timer.operation), Outcome::done)
        << ::testing::PrintToString(timer.panel.events);

    ASSERT_EQ(timer.panel.fileChoices.size(), 1u);
    EXPECT_EQ(timer.panel.fileChoices[0].filter, "Audio Files (*.wav)|*.wav|All Files (*.*)|*.*||");
    EXPECT_EQ(timer.panel.fileChoices[0].extension, "wav");
    EXPECT_EQ(timer.panel.fileChoices[0].initialName, "/earlier/fox.wav");
    EXPECT_EQ(timer.settings.audioFilePath, soundDataPath("square.wav"));

    const std::vector<std::uint8_t> golden = goldenBytes("sound/square_8000000.hex");
    const std::vector<std::uint8_t> memory = timer.with([](TimerEmulator& e) { return e.externalMemory(); });
    EXPECT_TRUE(std::equal(golden.begin(), golden.end(), memory.begin()));
    EXPECT_TRUE(std::all_of(memory.begin() + static_cast<std::ptrdiff_t>(golden.size()), memory.end(),
                            [](std::uint8_t b) { return b == erased; }));
    EXPECT_EQ(lengthField(), (std::array<std::uint8_t, 3>{180, 0, 0}));
    EXPECT_EQ(counters().applyCount, 1);
    EXPECT_EQ(timer.settings.tableLength, 181);
    ASSERT_TRUE(timer.panel.shownForm);
    EXPECT_EQ(timer.panel.shownForm->tableLength, 181);

    const TestPanel::Progress& progress = timer.panel.progress;
    EXPECT_EQ(progress.title, "");
    EXPECT_FALSE(progress.smooth);
    EXPECT_EQ(progress.text, "Downloading audio file");
    EXPECT_EQ(progress.lower, 0);
    EXPECT_EQ(progress.upper, 181);
    EXPECT_EQ(progress.positions, (std::vector<int>{0, 0, 32, 64, 96, 128, 160}));
    EXPECT_EQ(progress.pumps, 6);
    EXPECT_TRUE(progress.escapeCancels);
    EXPECT_EQ(timer.panel.events,
              (std::vector<std::string>{"file", "wait+", "progress+", "sleep 100", "progress-", "wait-",
                                        "showForm", "message Sound Sample succesful downloaded to timer"}));
}

TEST_F(SmallMemoryTest, TooLongASampleIsTruncatedToTheMemoryAndFillsIt) {
    const std::string path = timer.home.path() + "/long.wav";
    writeBytes(path, canonicalWav(60000, 0x5A));
    timer.panel.fileAnswer = path;
    ASSERT_EQ(loadSoundSample(timer.operation), Outcome::done);
    EXPECT_EQ(timer.panel.messageTexts(),
              (std::vector<std::string>{"Warning: Sound Sample too large, truncated",
                                        "Sound Sample succesful downloaded to timer"}));
    const std::vector<std::uint8_t> memory = timer.with([](TimerEmulator& e) { return e.externalMemory(); });
    EXPECT_EQ(memory, std::vector<std::uint8_t>(32768, 0x5A));
    EXPECT_EQ(counters().uploadBlocksConfirmed, 1024);
    EXPECT_EQ(lengthField(), (std::array<std::uint8_t, 3>{0xFF, 0x7F, 0x00}));
    EXPECT_EQ(timer.settings.tableLength, 32768);
}

TEST_F(SoundUploadTest, RefusedFilesSendNothingButBecomeTheNextInitialName) {
    const int before = received();
    timer.panel.fileAnswer.reset();
    EXPECT_EQ(loadSoundSample(timer.operation), Outcome::cancelled);
    EXPECT_TRUE(timer.panel.messages.empty());

    struct Case {
        std::string path;
        const char* message;
    };
    for (const Case& c :
         {Case{timer.home.path() + "/absent.wav", "ERROR: The Audiofile can not be opened\n"},
          Case{soundDataPath("stereo8.wav"),
               "ERROR: Input file is not of 11.025kHz 8-bit Mono .WAV type, or no file detected.\n"}}) {
        timer.panel.messages.clear();
        timer.panel.fileAnswer = c.path;
        EXPECT_EQ(loadSoundSample(timer.operation), Outcome::failed);
        EXPECT_EQ(timer.panel.messageTexts(), std::vector<std::string>{c.message});
        EXPECT_EQ(timer.settings.audioFilePath, c.path);
    }
    EXPECT_EQ(received(), before);
    EXPECT_EQ(timer.settings.tableLength, 7);

    // A timer without external memory is told so before any file is chosen.
    EmulatedTimer bare(TimerEmulator::Model::Pic684, 0, 2, 1, 8);
    ASSERT_TRUE(bare.session.wakeTimer() && bare.session.identifyTimer());
    bare.panel.fileAnswer = soundDataPath("square.wav");
    EXPECT_EQ(loadSoundSample(bare.operation), Outcome::failed);
    EXPECT_EQ(bare.panel.messageTexts(),
              std::vector<std::string>{"The Timer does not have external memory!"});
    EXPECT_TRUE(bare.panel.fileChoices.empty());
}

TEST_F(SoundUploadTest, CancelStopsBeforeTheNextBlockAndWritesNoLength) {
    timer.panel.fileAnswer = soundDataPath("square.wav");
    timer.panel.cancelAtPump = 2;
    EXPECT_EQ(loadSoundSample(timer.operation), Outcome::cancelled);

    EXPECT_EQ(counters().uploadBlocksConfirmed, 2);
    EXPECT_EQ(counters().received.back(), 'G');
    EXPECT_EQ(counters().writeBlocks, 0);
    EXPECT_EQ(counters().applyCount, 0);
    EXPECT_EQ(lengthField(), (std::array<std::uint8_t, 3>{erased, erased, erased}));
    EXPECT_EQ(timer.settings.tableLength, 7);
    // The display is closed, and the main window enabled again, before the operator is told.
    EXPECT_EQ(eventsFrom(timer.panel, "progress-"),
              (std::vector<std::string>{"progress-", "wait-", "message Sound sample download cancelled"}));
}

TEST_F(SoundUploadTest, FailuresSoundTheErrorAndLeaveTheLengthAlone) {
    const std::string failed = "message Error in downloading file to I2C memory";
    timer.panel.fileAnswer = soundDataPath("square.wav");

    // A checksum that does not match: the block is rejected with X and the upload ends.
    timer.with([](TimerEmulator& e) { e.faults().wrongChecksum = true; });
    EXPECT_EQ(loadSoundSample(timer.operation), Outcome::failed);
    EXPECT_EQ(counters().uploadBlocksRejected, 1);
    EXPECT_EQ(counters().uploadBlocksConfirmed, 0);
    EXPECT_EQ(counters().received.back(), 'X');
    EXPECT_EQ(eventsFrom(timer.panel, "progress-"),
              (std::vector<std::string>{"progress-", "wait-", "error", failed}));

    // The length block refused by the timer, after all blocks went in.
    timer.with([](TimerEmulator& e) {
        e.faults().wrongChecksum = false;
        e.faults().hashFaultAfterByte = 0;
    });
    timer.panel.events.clear();
    EXPECT_EQ(loadSoundSample(timer.operation), Outcome::failed);
    EXPECT_EQ(counters().uploadBlocksConfirmed, 6);
    EXPECT_EQ(eventsFrom(timer.panel, "error"), (std::vector<std::string>{"error", failed}));

    // The apply command not echoed: the timer goes silent right after the length block. It
    // still waits for the rest of the refused block: a reset first.
    timer.with([](TimerEmulator& e) {
        e.reset();
        e.faults().hashFaultAfterByte = -1;
        e.faults().silentAfterBytes = e.counters().bytesReceived + 6 * bytesPerBlock + 6;
    });
    timer.panel.events.clear();
    EXPECT_EQ(loadSoundSample(timer.operation), Outcome::failed);
    EXPECT_EQ(counters().uploadBlocksConfirmed, 12);
    EXPECT_EQ(counters().received.back(), '@');
    EXPECT_EQ(eventsFrom(timer.panel, "error"), (std::vector<std::string>{"error", failed}));

    EXPECT_EQ(counters().applyCount, 0);
    EXPECT_EQ(timer.settings.tableLength, 7);
    EXPECT_FALSE(timer.panel.shownForm);
    EXPECT_EQ(timer.panel.waitDepth, 0);
}

TEST_F(SoundUploadTest, PulledCableEndsTheUploadWithThePortsFailure) {
    timer.panel.fileAnswer = soundDataPath("square.wav");
    timer.with([](TimerEmulator& e) {
        e.faults().dropLineAfterBytes = e.counters().bytesReceived + 2 * bytesPerBlock + 10;
    });
    EXPECT_THROW(loadSoundSample(timer.operation), CSerialException);
    EXPECT_EQ(counters().uploadBlocksConfirmed, 2);
    EXPECT_FALSE(timer.panel.progress.open);
    EXPECT_EQ(timer.panel.waitDepth, 0);
    EXPECT_EQ(timer.settings.tableLength, 7);
    EXPECT_TRUE(timer.panel.messages.empty());
}

} // namespace
