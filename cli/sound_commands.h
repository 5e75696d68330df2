#pragma once
// tavofoxctl's sound commands: the upload of a WAV file to a timer, and the check of a file
// against a timer that is not there.

#include <iosfwd>
#include <string>

#include "core/operations/operation.h"

class ConsolePanel;

// Refuses, with the upload's message, a file the upload would refuse on any timer. Throws
// UsageError.
void checkSoundFile(const std::string& file);
// "Load Sound " with file as the operator's choice; the exit status.
int uploadSound(OperationContext& op, ConsolePanel& panel, const std::string& file);

inline constexpr int soundCheckDefaultMemoryKiB = 64;

// "sound check FILE [--clock 8000000|10000000] [--memory KIB]": key=value lines on out, or
// the message that refuses the file on err.
int checkSound(const std::string& file, int clockHz, int memoryKiB, std::ostream& out, std::ostream& err);
