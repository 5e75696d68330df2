#include "core/operations/oscillator_tuning.h"

#include <cstdint>
#include <optional>

#include "core/link/timer_command.h"
#include "core/link/timer_session.h"
#include "core/operations/configuration.h"
#include "core/operator_panel.h"
#include "core/timer_settings.h"

namespace {

// Leaves tuning however the dialog ended, also when a port failure ends it: the timer
// would otherwise take the next command's bytes as trims. The echo is not looked at.
class TuningSession {
public:
    explicit TuningSession(TimerSession& session) : session_(session) {}
    ~TuningSession() {
        try {
            session_.echoCommand(TimerCommand::endTuning);
        } catch (const CSerialException&) {
            // The port failure that ended the dialog is the one the operator is told about.
        }
    }
    TuningSession(const TuningSession&) = delete;
    TuningSession& operator=(const TuningSession&) = delete;

private:
    TimerSession& session_;
};

} // namespace

Outcome tuneOscillator(OperationContext& op, AfterTuning after) {
    if (!op.session.echoCommand(TimerCommand::startTuning)) return Outcome::failed;
    std::optional<int> chosen;
    {
        const TuningSession tuning(op.session);
        // The timer starts from the trim it will be written with; the echo is not looked at.
        op.session.sendOscillatorValue(op.settings.oscillatorTune);
        chosen = op.panel.tuneOscillator(op.settings.oscillatorTune,
                                         [&op](int trim) { return op.session.sendOscillatorValue(trim); });
        if (chosen) {
            op.settings.oscillatorTune = static_cast<std::int8_t>(*chosen);
            if (after == AfterTuning::remind) op.panel.showMessage(OscillatorTuningText::writeReminder);
        }
    }
    if (!chosen) return Outcome::cancelled;
    if (after == AfterTuning::writeConfiguration && !writeConfiguration(op)) return Outcome::failed;
    return Outcome::done;
}
