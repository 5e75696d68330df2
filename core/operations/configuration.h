#pragma once
// Reading and writing the timer's configuration, and the CW message written with it.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/link/timer_session.h"
#include "core/operations/operation.h"

struct ConfigImage;

namespace ConfigurationText {
inline constexpr const char* commandFailed = "Error Writing a command to the controller";
inline constexpr const char* readFailed = "Error when reading the configuration";
inline constexpr const char* writeFailed = "Error in setting configuration";
inline constexpr const char* noSettingsStored = "No settings stored in the timer yet";
} // namespace ConfigurationText

namespace CwMessageText {
inline constexpr const char* empty = "Trying do download an empty CW text, skipping....";
inline constexpr const char* tooLong = "CW Text exceeds maximum character space (31 kars)";
inline constexpr const char* writeFailed = "Error in downloading CW Message";
} // namespace CwMessageText

namespace VerifyText {
inline constexpr const char* failedPrefix = "verify failed: ";
} // namespace VerifyText

// Pause after the apply command, while the timer takes the new settings.
inline constexpr int applyWaitMs = 3000;

// True when the whole image arrived and replaced the image-backed settings. A timer that
// was never written keeps the form's values, and the operator is told so. The image read is
// kept in read when given.
bool readConfiguration(OperationContext& op, ConfigImage* read = nullptr);
// True when the configuration block and the CW message were written; the apply command
// follows a written configuration block even when the CW message failed.
bool writeConfiguration(OperationContext& op);
// Writes cwText as the CW block. An empty or too long text is reported and skipped: that
// is no failure of the write.
bool downloadCwMessage(OperationContext& op);
// A block's failure message, unless the block was not started because the operator asked to
// stop: the front end then says what reached the timer.
void reportBlockFailure(OperationContext& op, std::string_view message);
// What reached the timer, for a stop the operator asked for: "written and applied:
// configuration block at 0, CW block at 32; written, not applied: ringtone block at 128;
// 40 sample blocks uploaded", or "nothing written".
std::string reachedTimerReport(const TimerSession& session);

// What a read-back found: the first difference in the form's words with its cell, as "verify
// failed: Cycle ID of transmitter: written 3, the timer holds 4 (cell 4)", or nothing; the
// blocks compared ("configuration block at 0, CW block at 32"), and those beyond the image.
struct VerifyReport {
    std::optional<std::string> difference;
    std::string compared;
    std::string beyondImage;
};

// Reads the configuration image back and compares it with every block written, as far as
// the image reaches (the timer sends back only the first 128 bytes).
VerifyReport verifyWrittenBlocks(TimerSession& session, std::span<const WrittenBlock> blocks);
