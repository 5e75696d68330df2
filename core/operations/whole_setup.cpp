#include "core/operations/whole_setup.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "core/form/settings_table.h"
#include "core/formats/config_image.h"
#include "core/formats/cw_message.h"
#include "core/formats/tone_sequence.h"
#include "core/formats/utf8.h"
#include "core/formats/utf8_path.h"
#include "core/link/timer_command.h"
#include "core/operations/configuration.h"
#include "core/operations/ringtone_load.h"
#include "core/operations/sound_upload.h"
#include "core/operations/tone_sequence_edit.h"
#include "core/operations/transmit_sequence_edit.h"
#include "core/operations/write_log.h"
#include "core/operator_panel.h"
#include "core/settings_view.h"
#include "core/timer_settings.h"

namespace {

constexpr std::size_t trimCell = 9;

std::string withArguments(std::string text, std::string_view first, std::string_view second = {},
                          std::string_view third = {}) {
    for (auto [mark, value] :
         {std::pair{std::string_view("%1"), first}, std::pair{std::string_view("%2"), second},
          std::pair{std::string_view("%3"), third}})
        if (const auto at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), value);
    return text;
}

// The first setting that reads differently in the two images, in the form's words; the
// first differing byte when the settings cannot show it.
ReadBackDifference describeDifference(const ConfigImage& written, const ConfigImage& held, int clockHz) {
    TimerSettings wrote;
    TimerSettings holds;
    written.decode(wrote, clockHz);
    held.decode(holds, clockHz);
    for (const SettingRow& row : settingsTable()) {
        if (!inSettingsText(row)) continue;
        const std::string a = settingValueText(row, wrote);
        const std::string b = settingValueText(row, holds);
        if (a != b)
            return {std::string(row.label) + ": written " + a + ", the timer holds " + b, row.address};
    }
    const auto at = std::mismatch(written.bytes.begin(), written.bytes.end(), held.bytes.begin());
    const int cell = static_cast<int>(at.first - written.bytes.begin());
    char text[96];
    std::snprintf(text, sizeof text, "Parameter memory byte %d: written %02X, the timer holds %02X", cell,
                  static_cast<unsigned>(*at.first), static_cast<unsigned>(*at.second));
    return {text, cell};
}

std::optional<ConfigImage> readImage(TimerSession& session) {
    ConfigImage image;
    if (!session.echoCommand(TimerCommand::readConfiguration) || !session.readReply(image.bytes))
        return std::nullopt;
    return image;
}

// The model and clock of a timer text ("684, 8 MHz"), which decide how values are encoded.
std::string_view kindOf(std::string_view timer) {
    const auto first = timer.find(',');
    return timer.substr(0, first == std::string_view::npos ? first : timer.find(',', first + 1));
}

template <std::size_t N>
bool holds(const ConfigImage& image, std::uint8_t address, const std::array<std::uint8_t, N>& block) {
    return std::equal(block.begin(), block.end(), image.bytes.begin() + address);
}

template <std::size_t N>
WrittenBlock blockOf(std::uint8_t address, const std::array<std::uint8_t, N>& bytes) {
    return {address, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
}

struct ReadBack {
    std::optional<ConfigImage> held;
    std::optional<ReadBackDifference> difference;
};

ReadBack compareReadBack(TimerSession& session, std::span<const WrittenBlock> blocks) {
    ReadBack back{readImage(session), std::nullopt};
    if (!back.held) {
        back.difference = ReadBackDifference{WholeSetupText::unreadable, std::nullopt};
        return back;
    }
    ConfigImage written = *back.held;
    for (const WrittenBlock& block : blocks)
        for (std::size_t i = 0; i < block.bytes.size() && block.address + i < written.bytes.size(); ++i)
            written.bytes[block.address + i] = block.bytes[i];
    if (written.bytes != back.held->bytes)
        back.difference = describeDifference(written, *back.held, session.clockHz());
    return back;
}

// What the setup write came to, before it is named and logged.
struct Result {
    SetupWriteResult result = SetupWriteResult::verified;
    std::string detail; // the failed block's message, the difference, the sound's state
    std::optional<int> cell;
    std::string note;
};

// The blocks of the setup, as the timer should hold them; the configuration block with the
// timer's own trim unless one is given apart.
struct SetupBlocks {
    std::optional<TransmitSequence> steps;
    std::optional<ToneSequenceBlock> tones;
    std::optional<RingtoneMelody> melody;
    ConfigBlock config{};
    CwMessageBlock cw{};
};

SetupBlocks blocksOf(const TimerSetup& setup, const ConfigImage& before, const SetupWriteRequest& request,
                     int clockHz) {
    SetupBlocks blocks;
    if (setup.transmitSequenceSet) blocks.steps = setup.settings.transmitSequence;
    if (setup.toneSequenceSet)
        blocks.tones = packToneSequence(parseToneSequenceText(setup.settings.toneSequenceText, clockHz));
    blocks.melody = setupRingtoneMelody(setup);
    TimerSettings settings = setup.settings;
    if (request.oscillatorTune) settings.oscillatorTune = *request.oscillatorTune;
    blocks.config = encodeConfigBlock(settings, clockHz);
    // The trim is the unit's calibration: the cell is kept as the timer holds it.
    if (!request.oscillatorTune) blocks.config[trimCell] = before.bytes[trimCell];
    blocks.cw = encodeCwMessage(setup.settings.cwText);
    return blocks;
}

Result writeBlocks(OperationContext& op, const TimerSetup& setup, const SetupWriteRequest& request,
                   std::vector<WrittenBlock>& intended) {
    TimerSession& session = op.session;
    WaitCursor wait(op.panel);
    const std::optional<ConfigImage> before = readImage(session);
    if (!before) return {SetupWriteResult::notRead, {}, {}, {}};
    const SetupBlocks blocks = blocksOf(setup, *before, request, session.clockHz());
    Result result;
    const auto write = [&](std::uint8_t address, const auto& block, const char* failure) {
        intended.push_back(blockOf(address, block));
        if (result.result != SetupWriteResult::verified) return;
        if (address < TimerMemoryMap::imageLength && holds(*before, address, block)) return;
        if (session.writeBlock(address, static_cast<std::uint8_t>(block.size()), block)) return;
        op.panel.showMessage(failure);
        result = {SetupWriteResult::blockFailed, failure, {}, {}};
    };
    if (blocks.steps)
        write(TimerMemoryMap::transmitSequenceAddress, *blocks.steps, TransmitSequenceText::writeFailed);
    if (blocks.tones)
        write(TimerMemoryMap::toneSequenceAddress, *blocks.tones, ToneSequenceText::writeFailed);
    // The melody lies beyond what the timer sends back: it is written whenever there is one.
    if (blocks.melody) write(TimerMemoryMap::ringtoneAddress, *blocks.melody, RingtoneLoadText::writeFailed);
    const bool configHeld = holds(*before, TimerMemoryMap::configAddress, blocks.config) &&
                            holds(*before, TimerMemoryMap::cwMessageAddress, blocks.cw);
    // The CW text goes with its configuration block, as the configuration write sends them.
    if (!configHeld && result.result == SetupWriteResult::verified &&
        !session.writeBlock(TimerMemoryMap::configAddress, TimerMemoryMap::configLength, blocks.config)) {
        op.panel.showMessage(ConfigurationText::writeFailed);
        result = {SetupWriteResult::blockFailed, ConfigurationText::writeFailed, {}, {}};
    }
    intended.push_back(blockOf(TimerMemoryMap::configAddress, blocks.config));
    if (!configHeld && result.result == SetupWriteResult::verified &&
        !session.writeBlock(TimerMemoryMap::cwMessageAddress, TimerMemoryMap::cwMessageLength, blocks.cw)) {
        op.panel.showMessage(CwMessageText::writeFailed);
        result = {SetupWriteResult::blockFailed, CwMessageText::writeFailed, {}, {}};
    }
    intended.push_back(blockOf(TimerMemoryMap::cwMessageAddress, blocks.cw));
    // Always, also when nothing differed: the timer runs what it holds only once it applied
    // it, and a write interrupted before its apply is completed by the next one.
    const bool applied = session.echoCommand(TimerCommand::apply);
    op.panel.sleepMs(applyWaitMs);
    if (result.result == SetupWriteResult::verified && !applied) result.result = SetupWriteResult::notApplied;
    return result;
}

Result writeSound(OperationContext& op, const TimerSetup& setup, const SetupWriteRequest& request) {
    if (setup.soundFile.empty()) return {};
    const std::string lost = setup.settings.audioMode == AudioMode::waveFile ? WholeSetupText::playsNothing
                                                                             : WholeSetupText::keepsOldSound;
    if (request.sound == SoundChoice::skip)
        return {
            SetupWriteResult::verified, {}, {}, withArguments(WholeSetupText::soundSkipped, setup.soundFile)};
    if (request.sound == SoundChoice::ask &&
        !op.panel.confirm(withArguments(WholeSetupText::confirmSound, setup.soundFile)))
        return {SetupWriteResult::soundNotUploaded, lost, {}, {}};
    switch (downloadSoundFile(op, setup.soundFile)) {
    case Outcome::done:
        return {};
    case Outcome::cancelled:
        return {SetupWriteResult::soundFailed, WholeSetupText::partlyReplaced, {}, {}};
    case Outcome::failed:
        break;
    }
    return {SetupWriteResult::soundFailed, lost, {}, {}};
}

std::string summaryOf(const TimerSettings& settings) {
    std::string text = withArguments(WholeSetupText::summary, std::to_string(settings.cycleId));
    if (!settings.cwText.empty()) text += ", " + latin1ToUtf8(settings.cwText);
    return text;
}

SetupWriteOutcome named(const Result& result, const TimerSetup& setup, const SetupWriteRequest& request) {
    const std::string name = setupDisplayName(request);
    const std::string& port = request.portName;
    SetupWriteOutcome outcome{result.result, {}, result.cell, result.note};
    switch (result.result) {
    case SetupWriteResult::verified:
        outcome.message = withArguments(WholeSetupText::verified, name, port, summaryOf(setup.settings));
        break;
    case SetupWriteResult::refused:
        outcome.message = withArguments(WholeSetupText::soundWithoutMemory, name, port);
        break;
    case SetupWriteResult::notRead:
        outcome.message = withArguments(WholeSetupText::notRead, name, port);
        break;
    case SetupWriteResult::blockFailed:
        outcome.message = withArguments(WholeSetupText::blockFailed, name, port, result.detail + ".");
        break;
    case SetupWriteResult::notApplied:
        outcome.message = withArguments(WholeSetupText::notApplied, name, port);
        break;
    case SetupWriteResult::differs:
        outcome.message = withArguments(WholeSetupText::differs, name, port, result.detail);
        break;
    case SetupWriteResult::notVerified:
        outcome.message = withArguments(WholeSetupText::notVerified, name, port);
        break;
    case SetupWriteResult::soundNotUploaded:
        outcome.message = withArguments(WholeSetupText::soundDeclined, name, result.detail);
        break;
    case SetupWriteResult::soundFailed:
        outcome.message = withArguments(WholeSetupText::soundFailed, name, result.detail);
        break;
    }
    return outcome;
}

void logWrite(OperationContext& op, const TimerSetup& setup, const SetupWriteRequest& request,
              const std::string& outcome) {
    std::error_code error;
    const std::filesystem::path path = utf8Path(request.setupPath);
    const std::filesystem::path full = path.empty() ? path : std::filesystem::absolute(path, error);
    appendWriteLog({writeLogNow(), request.portName, op.session.identity().text(), utf8Name(full),
                    request.foxName, std::to_string(setup.settings.cycleId),
                    latin1ToUtf8(setup.settings.cwText), outcome});
}

SetupWriteOutcome writeAndReadBack(OperationContext& op, const TimerSetup& setup,
                                   const SetupWriteRequest& request) {
    TimerSession& session = op.session;
    if (!setup.soundFile.empty() && request.sound != SoundChoice::skip && session.externalMemorySize() == 0)
        return named({SetupWriteResult::refused, {}, {}, {}}, setup, request);
    const std::string connected = setupTimerText(session.identity());
    if (!setup.timer.empty() && kindOf(setup.timer) != kindOf(connected))
        op.panel.showMessage(withArguments(WholeSetupText::otherTimer, setup.timer, connected));

    const std::size_t firstBlock = session.writtenBlocks().size();
    std::vector<WrittenBlock> intended;
    Result result = writeBlocks(op, setup, request, intended);
    if (result.result != SetupWriteResult::verified) return named(result, setup, request);
    const Result sound = writeSound(op, setup, request);

    // The setup's blocks as the timer should hold them, then what was written since (the
    // sound's length).
    intended.insert(intended.end(), session.writtenBlocks().begin() + static_cast<std::ptrdiff_t>(firstBlock),
                    session.writtenBlocks().end());
    const ReadBack back = compareReadBack(session, intended);
    // The form shows what the timer holds now.
    if (back.held) back.held->decode(op.settings, session.clockHz());
    op.view.showForm(op.settings);
    op.view.updateModeControls(op.settings);
    if (!back.held)
        result = {SetupWriteResult::notVerified, {}, {}, {}};
    else if (back.difference)
        result = {SetupWriteResult::differs, back.difference->text, back.difference->cell, {}};
    else
        result = sound;
    if (result.result == SetupWriteResult::verified) op.panel.playInformationSound();
    return named(result, setup, request);
}

} // namespace

std::string setupTimerText(const TimerIdentity& identity) {
    return identity.model + ", " + std::to_string(identity.clockHz / 1000000) + " MHz, " +
           std::to_string(identity.externalMemorySize / 1024) + " KiB, firmware " +
           std::to_string(identity.firmwareMajor) + "." + std::to_string(identity.firmwareMinor);
}

std::string setupDisplayName(const SetupWriteRequest& request) {
    const std::string file = utf8Name(utf8Path(request.setupPath).filename());
    return request.foxName.empty() ? file : withArguments(WholeSetupText::foxOfSetup, request.foxName, file);
}

SetupWriteOutcome writeSetup(OperationContext& op, const TimerSetup& setup,
                             const SetupWriteRequest& request) {
    try {
        const SetupWriteOutcome outcome = writeAndReadBack(op, setup, request);
        logWrite(op, setup, request,
                 outcome.note.empty() ? outcome.message : outcome.message + " " + outcome.note);
        return outcome;
    } catch (const CSerialException& e) {
        logWrite(op, setup, request, "interrupted: " + e.message());
        throw;
    }
}

std::optional<ReadBackDifference> readBackDifference(TimerSession& session,
                                                     std::span<const WrittenBlock> blocks) {
    return compareReadBack(session, blocks).difference;
}
