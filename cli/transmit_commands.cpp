#include "cli/transmit_commands.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <istream>
#include <optional>
#include <ostream>
#include <string_view>

#include "cli/commands.h"
#include "core/decimal.h"
#include "core/form/transmit_sequence_form.h"
#include "core/formats/tone_sequence.h"
#include "core/formats/transmit_sequence.h"
#include "core/link/timer_session.h"
#include "core/operations/oscillator_tuning.h"
#include "core/operations/tone_sequence_edit.h"
#include "core/operations/transmit_sequence_edit.h"
#include "core/operator_panel.h"
#include "core/timer_settings.h"

namespace {

constexpr std::string_view transmitSequenceKey = "transmitSequence";
constexpr std::string_view toneSequenceTextKey = "toneSequenceText";
constexpr const char* badTransmitSequence = "transmitSequence takes 32 hexadecimal digits";
constexpr const char* tuningNotStarted = "The timer did not start tuning";
constexpr const char* tuneEntryHelp = "Enter a trim -4 .. +4 (one a line), ok or cancel";
constexpr const char* stepUsage =
    "a step is SECONDS:KIND, KIND one of no-transmit, tone-sequence, single-tone, wave-file, "
    "cw-message, sound-effect, ringtone: ";
// The trims the tuning dialog offers.
constexpr int tuneListLowest = -4;
constexpr int tuneListHighest = 4;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string signedTrim(int trim) {
    char text[16];
    std::snprintf(text, sizeof text, "%+d", trim);
    return text;
}

// Ctrl-C while tuning ends the tuning, which the operation closes with its end byte, rather
// than the program: a timer left tuning takes the next program's command bytes as trims.
volatile std::sig_atomic_t interruptRequested = 0;

extern "C" void requestInterrupt(int) {
    interruptRequested = 1;
}

class InterruptCatcher {
public:
    InterruptCatcher() {
        interruptRequested = 0;
#if defined(_WIN32)
        previous_ = std::signal(SIGINT, requestInterrupt);
#else
        struct sigaction action {};
        action.sa_handler = requestInterrupt;
        sigemptyset(&action.sa_mask);
        // Without SA_RESTART, so that a read of the input waiting for the next line ends at once.
        action.sa_flags = 0;
        sigaction(SIGINT, &action, &previous_);
#endif
    }
    ~InterruptCatcher() {
#if defined(_WIN32)
        std::signal(SIGINT, previous_);
#else
        sigaction(SIGINT, &previous_, nullptr);
#endif
    }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    bool interrupted() const {
        return interruptRequested != 0;
    }

private:
#if defined(_WIN32)
    void (*previous_)(int) = nullptr;
#else
    struct sigaction previous_ {};
#endif
};

} // namespace

int runTransmitSequence(TimerCommandParts& parts, const std::vector<std::string>& steps) {
    if (steps.empty() || steps.size() > static_cast<std::size_t>(editorStepCount))
        return parts.usageError("transmit-sequence takes one to six steps");
    TransmitSteps edited{};
    std::vector<std::string> secondsTexts;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        std::optional<StepText> step = parseStepText(steps[k]);
        if (!step) return parts.usageError(stepUsage + steps[k]);
        edited[k].kind = step->kind;
        secondsTexts.push_back(std::move(step->seconds));
    }
    // The steps not given stay as an empty row of the editor: 0 seconds, "No Transmit".
    const StepLengthCheck check = takeStepLengths(
        [&secondsTexts](int step) {
            return step < static_cast<int>(secondsTexts.size()) ? secondsTexts[step] : std::string("0");
        },
        edited);
    if (!check.ok) {
        parts.panel.showMessage(check.message, MessageIcon::Warning);
        return ExitStatus::failed;
    }
    roundStepLengths(edited);
    const TransmitSequence table = buildTransmitSequence(edited);
    // Refused before the timer is woken; the operation would refuse it the same way.
    if (leadingStepCount(table) < 2) {
        parts.panel.showMessage(TransmitSequenceText::tooFewSteps, MessageIcon::Warning);
        return ExitStatus::failed;
    }
    if (!parts.connect()) return ExitStatus::failed;
    parts.panel.answerTransmitSequence(table);
    return editTransmitSequence(parts.operation) == Outcome::done ? ExitStatus::ok : ExitStatus::failed;
}

int runTune(TimerCommandParts& parts, const std::vector<std::string>& arguments) {
    const bool write = arguments.size() == 1 && arguments[0] == "--write";
    if (!arguments.empty() && !write) return parts.usageError("tune takes nothing or --write");
    if (!parts.connect() || !parts.read()) return ExitStatus::failed;

    const InterruptCatcher interrupt;
    bool tunerRan = false;
    bool interrupted = false;
    parts.panel.answerTuning(
        [&](int current, const std::function<bool(int)>& sendTrim) -> std::optional<int> {
            tunerRan = true;
            parts.err << "Tuning from " << signedTrim(current) << ". " << tuneEntryHelp << '\n' << std::flush;
            int value = current;
            std::string line;
            for (;;) {
                if (interrupt.interrupted() || !std::getline(parts.in, line)) break;
                const std::string_view entry = trimmed(line);
                if (entry.empty()) continue;
                if (entry == "ok") return value;
                if (entry == "cancel") return std::nullopt;
                const std::optional<int> trim = parseInteger(entry);
                if (!trim || *trim < tuneListLowest || *trim > tuneListHighest) {
                    parts.err << tuneEntryHelp << '\n' << std::flush;
                    continue;
                }
                value = *trim;
                const bool echoed = sendTrim(value);
                parts.out << signedTrim(value) << (echoed ? " echoed" : " not echoed") << '\n' << std::flush;
            }
            interrupted = interrupt.interrupted();
            if (interrupted) return std::nullopt;
            return value; // the end of the input keeps the last trim
        });
    const Outcome outcome =
        tuneOscillator(parts.operation, write ? AfterTuning::writeConfiguration : AfterTuning::remind);
    if (interrupted) return interruptedExit;
    if (!tunerRan) {
        parts.panel.showMessage(tuningNotStarted, MessageIcon::Warning);
        return ExitStatus::failed;
    }
    return outcome == Outcome::failed ? ExitStatus::failed : ExitStatus::ok;
}

bool writeSequenceTables(OperationContext& op, const std::vector<SettingsAssignment>& assignments) {
    std::optional<std::string> tableText;
    std::optional<std::string> toneText;
    for (const auto& [key, value] : assignments) {
        if (key == transmitSequenceKey) tableText = value;
        if (key == toneSequenceTextKey) toneText = value;
    }

    // Both values are checked before either block is written.
    std::optional<TransmitSequence> table;
    if (tableText) {
        table = parseTransmitSequenceHex(*tableText);
        if (!table) {
            op.panel.showMessage(badTransmitSequence);
            return false;
        }
        if (*table == op.settings.transmitSequence) table.reset();
    }
    std::optional<ToneSequenceBlock> tones;
    if (toneText) {
        const int clockHz = op.session.clockHz();
        const ParsedToneSequence given = parseToneSequenceText(*toneText, clockHz);
        // An empty text is a timer without a tone sequence, and is copied as such.
        if (!trimmed(*toneText).empty() && (given.pairCount < 2 || given.entries[0].duration == 0)) {
            op.panel.showMessage(ToneSequenceText::tooFewTones);
            return false;
        }
        const ToneSequenceBlock block = packToneSequence(given);
        if (block != packToneSequence(parseToneSequenceText(op.settings.toneSequenceText, clockHz)))
            tones = block;
    }

    WaitCursor wait(op.panel);
    if (table) {
        if (!op.session.writeBlock(TimerMemoryMap::transmitSequenceAddress,
                                   TimerMemoryMap::transmitSequenceLength, *table)) {
            op.panel.showMessage(TransmitSequenceText::writeFailed);
            return false;
        }
        op.settings.transmitSequence = *table;
    }
    if (tones) {
        if (!op.session.writeBlock(TimerMemoryMap::toneSequenceAddress, TimerMemoryMap::toneSequenceLength,
                                   *tones)) {
            op.panel.showMessage(ToneSequenceText::writeFailed);
            return false;
        }
        op.settings.toneSequenceText = *toneText;
    }
    return true;
}
