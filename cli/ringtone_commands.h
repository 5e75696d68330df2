#pragma once
// tavofoxctl ringtone: a melody file encoded, rendered to a WAV file, or sent to a timer,
// each as the ringtone dialog does it.

#include <iosfwd>
#include <optional>
#include <string>

#include "cli/transmit_commands.h"
#include "core/operator_panel.h"

// "encode FILE": the block the timer receives, on out.
int encodeRingtone(const std::string& path, std::ostream& out, std::ostream& err);
// "wav FILE OUT.wav [--rate HZ]": the preview as a WAV file. Throws UsageError for the rate.
int renderRingtoneWav(const std::string& path, const std::string& wavPath, const std::string& rateText,
                      std::ostream& err);

// "send FILE [--bpm B] [--no-staccato]" before the timer is reached: the tempo and the file
// loaded and checked as the dialog checks them, its messages on panel. Throws UsageError.
RingtoneChoice checkRingtoneSend(const std::string& path, const std::optional<std::string>& bpmText,
                                 bool noStaccato, OperatorPanel& panel);
// The timer reached, its configuration read and checked, and the melody written with the
// configuration in the ringtone audio mode.
int sendRingtone(TimerCommandParts& parts, const RingtoneChoice& choice);
