#include "core/operations/ringtone_load.h"

#include <optional>

#include "core/formats/timer_memory_map.h"
#include "core/link/timer_session.h"
#include "core/operations/configuration.h"
#include "core/operator_panel.h"
#include "core/timer_settings.h"

Outcome loadRingtone(OperationContext& op) {
    const std::optional<RingtoneChoice> choice = op.panel.editRingtone(op.settings.ringtoneFilePath);
    if (!choice) return Outcome::cancelled;
    if (!choice->melodyValid) {
        op.panel.showMessage(RingtoneLoadText::noValidRingtone);
        return Outcome::failed;
    }
    // Kept even when the write below fails: the file is what the operator chose.
    op.settings.ringtoneFilePath = choice->filePath;

    WaitCursor wait(op.panel);
    if (!op.session.writeBlock(TimerMemoryMap::ringtoneAddress, TimerMemoryMap::ringtoneLength,
                               choice->melody)) {
        reportBlockFailure(op, RingtoneLoadText::writeFailed);
        return Outcome::failed;
    }
    return writeConfiguration(op) ? Outcome::done : Outcome::failed;
}
