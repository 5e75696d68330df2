#include "cli/transmit_commands.h"

#include <array>
#include <cstdio>
#include <istream>
#include <optional>
#include <ostream>
#include <string_view>

#include "cli/commands.h"
#include "cli/console_interrupt.h"
#include "core/decimal.h"
#include "core/form/transmit_sequence_form.h"
#include "core/formats/transmit_sequence.h"
#include "core/operations/oscillator_tuning.h"
#include "core/operations/transmit_sequence_edit.h"
#include "core/operator_panel.h"
#include "core/timer_settings.h"

namespace {

constexpr const char* tuningNotStarted = "The timer did not start tuning";
constexpr const char* tuneEntryHelp = "Enter a trim -4 .. +4 (one a line), ok or cancel";
constexpr const char* stepUsage =
    "a step is SECONDS:KIND, KIND one of no-transmit, tone-sequence, single-tone, wave-file, "
    "cw-message, sound-effect, ringtone";

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

} // namespace

TransmitSequence checkTransmitSteps(const std::vector<std::string>& steps) {
    if (steps.empty() || steps.size() > static_cast<std::size_t>(editorStepCount))
        throw commandLineError("transmit-sequence takes one to six steps");
    const auto named = [&steps](std::size_t k, const std::string& problem) {
        return "step " + std::to_string(k + 1) + " \"" + steps[k] + "\": " + problem;
    };
    TransmitSteps edited{};
    std::vector<std::string> secondsTexts;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        std::optional<StepText> step = parseStepText(steps[k]);
        if (!step) throw commandLineError(named(k, stepUsage));
        edited[k].kind = step->kind;
        secondsTexts.push_back(std::move(step->seconds));
    }
    // The steps not given stay as an empty row of the editor: 0 seconds, "No Transmit".
    const StepLengthCheck check = takeStepLengths(
        [&secondsTexts](int step) {
            return step < static_cast<int>(secondsTexts.size()) ? secondsTexts[step] : std::string("0");
        },
        edited);
    if (!check.ok) throw UsageError(named(static_cast<std::size_t>(check.step), check.message));
    roundStepLengths(edited);
    const TransmitSequence table = buildTransmitSequence(edited);
    // The operation would refuse it the same way, after waking the timer.
    if (leadingStepCount(table) < 2) throw UsageError(TransmitSequenceText::tooFewSteps);
    return table;
}

int runTransmitSequence(TimerCommandParts& parts, const TransmitSequence& table) {
    if (!parts.connect(false)) return ExitStatus::failed;
    parts.panel.answerTransmitSequence(table);
    return editTransmitSequence(parts.operation) == Outcome::done ? ExitStatus::ok : ExitStatus::failed;
}

int runTune(TimerCommandParts& parts, bool write) {
    if (!parts.connect(true)) return ExitStatus::failed;

    // Without restarted calls, so that a read of the input waiting for the next line ends at once.
    const InterruptCatcher interrupt(false);
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
                if (!trim || *trim < TuningTrims::lowestListed || *trim > TuningTrims::highestListed) {
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
