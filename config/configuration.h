#pragma once
// Reading and writing the timer's configuration; both report to the operator only.

class TimerSession;

namespace ConfigurationText {
inline constexpr const char* commandFailed = "Error Writing a command to the controller";
inline constexpr const char* readFailed = "Error when reading the configuration";
inline constexpr const char* writeFailed = "Error in setting configuration";
} // namespace ConfigurationText

// Pause after the apply command, while the timer takes the new settings.
inline constexpr int applyWaitMs = 3000;

void readConfiguration(TimerSession& session);
void writeConfiguration(TimerSession& session);
