#include "core/operations/sound_upload.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "core/formats/timer_memory_map.h"
#include "core/formats/utf8_path.h"
#include "core/formats/wav_sound.h"
#include "core/link/link_interrupt.h"
#include "core/link/timer_command.h"
#include "core/link/timer_session.h"
#include "core/operator_panel.h"
#include "core/settings_view.h"
#include "core/timer_settings.h"

namespace {

// More than any sample the largest memory takes, with room for chunks before the samples;
// a longer file is read only this far.
constexpr std::size_t soundFileReadLimit = std::size_t{64} << 20;

} // namespace

std::optional<std::vector<std::uint8_t>> readSoundFile(const std::string& path) {
    if (!readableAsFile(utf8Path(path))) return std::nullopt;
    std::ifstream file(utf8Path(path), std::ios::binary);
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> content;
    std::array<char, 65536> chunk{};
    while (content.size() < soundFileReadLimit && file.read(chunk.data(), chunk.size()).gcount() > 0) {
        const auto got = static_cast<std::size_t>(file.gcount());
        content.insert(content.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    }
    if (file.bad()) return std::nullopt;
    return content;
}

Outcome uploadSoundSample(OperationContext& op, std::span<const std::uint8_t> samples, std::size_t count) {
    WaitCursor wait(op.panel);
    // Declared after the wait cursor: the display closes first, then the cursor ends.
    const std::unique_ptr<ProgressHandle> progress = op.panel.openProgress("", false);
    if (progress) {
        progress->setText(SoundSampleText::progressText);
        progress->setRange(0, static_cast<int>(count), 1);
        progress->setPosition(0);
    }
    for (std::size_t offset = 0; offset < count; offset += SoundFormat::blockSize) {
        if (progress) {
            progress->setPosition(static_cast<int>(offset));
            progress->pump(true);
            // The display's cancel (Escape, its button or close box) is the operator's stop.
            if (progress->cancelled()) LinkInterrupt::request();
        }
        // The blocks sent so far stay in the timer; its length field still names the sample
        // it had, so nothing else is written.
        if (op.session.interrupted()) return Outcome::cancelled;
        std::array<std::uint8_t, SoundFormat::blockSize> block{};
        if (offset < samples.size())
            std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(offset),
                        std::min(block.size(), samples.size() - offset), block.begin());
        if (!op.session.uploadBlock(static_cast<std::uint32_t>(offset), SoundFormat::blockSize, block))
            return Outcome::failed;
    }
    op.panel.sleepMs(soundUploadSettleMs);
    return Outcome::done;
}

Outcome loadSoundSample(OperationContext& op) {
    const int memory = op.session.externalMemorySize();
    if (memory == 0) {
        op.panel.showMessage(SoundSampleText::noExternalMemory);
        return Outcome::failed;
    }
    const std::optional<std::string> path = op.panel.chooseFileToOpen(
        SoundSampleText::fileFilter, SoundSampleText::fileExtension, op.settings.audioFilePath);
    if (!path) return Outcome::cancelled;
    op.settings.audioFilePath = *path;
    const Outcome outcome = downloadSoundFile(op, *path);
    if (outcome == Outcome::done) op.panel.showMessage(SoundSampleText::downloaded);
    return outcome;
}

Outcome downloadSoundFile(OperationContext& op, const std::string& path) {
    const std::optional<std::vector<std::uint8_t>> content = readSoundFile(path);
    if (!content) {
        op.panel.showMessage(SoundSampleText::cannotOpen);
        return Outcome::failed;
    }
    const std::optional<SoundSample> sample =
        convertSoundFile(*content, op.session.externalMemorySize(), op.session.clockHz());
    if (!sample) {
        op.panel.showMessage(SoundSampleText::notWav);
        return Outcome::failed;
    }
    if (sample->truncated) op.panel.showMessage(SoundSampleText::truncated);

    const Outcome upload = uploadSoundSample(op, sample->bytes, sample->count);
    // The timer plays as many samples as its length field names: a length it did not take,
    // or an apply it did not echo, leaves a sample it may not play as uploaded.
    const auto failed = [&op] {
        op.panel.playErrorSound();
        op.panel.showMessage(SoundSampleText::downloadFailed);
        return Outcome::failed;
    };
    if (upload == Outcome::failed) return failed();
    // The length and its apply are one step: a stop asked for before the length leaves both
    // out, one asked for during its write leaves out neither.
    const std::array<std::uint8_t, 3> length = soundLengthBytes(sample->count);
    if (upload == Outcome::cancelled || !op.session.writeBlock(TimerMemoryMap::soundLengthAddress,
                                                               TimerMemoryMap::soundLengthLength, length)) {
        if (!op.session.interrupted()) return failed();
        op.panel.showMessage(SoundSampleText::downloadCancelled);
        return Outcome::cancelled;
    }
    if (!op.session.echoCommand(TimerCommand::apply)) return failed();
    op.settings.tableLength = static_cast<int>(sample->count);
    op.view.showForm(op.settings);
    return Outcome::done;
}
