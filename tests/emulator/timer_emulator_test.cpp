// The software timer's side of the protocol, byte for byte, without a line.

#include <filesystem>
#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include "core/link/timer_command.h"
#include "emulator/timer_emulator.h"
#include "support/emulated_timer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes feed(TimerEmulator& timer, const Bytes& bytes) {
    Bytes replies;
    for (std::uint8_t byte : bytes) {
        const Bytes reply = timer.receive(byte);
        replies.insert(replies.end(), reply.begin(), reply.end());
    }
    return replies;
}

} // namespace

TEST(TimerEmulator, IdentityBytesFollowModelMemoryAndFirmware) {
    using Model = TimerEmulator::Model;
    EXPECT_EQ(TimerEmulator().identityBytes(), (std::array<std::uint8_t, 2>{0x12, 0x21}));
    EXPECT_EQ(TimerEmulator(Model::Pic628A, 128, 2, 1).identityBytes(),
              (std::array<std::uint8_t, 2>{0x04, 0x21}));
    EXPECT_EQ(TimerEmulator(Model::Pic684, 32, 3, 0).identityBytes(),
              (std::array<std::uint8_t, 2>{0x11, 0x30}));
    EXPECT_EQ(TimerEmulator(Model::Pic684, 0, 2, 15).identityBytes(),
              (std::array<std::uint8_t, 2>{0x10, 0x2F}));
    // A size the timer cannot have is no memory at all.
    TimerEmulator odd(Model::Pic684, 100);
    EXPECT_EQ(odd.identityBytes()[0], 0x10);
    EXPECT_TRUE(odd.externalMemory().empty());
    EXPECT_EQ(TimerEmulator(Model::Pic684, 128).externalMemory().size(), 131072u);
}

TEST(TimerEmulator, AnswersCommandsAndIgnoresUnknownBytes) {
    TimerEmulator timer;
    EXPECT_EQ(feed(timer, {'!'}), Bytes{'!'});
    EXPECT_EQ(feed(timer, {'V'}), (Bytes{'V', 0x12, 0x21}));
    const Bytes image = feed(timer, {'R'});
    ASSERT_EQ(image.size(), 129u);
    EXPECT_EQ(image[0], 'R');
    for (std::size_t i = 1; i < image.size(); ++i)
        EXPECT_EQ(image[i], 0xFF) << i;
    EXPECT_EQ(feed(timer, {'@', '@'}), (Bytes{'@', '@'}));
    EXPECT_EQ(timer.counters().applyCount, 2);
    EXPECT_FALSE(timer.testMode());
    EXPECT_EQ(feed(timer, {'T'}), Bytes{'T'});
    EXPECT_TRUE(timer.testMode());
    EXPECT_TRUE(feed(timer, {0x01, 'G', 0x80}).empty());
    timer.reset();
    EXPECT_FALSE(timer.testMode());
    EXPECT_EQ(timer.counters().wakeCount, 1);
    EXPECT_EQ(timer.counters().bytesReceived, 9);

    timer.faults().wakeAnswersGreater = true;
    EXPECT_EQ(feed(timer, {'!'}), Bytes{'>'});
}

TEST(TimerEmulator, WriteBlockStoresWrapsAndAcknowledgesEachByte) {
    TimerEmulator timer;
    EXPECT_EQ(feed(timer, {'W', 254, 3, 0xA1, 0xA2, 0xA3}), (Bytes{'W', 254, 3, '#', '#', '#'}));
    EXPECT_EQ(timer.parameterMemory()[254], 0xA1);
    EXPECT_EQ(timer.parameterMemory()[255], 0xA2);
    EXPECT_EQ(timer.parameterMemory()[0], 0xA3);
    EXPECT_EQ(timer.parameterMemory()[1], 0xFF);
    EXPECT_EQ(timer.counters().writeBlocks, 1);
    // An empty block ends with its count byte; the next byte is a command again.
    EXPECT_EQ(feed(timer, {'W', 5, 0, '@'}), (Bytes{'W', 5, 0, '@'}));
    EXPECT_EQ(timer.counters().writeBlocks, 2);
    EXPECT_EQ(feed(timer, {'R'})[1], 0xA3);
}

TEST(TimerEmulator, UploadChecksConfirmsAndRejects) {
    TimerEmulator timer; // 64 KiB
    Bytes block = {'U', 32, 0x01, 0x00, 0x10};
    block.insert(block.end(), 32, 0xFF);
    Bytes expected = {'U', 32, 0x01, 0x00, 0x10, 0xE0};
    EXPECT_EQ(feed(timer, block), expected);
    timer.externalMemory()[0x10] = 0x00;
    EXPECT_EQ(feed(timer, {'G'}), (Bytes{'G', '#'}));
    // 0x010010 lies beyond 64 KiB and wraps to 0x0010.
    EXPECT_EQ(timer.externalMemory()[0x10], 0xFF);

    Bytes counting = {'U', 4, 0x00, 0x02, 0x00, 10, 20, 30, 40};
    EXPECT_EQ(feed(timer, counting).back(), 100);
    EXPECT_EQ(feed(timer, {'X'}), Bytes{'X'});
    EXPECT_EQ(timer.externalMemory()[0x200], 0xFF);

    timer.faults().wrongChecksum = true;
    EXPECT_EQ(feed(timer, counting).back(), 101);
    EXPECT_EQ(feed(timer, {'G'}), (Bytes{'G', '#'}));
    EXPECT_EQ(timer.externalMemory()[0x203], 40);
    EXPECT_EQ(timer.counters().uploadBlocksConfirmed, 2);
    EXPECT_EQ(timer.counters().uploadBlocksRejected, 1);

    // Without external memory a confirmed block goes nowhere, and nothing breaks.
    TimerEmulator bare(TimerEmulator::Model::Pic684, 0);
    EXPECT_EQ(feed(bare, {'U', 0, 0, 0, 0}), (Bytes{'U', 0, 0, 0, 0, 0}));
    EXPECT_EQ(feed(bare, {'G'}), (Bytes{'G', '#'}));
}

TEST(TimerEmulator, TuningTakesSignedTrimUntilEnd) {
    TimerEmulator timer;
    EXPECT_EQ(feed(timer, {'C', 0x10}), (Bytes{'C', 0x10}));
    EXPECT_TRUE(timer.tuning());
    EXPECT_EQ(timer.trim(), -16);
    feed(timer, {0x1C});
    EXPECT_EQ(timer.trim(), -4);
    feed(timer, {0x0F});
    EXPECT_EQ(timer.trim(), 15);
    EXPECT_TRUE(feed(timer, {0x40}).empty());
    EXPECT_EQ(feed(timer, {0x80}), Bytes{0x80});
    EXPECT_FALSE(timer.tuning());
    EXPECT_TRUE(feed(timer, {0x1F}).empty());
    EXPECT_EQ(timer.trim(), 15);
}

TEST(TimerEmulator, ParameterMemoryKeepsToItsFile) {
    TempConfigHome scratch;
    const std::string path = scratch.path() + "/eeprom.bin";
    TimerEmulator timer;
    for (std::size_t i = 0; i < 256; ++i)
        timer.parameterMemory()[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(timer.saveParameterMemory(path));
    EXPECT_EQ(std::filesystem::file_size(path), 256u);

    TimerEmulator restarted;
    ASSERT_TRUE(restarted.loadParameterMemory(path));
    EXPECT_EQ(restarted.parameterMemory(), timer.parameterMemory());

    TimerEmulator fresh;
    EXPECT_FALSE(fresh.loadParameterMemory(scratch.path() + "/absent.bin"));
    for (std::size_t size : {255u, 257u}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(size, '\x01');
        EXPECT_FALSE(fresh.loadParameterMemory(path)) << size;
        EXPECT_EQ(fresh.parameterMemory()[0], 0xFF) << size;
    }
    EXPECT_FALSE(timer.saveParameterMemory(scratch.path() + "/no/such/folder/eeprom.bin"));
}

TEST(TimerEmulator, SampleMemoryKeepsToAFileOfItsSize) {
    TempConfigHome scratch;
    const std::string path = scratch.path() + "/eeprom.bin.samples";
    TimerEmulator timer(TimerEmulator::Model::Pic684, 32);
    feed(timer, {'U', 2, 0x00, 0x7F, 0xFE, 0x12, 0x34});
    feed(timer, {'G'});
    ASSERT_TRUE(timer.saveExternalMemory(path));
    EXPECT_EQ(std::filesystem::file_size(path), 32768u);

    TimerEmulator restarted(TimerEmulator::Model::Pic684, 32);
    ASSERT_TRUE(restarted.loadExternalMemory(path));
    EXPECT_EQ(restarted.externalMemory()[0x7FFE], 0x12);
    EXPECT_EQ(restarted.externalMemory()[0x7FFF], 0x34);
    EXPECT_EQ(restarted.externalMemory()[0], 0xFF);

    // A memory of another size is no image of this one.
    TimerEmulator larger(TimerEmulator::Model::Pic684, 64);
    EXPECT_FALSE(larger.loadExternalMemory(path));
    EXPECT_EQ(larger.externalMemory()[0x7FFE], 0xFF);
}
