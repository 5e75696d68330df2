#include "core/operations/whole_setup.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <string_view>
#include <utility>

#include "core/formats/config_image.h"
#include "core/formats/cw_message.h"
#include "core/formats/tone_sequence.h"
#include "core/link/timer_command.h"
#include "core/operations/configuration.h"
#include "core/operations/ringtone_load.h"
#include "core/operations/sound_upload.h"
#include "core/operations/tone_sequence_edit.h"
#include "core/operations/transmit_sequence_edit.h"
#include "core/operator_panel.h"
#include "core/settings_view.h"
#include "core/timer_settings.h"

namespace {

// The settings text's keys as the form labels them.
constexpr std::array<std::pair<std::string_view, std::string_view>, 18> fieldLabels{{
    {"transmitterCount", "Nr of transmitters"},
    {"stepLength", "Step length (seconds)"},
    {"startupDelay", "Startup Delay (minutes)"},
    {"cycleId", "Cycle ID of transmitter"},
    {"transmitMode", "Transmission"},
    {"audioMode", "Audio Settings"},
    {"cwText", "CW Message"},
    {"autoShutdown", "Auto Shutdown (minutes)"},
    {"toneFrequency", "Single Tone (Hz)"},
    {"keyed", "Keyed"},
    {"autoId", "Auto-ID (MOx)"},
    {"cwSpeed", "CW keying speed (WPM)"},
    {"outputLevel", "Output level"},
    {"tableLength", "Table length"},
    {"recoveryBeaconDelay", "Recovery Beacon delay"},
    {"oscillatorTune", "Oscillator Tune Value"},
    {"transmitSequence", "Sequenced Transmission steps"},
    {"toneSequenceText", "Tone Sequence"},
}};

std::string_view labelOf(std::string_view key) {
    for (const auto& [name, label] : fieldLabels)
        if (name == key) return label;
    return key;
}

std::string withArguments(std::string text, std::string_view first, std::string_view second = {}) {
    for (auto [mark, value] :
         {std::pair{std::string_view("%1"), first}, std::pair{std::string_view("%2"), second}})
        if (const auto at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), value);
    return text;
}

// The first setting that reads differently in the two images, in the form's words; the
// first differing byte when the settings cannot show it.
std::string describeDifference(const ConfigImage& written, const ConfigImage& held, int clockHz) {
    TimerSettings wrote;
    TimerSettings holds;
    written.decode(wrote, clockHz);
    held.decode(holds, clockHz);
    std::istringstream wroteLines(formatSettingsText(wrote));
    std::istringstream holdsLines(formatSettingsText(holds));
    for (std::string a, b; std::getline(wroteLines, a) && std::getline(holdsLines, b);) {
        if (a == b) continue;
        const auto equals = a.find('=');
        return std::string(labelOf(a.substr(0, equals))) + ": written " + a.substr(equals + 1) +
               ", the timer holds " + b.substr(b.find('=') + 1);
    }
    const auto at = std::mismatch(written.bytes.begin(), written.bytes.end(), held.bytes.begin());
    char text[96];
    std::snprintf(text, sizeof text, "Parameter memory byte %d: written %02X, the timer holds %02X",
                  static_cast<int>(at.first - written.bytes.begin()), static_cast<unsigned>(*at.first),
                  static_cast<unsigned>(*at.second));
    return text;
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

} // namespace

std::string setupTimerText(const TimerIdentity& identity) {
    return identity.model + ", " + std::to_string(identity.clockHz / 1000000) + " MHz, " +
           std::to_string(identity.externalMemorySize / 1024) + " KiB, firmware " +
           std::to_string(identity.firmwareMajor) + "." + std::to_string(identity.firmwareMinor);
}

namespace {

struct ReadBack {
    std::optional<ConfigImage> held;
    std::optional<std::string> difference;
};

ReadBack compareReadBack(TimerSession& session, std::span<const WrittenBlock> blocks) {
    ReadBack back{readImage(session), std::nullopt};
    if (!back.held) {
        back.difference = WholeSetupText::unreadable;
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

} // namespace

std::optional<std::string> readBackDifference(TimerSession& session, std::span<const WrittenBlock> blocks) {
    return compareReadBack(session, blocks).difference;
}

Outcome writeWholeSetup(OperationContext& op, const TimerSetup& setup) {
    TimerSession& session = op.session;
    if (!setup.soundFile.empty() && session.externalMemorySize() == 0) {
        op.panel.showMessage(WholeSetupText::soundWithoutMemory);
        return Outcome::failed;
    }
    const std::string connected = setupTimerText(session.identity());
    if (!setup.timer.empty() && kindOf(setup.timer) != kindOf(connected))
        op.panel.showMessage(withArguments(WholeSetupText::otherTimer, setup.timer, connected));

    WaitCursor wait(op.panel);
    const std::optional<ConfigImage> before = readImage(session);
    if (!before) {
        op.panel.showMessage(ConfigurationText::readFailed);
        return Outcome::failed;
    }
    const std::size_t firstBlock = session.writtenBlocks().size();
    const int clockHz = session.clockHz();
    const auto write = [&](std::uint8_t address, const auto& block, const char* failure) {
        if (session.writeBlock(address, static_cast<std::uint8_t>(block.size()), block)) return true;
        op.panel.showMessage(failure);
        return false;
    };

    // Every block but the step table takes effect with the apply command, which follows
    // whatever was written even when a later block failed.
    bool written = true;
    bool applied = false;
    if (setup.transmitSequenceSet &&
        !holds(*before, TimerMemoryMap::transmitSequenceAddress, setup.settings.transmitSequence))
        written = write(TimerMemoryMap::transmitSequenceAddress, setup.settings.transmitSequence,
                        TransmitSequenceText::writeFailed);
    if (written && setup.toneSequenceSet) {
        const ToneSequenceBlock tones =
            packToneSequence(parseToneSequenceText(setup.settings.toneSequenceText, clockHz));
        if (!holds(*before, TimerMemoryMap::toneSequenceAddress, tones))
            applied = written =
                write(TimerMemoryMap::toneSequenceAddress, tones, ToneSequenceText::writeFailed);
    }
    // The melody lies beyond what the timer sends back: it is written whenever there is one.
    if (const std::optional<RingtoneMelody> melody = setupRingtoneMelody(setup); written && melody) {
        written = write(TimerMemoryMap::ringtoneAddress, *melody, RingtoneLoadText::writeFailed);
        applied = applied || written;
    }
    const ConfigBlock config = encodeConfigBlock(setup.settings, clockHz);
    const CwMessageBlock cw = encodeCwMessage(setup.settings.cwText);
    if (written && !(holds(*before, TimerMemoryMap::configAddress, config) &&
                     holds(*before, TimerMemoryMap::cwMessageAddress, cw))) {
        written = write(TimerMemoryMap::configAddress, config, ConfigurationText::writeFailed);
        applied = applied || written;
        written = written && write(TimerMemoryMap::cwMessageAddress, cw, CwMessageText::writeFailed);
    }
    if (applied) {
        session.echoCommand(TimerCommand::apply);
        op.panel.sleepMs(applyWaitMs);
    }
    if (!written) return Outcome::failed;

    if (!setup.soundFile.empty() &&
        op.panel.confirm(withArguments(WholeSetupText::confirmSound, setup.soundFile))) {
        const Outcome sound = downloadSoundFile(op, setup.soundFile);
        if (sound != Outcome::done) return sound;
    }

    const std::vector<WrittenBlock> blocks(session.writtenBlocks().begin() +
                                               static_cast<std::ptrdiff_t>(firstBlock),
                                           session.writtenBlocks().end());
    const ReadBack back = compareReadBack(session, blocks);
    // The form shows what the timer holds now.
    if (back.held) back.held->decode(op.settings, clockHz);
    op.view.showForm(op.settings);
    op.view.updateModeControls(op.settings);
    op.panel.playInformationSound();
    op.panel.showMessage(back.difference ? *back.difference : WholeSetupText::verified);
    return back.difference ? Outcome::failed : Outcome::done;
}
