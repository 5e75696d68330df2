#pragma once
// tavofoxctl ringtone: a melody file encoded, rendered to a WAV file, or sent to a timer,
// each as the ringtone dialog does it.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/transmit_commands.h"

// Reports a wrong command line; gives the exit status.
using RingtoneUsage = std::function<int(const std::string& message)>;

// "encode FILE" and "wav FILE OUT.wav [--rate HZ]": no timer needed. args start after
// "ringtone".
int runRingtoneCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                       const RingtoneUsage& usage);

// "send FILE [--bpm B] [--no-staccato]" (args start after "ringtone"): the file is loaded
// and checked first; then the timer is reached, its configuration read and checked, and
// the melody written with the configuration in the ringtone audio mode.
int sendRingtone(TimerCommandParts& parts, const std::vector<std::string>& args);
