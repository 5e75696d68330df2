#include "cli/sound_commands.h"

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/console_interrupt.h"
#include "cli/console_panel.h"
#include "core/formats/wav_sound.h"
#include "core/operations/sound_upload.h"
#include "core/timer_settings.h"

namespace {

constexpr int largestMemoryKiB = 128;
constexpr int bytesPerKiB = 1024;

} // namespace

void checkSoundFile(const std::string& file) {
    const std::optional<std::vector<std::uint8_t>> content = readSoundFile(file);
    if (!content) throw UsageError(SoundSampleText::cannotOpen);
    // The format does not depend on the timer: the largest one converts any file it takes.
    if (!convertSoundFile(*content, largestMemoryKiB * bytesPerKiB, TimerClock::model684Hz))
        throw UsageError(SoundSampleText::notWav);
}

int uploadSound(OperationContext& op, ConsolePanel& panel, const std::string& file) {
    panel.answerFile(file);
    switch (loadSoundSample(op)) {
    case Outcome::done:
        return ExitStatus::ok;
    case Outcome::cancelled:
        return interruptedExit;
    case Outcome::failed:
        break;
    }
    return ExitStatus::failed;
}

int checkSound(const std::string& file, int clockHz, int memoryKiB, std::ostream& out, std::ostream& err) {
    // The same checks and messages as the upload, without a timer.
    if (memoryKiB == 0) {
        err << SoundSampleText::noExternalMemory << '\n';
        return ExitStatus::failed;
    }
    const std::optional<std::vector<std::uint8_t>> content = readSoundFile(file);
    if (!content) {
        err << SoundSampleText::cannotOpen << '\n';
        return ExitStatus::failed;
    }
    const std::optional<SoundSample> sample = convertSoundFile(*content, memoryKiB * bytesPerKiB, clockHz);
    if (!sample) {
        err << SoundSampleText::notWav << '\n';
        return ExitStatus::failed;
    }
    if (sample->truncated) err << SoundSampleText::truncated << '\n';
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", soundLineSeconds(sample->count));
    out << "inputSamples=" << sample->inputSamples << "\noutputSamples=" << sample->count
        << "\nblocks=" << soundBlockCount(sample->count) << "\nlineSeconds=" << seconds << '\n';
    return ExitStatus::ok;
}
